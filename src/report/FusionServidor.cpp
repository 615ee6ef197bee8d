// The merge of one company done by the server: the products go from the company database into
// the destination table without passing through the program, range of codes by range of codes.
#include <QElapsedTimer>
#include <QStringList>

#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"
#include "report/ClavesFuera.h"
#include "report/FusionEmpresa.h"
#include "report/RangosDeClaves.h"

namespace {
// Products per statement: it starts here and follows the server's pace, so that each statement
// lasts a small part of a second (the window only repaints between statements).
constexpr qint64 FilasIniciales = 10000;
constexpr qint64 FilasMinimas = 1000;
constexpr qint64 FilasMaximas = 50000;
constexpr qint64 MilisegundosPorSentencia = 60;
}  // namespace

namespace {
// The statement that merges one range of the company's codes, in two pieces around the range's
// condition: the same rows as the client path (the code as stored, the description cut by
// characters, as LEFT counts them in the column's own character set, the company's cost and
// price, converted by the server exactly as bound values would be). Names taken from data are
// joined in, never put through arg(), which would read a "%1" in them.
struct SentenciaFusion {
    QString cabecera;
    QString cola;
};

SentenciaFusion sentenciaFusion(const FusionEmpresa& f, const QString& productos) {
    const QString destino = citarIdentificador(f.destino);
    const QString costo = citarIdentificador(QStringLiteral("Costo%1").arg(f.id));
    const QString precio = citarIdentificador(QStringLiteral("Precio%1").arg(f.id));
    const QString cabecera =
        QStringLiteral("INSERT INTO ") + destino + QStringLiteral(" (`Clave`,`Descrip`,") + costo +
        u',' + precio + QStringLiteral(",`Aviso`) SELECT `Clave`, LEFT(`Descrip`, ") +
        QString::number(LargoDescripcion) + QStringLiteral("), `Costo`, ") +
        citarIdentificador(f.columnaPrecio) + QStringLiteral(", ? FROM ") + productos;
    const QString orden = f.orden.isEmpty() ? ordenProductos(f.empresa, f.columnaPrecio) : f.orden;
    const QString cola = QStringLiteral(" ORDER BY ") + orden +
                         QStringLiteral(" ON DUPLICATE KEY UPDATE ") + destino + u'.' + costo +
                         QStringLiteral("=VALUES(") + costo + QStringLiteral("),") + destino +
                         u'.' + precio + QStringLiteral("=VALUES(") + precio + u')';
    return {cabecera, cola};
}

// The progress line names the company's first code while the first range is merged; false with
// the reason when it cannot be read or the run is cut short.
bool avisarPrimeraClave(const FusionEmpresa& f, const QString& productos, QString* error) {
    if (!f.avance) return true;
    Recordset primera;
    const QString soloParte = f.parte.isEmpty() ? QString() : QStringLiteral(" WHERE ") + f.parte;
    if (!primera.abrir(f.principal,
                       QStringLiteral("SELECT `Clave` FROM ") + productos + soloParte +
                           QStringLiteral(" ORDER BY `Clave` LIMIT 1"),
                       f.parte.isEmpty() ? QVariantList{} : QVariantList{f.corte})) {
        *error = primera.ultimoError();
        return false;
    }
    if (!primera.alFinal() && !f.avance(primera.valor(0).toString())) {
        *error = TextoFusionCortada();
        return false;
    }
    return true;
}
}  // namespace

bool fusionarEnServidor(const FusionEmpresa& f, QString* error) {
    const QString productos =
        productosQueCaben(citarIdentificador(f.base) + QStringLiteral(".`productos`"), f.caben);
    const SentenciaFusion sentencia = sentenciaFusion(f, productos);
    const QString aviso = avisoDeFusion(f.posicion);

    Conexion& principal = f.principal;
    Transaccion transaccion(principal);
    if (!transaccion.empezar(error)) return false;
    auto fallar = [&](const QString& motivo) {
        *error = motivo;
        return false;
    };
    if (!avisarPrimeraClave(f, productos, error)) return false;

    // Ranges of codes sized to keep each statement near its time, one statement per range.
    qint64 filas = FilasIniciales;
    RangosDeClaves rangos(principal, productos, f.parte, f.corte);
    while (true) {
        QString condicion, motivo;
        QVariantList valores{aviso};
        QVariant hasta;
        bool ultimo = false;
        if (!rangos.siguiente(filas, &condicion, &valores, &ultimo, &hasta, &motivo))
            return fallar(motivo);
        QElapsedTimer reloj;
        reloj.start();
        if (!principal.ejecutar(sentencia.cabecera + condicion + sentencia.cola, valores, &motivo))
            return fallar(motivo);
        if (ultimo) break;
        if (f.avance && !f.avance(hasta.toString())) return fallar(TextoFusionCortada());
        const qint64 ms = reloj.elapsed();
        if (ms < MilisegundosPorSentencia / 2)
            filas = qMin(FilasMaximas, filas * 2);
        else if (ms > MilisegundosPorSentencia * 2)
            filas = qMax(FilasMinimas, filas / 2);
    }
    return transaccion.confirmar(error);
}
