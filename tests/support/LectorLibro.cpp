#include "LectorLibro.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cmath>
#include <utility>

#include "Soporte.h"

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

LibroLeido ejecutar(const QStringList& argumentos) {
    LibroLeido libro;
    QProcess proceso;
    // An .xls workbook is read with xlrd, every other one with openpyxl; both print the same JSON,
    // but xlrd gives widths in 1/256 of a character and the extent as row and column counts.
    const bool xls = argumentos.last().endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive);
    const bool csv = argumentos.last().endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
    proceso.start(
        Python, QStringList{soporte::carpetaPruebas() + (xls ? QStringLiteral("/leer_xls.py")
                                                             : QStringLiteral("/leer_libro.py"))} +
                    (csv ? QStringList{QStringLiteral("--csv")} : QStringList()) + argumentos);
    if (!proceso.waitForFinished(300000)) {
        libro.error = QStringLiteral("leer_libro.py no terminó: ") + proceso.errorString();
        proceso.kill();
        proceso.waitForFinished();
        return libro;
    }
    if (proceso.exitStatus() != QProcess::NormalExit || proceso.exitCode() != 0) {
        libro.error = QStringLiteral("leer_libro.py falló: ") +
                      QString::fromUtf8(proceso.readAllStandardError());
        return libro;
    }
    QJsonParseError fallo{};
    const QJsonDocument documento =
        QJsonDocument::fromJson(proceso.readAllStandardOutput(), &fallo);
    if (!documento.isObject()) {
        libro.error = QStringLiteral("leer_libro.py dio un JSON inválido: ") + fallo.errorString();
        return libro;
    }
    const QJsonObject raiz = documento.object();
    for (const auto& [clave, destino] : {std::pair{QLatin1String("cells"), &libro.celdas},
                                         std::pair{QLatin1String("blanks"), &libro.vacias}}) {
        const QJsonObject celdas = raiz.value(clave).toObject();
        for (auto it = celdas.begin(); it != celdas.end(); ++it) {
            const QJsonObject c = it.value().toObject();
            CeldaLeida celda;
            celda.v = c.value(QLatin1String("v")).toVariant();
            celda.t = c.value(QLatin1String("t")).toString();
            celda.negrita = c.value(QLatin1String("bold")).toBool();
            celda.tamano = c.value(QLatin1String("size")).toDouble();
            celda.formato = c.value(QLatin1String("fmt")).toString();
            if (celda.t == QLatin1String("n")) celda.v = celda.v.toDouble();
            destino->insert(it.key(), celda);
        }
    }
    libro.hojas = raiz.value(QLatin1String("sheets")).toInt();
    const QJsonObject anchos = raiz.value(QLatin1String("widths")).toObject();
    for (auto it = anchos.begin(); it != anchos.end(); ++it)
        libro.anchos.insert(it.key(), it.value().toDouble() / (xls ? 256.0 : 1.0));
    libro.maxFila = raiz.value(xls ? QLatin1String("nrows") : QLatin1String("max_row")).toInt();
    libro.maxCol = raiz.value(xls ? QLatin1String("ncols") : QLatin1String("max_col")).toInt();
    libro.filasConValor = raiz.value(QLatin1String("rows")).toInt();
    libro.cuentaCeldas = raiz.value(QLatin1String("cell_count")).toInt();
    const QJsonObject d = raiz.value(QLatin1String("layout")).toObject();
    libro.disposicion = {d.value(QLatin1String("freeze")).toString(),
                         d.value(QLatin1String("print_titles")).toString(),
                         d.value(QLatin1String("landscape")).toBool(),
                         d.value(QLatin1String("fit_width")).toInt(),
                         d.value(QLatin1String("fit_height")).toInt(),
                         d.value(QLatin1String("header")).toString(),
                         d.value(QLatin1String("footer")).toString()};
    libro.ok = true;
    return libro;
}

}  // namespace

bool hayLectorDeLibros() { return QFileInfo(Python).isExecutable(); }

LibroLeido leerLibro(const QString& ruta, int hoja) {
    return hoja == 0 ? ejecutar({ruta})
                     : ejecutar({QStringLiteral("--hoja"), QString::number(hoja), ruta});
}

LibroLeido leerResumenLibro(const QString& ruta) {
    return ejecutar({QStringLiteral("--resumen"), ruta});
}

double anchoGuardado(double ancho) {
    // The widths Excel itself stores for columns of 15, 16 and 60 characters of the default font
    // (<col ... width="15.7109375"/> in its own files); the report uses no others.
    if (ancho == 15) return 15.7109375;
    if (ancho == 16) return 16.7109375;
    if (ancho == 60) return 60.7109375;
    return std::nan("");
}

QString huellaLibro(const QString& ruta) {
    if (!ruta.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) {
        QFile archivo(ruta);
        if (!archivo.open(QIODevice::ReadOnly)) return QString();
        return QString::fromLatin1(
            QCryptographicHash::hash(archivo.readAll(), QCryptographicHash::Sha256).toHex());
    }
    QProcess proceso;
    proceso.start(Python,
                  {QStringLiteral("-c"),
                   QStringLiteral("import sys, zipfile, hashlib\n"
                                  "z = zipfile.ZipFile(sys.argv[1])\n"
                                  "for n in z.namelist():\n"
                                  "    if n != 'docProps/core.xml':\n"
                                  "        print(n, hashlib.sha256(z.read(n)).hexdigest())"),
                   ruta});
    if (!proceso.waitForFinished(120000) || proceso.exitCode() != 0) return QString();
    return QString::fromUtf8(proceso.readAllStandardOutput());
}
