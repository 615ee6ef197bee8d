#include "libro/EscritorCsv.h"

#include <QFile>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>

#include "archivos/ErrorSistema.h"
#include "libro/Celdas.h"

namespace {
// Text gathered before it goes to the file.
constexpr qsizetype BytesPorEnvio = 1 << 16;
}  // namespace

QByteArray EscritorCsv::campo(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return QByteArray();
    if (const std::optional<double> numero = numeroDeCelda(v)) {
        if (!std::isfinite(*numero)) return QByteArray();
        char texto[32];
        const std::to_chars_result r = std::to_chars(texto, texto + sizeof texto, *numero);
        return QByteArray(texto, r.ptr - texto);
    }
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QByteArrayLiteral("VERDADERO") : QByteArrayLiteral("FALSO");
    QByteArray texto = v.toString().toUtf8();
    // A spreadsheet opening the file would take text that starts like a formula for one, and a
    // product's description written by someone else could then run it: such text is kept as text
    // with the apostrophe spreadsheets read as "text follows".
    if (!texto.isEmpty() && QByteArrayView("=+-@\t\r").contains(texto.front())) texto.prepend('\'');
    if (texto.contains(';') || texto.contains('"') || texto.contains('\n') || texto.contains('\r'))
        texto = '"' + texto.replace('"', "\"\"") + '"';
    return texto;
}

bool EscritorCsv::escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                           QString* error) {
    Q_UNUSED(carpetaTemporal);  // the rows go straight into the file
    QFile salida(ruta);
    if (!salida.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        hoja.descartarCopia();
        if (error)
            *error = QStringLiteral("no se pudo crear el archivo (%1).").arg(salida.errorString());
        return false;
    }
    // A CSV file has no sheets: the copy goes on as long as it lasts.
    hoja.ponerFilasPorHoja(std::numeric_limits<int>::max());
    QByteArray texto = QByteArrayLiteral("\xEF\xBB\xBF");
    int fila = 1, col = 1;  // where the text stands: the next field of that row
    bool escrito = true;
    QString motivo;
    const bool recorrido = hoja.recorrer(
        [&](int f, int c, const QVariant& v, const EstiloCelda&) {
            for (; fila < f; ++fila, col = 1) texto += "\r\n";
            for (; col < c; ++col) texto += ';';
            texto += campo(v);
            if (texto.size() >= BytesPorEnvio) {
                escrito = salida.write(texto) == texto.size();
                texto.truncate(0);
            }
            return escrito;
        },
        &motivo);
    escrito =
        recorrido && escrito && salida.write(texto + "\r\n") == texto.size() + 2 && salida.flush();
    const int numero = errno;
    salida.close();
    if (escrito) return true;
    salida.remove();
    if (error)
        *error = !motivo.isEmpty() ? motivo
                                   : QStringLiteral("no se pudo escribir el archivo (%1).")
                                         .arg(MotivoEscritura(salida, numero));
    return false;
}
