// The report of the program installed in CARPETA (for companies 1 to K) run as the window runs it:
// the progress line on a shown label, pending events processed at each refresh. It prints how
// often the line moved, the longest wait between two refreshes, the share of the run spent
// refreshing and the longest time the line kept one text.
//
//   varelmo-bench-avance CARPETA --empresas K --precio L --archivo NOMBRE
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <cstdio>

#include "programa/Arranque.h"
#include "programa/Contexto.h"
#include "programa/ReporteDelPrograma.h"
#include "report/Reporte.h"
#include "report/SolicitudReporte.h"

namespace {
QString opcion(const QStringList& args, const QString& nombre, const QString& defecto) {
    const qsizetype i = args.indexOf(nombre);
    return (i >= 0 && i + 1 < args.size()) ? args[i + 1] : defecto;
}

int medirAvance(const QString& carpeta, int empresas, const QString& precio,
                const QString& archivo) {
    QWidget ventana;
    auto* linea = new QLabel(&ventana);
    linea->setGeometry(16, 16, 400, 25);
    ventana.resize(432, 57);
    ventana.show();
    QCoreApplication::processEvents();

    QString error;
    Contexto contexto;
    if (!ArrancarPrograma(contexto, QDir(carpeta).filePath(QStringLiteral("varelmo"))) ||
        !CargarDatosIniciales(contexto, &error)) {
        std::fprintf(stderr, "no se pudo arrancar el programa en %s: %s\n", qUtf8Printable(carpeta),
                     qUtf8Printable(error));
        return 1;
    }
    QList<int> ids;
    for (int e = 1; e <= empresas; ++e) ids << e;
    QElapsedTimer total, refresco;
    qint64 nsRefresco = 0, ultimo = 0, mayorPausa = 0, cambio = 0, mayorQuieta = 0;
    int refrescos = 0;
    total.start();
    const ResultadoReporte resultado =
        GenerarReporte(SolicitudDelPrograma(contexto, precio, archivo, ids),
                       ConexionesDelPrograma(contexto), [&](const QString& texto) {
                           const qint64 ahora = total.nsecsElapsed();
                           mayorPausa = qMax(mayorPausa, ahora - ultimo);
                           if (texto != linea->text()) {
                               mayorQuieta = qMax(mayorQuieta, ahora - cambio);
                               cambio = ahora;
                           }
                           refresco.start();
                           linea->setText(texto);
                           linea->repaint();
                           QCoreApplication::processEvents();
                           nsRefresco += refresco.nsecsElapsed();
                           ultimo = total.nsecsElapsed();
                           ++refrescos;
                           return true;
                       });
    const double segundos = static_cast<double>(total.nsecsElapsed()) / 1e9;
    mayorPausa = qMax(mayorPausa, total.nsecsElapsed() - ultimo);
    mayorQuieta = qMax(mayorQuieta, ultimo - cambio);
    QuitarTablaTrabajo(contexto.ConexionPrincipal);
    if (!resultado.creado()) return 1;
    std::printf("%d %.3f %.3f %.3f %d %d %.3f\n", refrescos, static_cast<double>(nsRefresco) / 1e9,
                segundos, static_cast<double>(mayorPausa) / 1e9, resultado.fusionesEnServidor,
                resultado.enUnaPasada   ? 2
                : resultado.enDosPartes ? 1
                                        : 0,
                static_cast<double>(mayorQuieta) / 1e9);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fputs("uso: varelmo-bench-avance CARPETA --empresas K --precio L --archivo NOMBRE\n",
                   stderr);
        return 2;
    }
    return medirAvance(args[1],
                       opcion(args, QStringLiteral("--empresas"), QStringLiteral("10")).toInt(),
                       opcion(args, QStringLiteral("--precio"), QStringLiteral("1")),
                       opcion(args, QStringLiteral("--archivo"), QStringLiteral("avance.xlsx")));
}
