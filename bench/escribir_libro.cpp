// The floor of the report's export: the same sheet as the report of a demo host (same rows, same
// headings, fonts, widths and price format), built in memory and written with the same writer.
// Prints the seconds spent writing the workbook.
//
//   varelmo-bench-libro --empresas K --productos N --precio L --archivo RUTA [--formato F]
//
// With --avance CARPETA it runs instead the report of the program installed in CARPETA (for
// companies 1 to K) as the window runs it: the progress line on a shown label, pending events
// processed at each refresh. It prints how often the line moved, the longest wait between two
// refreshes, the share of the run spent refreshing and the longest time the line kept one text.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMap>

#include <cstdio>

#include "common/LetraColumna.h"
#include "common/Programa.h"
#include "components/AnfitrionDemo.h"
#include "components/LibroExcel.h"
#include "report/SolicitudReporte.h"
#include "report/clsLlenarTabla.h"
#include "startup/Arranque.h"

namespace {
QString opcion(const QStringList& args, const QString& nombre, const QString& defecto)
{
    const qsizetype i = args.indexOf(nombre);
    return (i >= 0 && i + 1 < args.size()) ? args[i + 1] : defecto;
}

struct Fila {
    QString clave, descrip, aviso;
    QList<QVariant> pares;
};

class FilasEnMemoria : public FuenteFilas {
public:
    explicit FilasEnMemoria(const QMap<QString, Fila>& filas) : it_(filas.begin()), fin_(filas.end()) {}
    bool siguiente(QVariantList& fila) override
    {
        if (it_ == fin_)
            return false;
        fila.clear();
        fila << it_->clave << it_->descrip;
        fila.append(it_->pares);
        fila << it_->aviso;
        ++it_;
        return true;
    }

private:
    QMap<QString, Fila>::const_iterator it_, fin_;
};
int medirAvance(const QString& carpeta, int empresas, const QString& precio, const QString& archivo)
{
    QWidget ventana;
    auto* linea = new QLabel(&ventana);
    linea->setGeometry(16, 16, 400, 25);
    ventana.resize(432, 57);
    ventana.show();
    QCoreApplication::processEvents();

    QString error;
    if (!ArrancarPrograma(QDir(carpeta).filePath(QStringLiteral("varelmo"))) || !CargarDatosIniciales(&error)) {
        std::fprintf(stderr, "no se pudo arrancar el programa en %s: %s\n", qUtf8Printable(carpeta),
                     qUtf8Printable(error));
        return 1;
    }
    Programa& p = programa();
    p.listaSeleccion.clear();
    for (int e = 1; e <= empresas; ++e)
        p.listaSeleccion << e;
    if (!CrearTablaTrabajo(p.ConexionPrincipal, p.listaSeleccion, &error)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(error));
        return 1;
    }
    QElapsedTimer total, refresco;
    qint64 nsRefresco = 0, ultimo = 0, mayorPausa = 0, cambio = 0, mayorQuieta = 0;
    int refrescos = 0;
    clsLlenarTabla llenar(precio, archivo, [&](const QString& texto) {
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
    });
    total.start();
    const bool escrito = llenar.RellenarTabla();
    const double segundos = static_cast<double>(total.nsecsElapsed()) / 1e9;
    mayorPausa = qMax(mayorPausa, total.nsecsElapsed() - ultimo);
    mayorQuieta = qMax(mayorQuieta, ultimo - cambio);
    p.ConexionPrincipal.ejecutar(QStringLiteral("Drop table if exists tbltempproductos"));
    if (!escrito)
        return 1;
    std::printf("%d %.3f %.3f %.3f %d %d %.3f\n", refrescos, static_cast<double>(nsRefresco) / 1e9, segundos,
                static_cast<double>(mayorPausa) / 1e9, llenar.fusionesEnServidor(), llenar.fusionEnDosPartes() ? 1 : 0,
                static_cast<double>(mayorQuieta) / 1e9);
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    const bool avance = [&] {
        for (int i = 1; i < argc; ++i)
            if (qstrcmp(argv[i], "--avance") == 0)
                return true;
        return false;
    }();
    if (avance && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = avance ? std::make_unique<QApplication>(argc, argv)
                                                   : std::make_unique<QCoreApplication>(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    anfitrion::Demo demo;
    demo.empresas = opcion(args, QStringLiteral("--empresas"), QStringLiteral("10")).toInt();
    demo.productos = opcion(args, QStringLiteral("--productos"), QStringLiteral("50000")).toInt();
    demo.niveles = opcion(args, QStringLiteral("--niveles"), QStringLiteral("4")).toInt();
    const int precio = opcion(args, QStringLiteral("--precio"), QStringLiteral("1")).toInt();
    const QString archivo = opcion(args, QStringLiteral("--archivo"), QStringLiteral("floor.xlsx"));
    const QString formato = opcion(args, QStringLiteral("--formato"), QStringLiteral("##,###,##0.00"));
    if (avance)
        return medirAvance(opcion(args, QStringLiteral("--avance"), QString()), demo.empresas, QString::number(precio),
                           archivo);

    // The merged rows, as the report's working table holds them.
    QMap<QString, Fila> filas;
    for (int e = 1; e <= demo.empresas; ++e) {
        for (const anfitrion::ProductoDemo& p : anfitrion::productosDemo(demo, e)) {
            auto it = filas.find(p.clave);
            if (it == filas.end()) {
                Fila f{p.clave, p.descrip, e > 1 ? QStringLiteral("No existe en alguna empresa") : QString(), {}};
                for (int i = 0; i < demo.empresas * 2; ++i)
                    f.pares << 0.0;
                it = filas.insert(p.clave, f);
            }
            it->pares[2 * (e - 1)] = p.costo;
            it->pares[2 * (e - 1) + 1] = p.precios.value(precio - 1);
        }
    }

    QElapsedTimer reloj;
    reloj.start();
    std::unique_ptr<LibroExcel> libro = AplicacionExcel::crear(QStringLiteral("Excel.Application"))->agregarLibro();
    HojaExcel& hoja = libro->hoja();
    hoja.ponerValor(1, 1, QStringLiteral("Reporte varelmo"));
    for (int e = 1; e <= demo.empresas; ++e) {
        const int c = 1 + 2 * e;
        hoja.ponerValor(1, c, QStringLiteral("Datos%1").arg(e));
        hoja.ponerNegrita(Rango{1, c, 1, c});
        hoja.ponerValor(2, c, anfitrion::nombreEmpresaDemo(e));
        hoja.ponerValor(3, c, QStringLiteral("Costo"));
        hoja.ponerValor(3, c + 1, QStringLiteral("Precio"));
        hoja.ponerNegrita(Rango{2, c, 3, c + 1});
        hoja.ponerTamano(Rango{2, c, 3, c + 1}, 18);
    }
    hoja.ponerValor(3, 1, QStringLiteral("Clave"));
    hoja.ponerValor(3, 2, QStringLiteral("Descripción"));
    hoja.ponerNegrita(Rango{1, 1, 3, 2});
    hoja.ponerTamano(Rango{1, 1, 3, 2}, 18);
    hoja.ponerAnchoColumna(1, 15);
    hoja.ponerAnchoColumna(2, 60);
    FilasEnMemoria fuente(filas);
    hoja.copiarFilas(4, 1, fuente);
    // As in the report, the price block reaches down to the last row a sheet holds.
    hoja.ponerFormatoNumero(Rango{4, 3, static_cast<int>(qMin<qsizetype>(filas.size() + 3, kMaxFilasHoja)),
                                  2 + 2 * demo.empresas},
                            formato);
    QString error;
    if (!libro->guardarComo(archivo, &error)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(error));
        return 1;
    }
    std::printf("%.3f %lld\n", static_cast<double>(reloj.nsecsElapsed()) / 1e9, static_cast<long long>(filas.size()));
    return 0;
}
