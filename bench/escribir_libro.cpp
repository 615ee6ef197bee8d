// The floor of the report's export: the same sheet as the report of a demo host (same rows, and
// the report's own headings and price format), built in memory and written with the same writer.
// Prints the seconds spent writing the workbook.
//
//   varelmo-bench-libro --empresas K --productos N --precio L --archivo RUTA [--formato F]
//   varelmo-bench-libro --desinflar HOJA.xml   (the sheet's XML deflated from memory, as the own
//                                               .xlsx writer deflates it)
//   varelmo-bench-libro --cargar --empresas K --productos N --precio L
//       (the same merged rows loaded from memory into a fresh working table, with LOAD DATA LOCAL
//        INFILE, on the server VARELMO_DB_HOST:VARELMO_DB_PORT as root)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryFile>
#include <cstdio>

#include "basedatos/Conexion.h"
#include "basedatos/FilasCarga.h"
#include "demo/AnfitrionDemo.h"
#include "libro/LibroExcel.h"
#include "libro/ZipXlsx.h"
#include "report/CargaTablaTrabajo.h"
#include "report/HojaReporte.h"
#include "report/NombresTrabajo.h"
#include "report/SolicitudReporte.h"

namespace {
QString opcion(const QStringList& args, const QString& nombre, const QString& defecto) {
    const qsizetype i = args.indexOf(nombre);
    return (i >= 0 && i + 1 < args.size()) ? args[i + 1] : defecto;
}

struct Fila {
    QString clave, descrip, aviso;
    QList<QVariant> pares;
};

class FilasEnMemoria : public FuenteFilas {
public:
    explicit FilasEnMemoria(const QMap<QString, Fila>& filas)
        : it_(filas.begin()), fin_(filas.end()) {}
    bool siguiente(QVariantList& fila) override {
        if (it_ == fin_) return false;
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
// The floor of the own .xlsx writer: the sheet's XML in `xml`, deflated from memory into a zip part
// as the writer deflates it (same level, same cores). Prints the seconds and the bytes.
int desinflar(const QString& xml) {
    QFile entrada(xml);
    if (!entrada.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "no se pudo leer %s\n", qUtf8Printable(xml));
        return 1;
    }
    const QByteArray texto = entrada.readAll();
    QTemporaryFile salida;
    if (!salida.open()) return 1;
    QElapsedTimer reloj;
    reloj.start();
    ZipXlsx zip(salida);
    bool bien = zip.empezar(QStringLiteral("xl/worksheets/sheet1.xml"));
    for (qsizetype i = 0; bien && i < texto.size(); i += ZipXlsx::BytesPorTrozo)
        bien = zip.escribir(texto.mid(i, ZipXlsx::BytesPorTrozo));
    bien = bien && zip.terminar() && zip.cerrar() && salida.flush();
    if (!bien) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(zip.error()));
        return 1;
    }
    std::printf("%.3f %lld\n", static_cast<double>(reloj.nsecsElapsed()) / 1e9,
                static_cast<long long>(salida.size()));
    return 0;
}
// The floor of filling the working table: `filas` loaded from memory into a fresh working table of
// companies 1..`empresas` in a scratch database, in one LOAD DATA LOCAL INFILE whose text is made
// as the server takes it. Prints the seconds.
int cargar(const QMap<QString, Fila>& filas, int empresas) {
    DestinoBase destino;
    destino.host = qEnvironmentVariable("VARELMO_DB_HOST");
    destino.usuario = QStringLiteral("root");
    destino.puerto = qEnvironmentVariableIntValue("VARELMO_DB_PORT");
    destino.cargaLocal = true;
    Conexion c;
    QString error;
    QList<int> ids;
    for (int e = 1; e <= empresas; ++e) ids << e;
    const bool lista =
        c.abrir(destino) &&
        c.ejecutar(QStringLiteral("CREATE DATABASE IF NOT EXISTS varelmo_piso"), {}, &error) &&
        c.ejecutar(QStringLiteral("USE varelmo_piso"), {}, &error) &&
        CrearTablaTrabajo(c, ids, &error);
    if (!lista) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(error.isEmpty() ? c.ultimoError() : error));
        return 1;
    }
    QElapsedTimer reloj;
    reloj.start();
    FilasEnMemoria fuente(filas);
    TextoCarga texto(fuente);
    const bool hecho = c.cargarLocal(
        SentenciaCarga(nombres::TablaTrabajo()),
        [&texto](char* hacia, qint64 tamano) { return texto.dar(hacia, tamano); }, &error);
    const double segundos = static_cast<double>(reloj.nsecsElapsed()) / 1e9;
    c.ejecutar(QStringLiteral("DROP DATABASE varelmo_piso"));
    if (!hecho) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(error));
        return 1;
    }
    std::printf("%.3f %lld\n", segundos, static_cast<long long>(filas.size()));
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (const QString xml = opcion(args, QStringLiteral("--desinflar"), QString()); !xml.isEmpty())
        return desinflar(xml);
    anfitrion::Demo demo;
    demo.empresas = opcion(args, QStringLiteral("--empresas"), QStringLiteral("10")).toInt();
    demo.productos = opcion(args, QStringLiteral("--productos"), QStringLiteral("50000")).toInt();
    demo.niveles = opcion(args, QStringLiteral("--niveles"), QStringLiteral("4")).toInt();
    const int precio = opcion(args, QStringLiteral("--precio"), QStringLiteral("1")).toInt();
    const QString archivo = opcion(args, QStringLiteral("--archivo"), QStringLiteral("floor.xlsx"));
    const QString formato =
        opcion(args, QStringLiteral("--formato"), QStringLiteral("##,###,##0.00"));

    // The merged rows, as the report's working table holds them.
    QMap<QString, Fila> filas;
    for (int e = 1; e <= demo.empresas; ++e) {
        for (const anfitrion::ProductoDemo& p : anfitrion::productosDemo(demo, e)) {
            auto it = filas.find(p.clave);
            if (it == filas.end()) {
                Fila f{p.clave,
                       p.descrip,
                       e > 1 ? QStringLiteral("No existe en alguna empresa") : QString(),
                       {}};
                for (int i = 0; i < demo.empresas * 2; ++i) f.pares << 0.0;
                it = filas.insert(p.clave, f);
            }
            it->pares[2 * (e - 1)] = p.costo;
            it->pares[2 * (e - 1) + 1] = p.precios.value(precio - 1);
        }
    }

    if (args.contains(QStringLiteral("--cargar"))) return cargar(filas, demo.empresas);

    QElapsedTimer reloj;
    reloj.start();
    std::unique_ptr<LibroExcel> libro =
        AplicacionExcel::crear(QStringLiteral("Excel.Application"))->agregarLibro();
    HojaExcel& hoja = libro->hoja();
    QList<EmpresaEnHoja> empresas;
    for (int e = 1; e <= demo.empresas; ++e)
        empresas << EmpresaEnHoja{e, anfitrion::nombreEmpresaDemo(e)};
    EncabezarHoja(hoja, empresas);
    FilasEnMemoria fuente(filas);
    hoja.copiarFilas(4, 1, fuente);
    FormatearPrecios(hoja, 3 + 2 * demo.empresas, filas.size(), formato);
    QString error;
    if (!libro->guardarComo(archivo, &error)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(error));
        return 1;
    }
    std::printf("%.3f %lld\n", static_cast<double>(reloj.nsecsElapsed()) / 1e9,
                static_cast<long long>(filas.size()));
    return 0;
}
