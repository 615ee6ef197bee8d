#include "programa/ReporteSinVentana.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <cstdio>

#include "basedatos/BasesDD.h"
#include "dialogos/Dialogos.h"
#include "libro/EscritorLibro.h"
#include "plataforma/SenalesDeCierre.h"
#include "programa/Arranque.h"
#include "programa/AvanceEnTerminal.h"
#include "programa/Contexto.h"
#include "programa/LugaresPrograma.h"
#include "programa/ReporteDelPrograma.h"
#include "report/FusionEmpresa.h"
#include "report/Reporte.h"
#include "report/SolicitudReporte.h"

namespace {
// The exit code of a workbook written without some companies or products.
constexpr int SalidaIncompleto = 3;

int fallar(Dialogos& dialogos, const QString& texto) {
    dialogos.cajaSistema(texto, estilos::Alto, QStringLiteral("Alerta"));
    return 1;
}

struct Opciones {
    bool hayEmpresas = false;
    QList<int> empresas;
    bool hayPrecio = false;
    QString precio;
    bool hayArchivo = false;
    QString archivo;
    EscritorOoxml escritor = EscritorOoxml::Propio;
    bool silencio = false;
};

std::optional<Opciones> leerOpciones(const QStringList& args, QString* error) {
    Opciones o;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto valor = [&](QString* destino) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("falta el valor de %1").arg(a);
                return false;
            }
            *destino = args[++i];
            return true;
        };
        if (a == QStringLiteral("--reporte")) {
            continue;
        } else if (a == QStringLiteral("--silencio")) {
            o.silencio = true;
        } else if (a == QStringLiteral("--empresas")) {
            QString lista;
            if (!valor(&lista)) return std::nullopt;
            o.hayEmpresas = true;
            for (const QString& parte : lista.split(u',', Qt::SkipEmptyParts)) {
                bool bien = false;
                const int id = parte.trimmed().toInt(&bien);
                if (!bien) {
                    *error = QStringLiteral("\"%1\" no es un número de empresa").arg(parte);
                    return std::nullopt;
                }
                o.empresas << id;
            }
        } else if (a == QStringLiteral("--precio")) {
            if (!valor(&o.precio)) return std::nullopt;
            o.hayPrecio = true;
        } else if (a == QStringLiteral("--archivo")) {
            if (!valor(&o.archivo)) return std::nullopt;
            o.hayArchivo = true;
        } else if (a == QStringLiteral("--escritor")) {
            QString nombre;
            if (!valor(&nombre)) return std::nullopt;
            if (nombre != QStringLiteral("libxlsxwriter") && nombre != QStringLiteral("propio")) {
                *error =
                    QStringLiteral("escritor desconocido: %1 (propio o libxlsxwriter)").arg(nombre);
                return std::nullopt;
            }
            o.escritor = nombre == QStringLiteral("libxlsxwriter") ? EscritorOoxml::Libxlsxwriter
                                                                   : EscritorOoxml::Propio;
        } else {
            *error = QStringLiteral("opción desconocida: %1").arg(a);
            return std::nullopt;
        }
    }
    return o;
}
}  // namespace

QString AyudaLineaDeOrdenes() {
    return QStringLiteral(
        "Uso: varelmo [--reporte [--empresas 1,3] [--precio N] [--archivo NOMBRE]\n"
        "                        [--silencio] [--escritor libxlsxwriter]]\n"
        "       varelmo --version | --help\n"
        "\n"
        "Sin opciones abre la ventana del programa.\n"
        "\n"
        "  --reporte           genera el reporte sin abrir la ventana y termina\n"
        "  --empresas 1,3      empresas a incluir, por su número (si se omite, las marcadas\n"
        "                      la última vez en la ventana)\n"
        "  --precio N          nivel de precio a mostrar (si se omite, el último elegido)\n"
        "  --archivo NOMBRE    nombre del libro, en la carpeta de los libros (si se omite, el\n"
        "                      último usado)\n"
        "  --silencio          no muestra el avance ni el aviso de archivo creado\n"
        "  --escritor libxlsxwriter\n"
        "                      escribe el .xlsx con libxlsxwriter en lugar del escritor propio\n"
        "                      (para comparar los dos)\n"
        "  --version           muestra la versión del programa\n"
        "  --help              muestra esta ayuda\n"
        "\n"
        "El programa toma la conexión de la instalación de Talmira Premium que indica su archivo\n"
        "de configuración. Con --reporte no guarda ninguna elección en ese archivo, pero escribe\n"
        "en él, como la ventana, el valor por defecto de cada clave que falte. Termina con 0\n"
        "cuando el libro quedó escrito completo, con 3 cuando quedó escrito sin alguna empresa\n"
        "o sin algunos productos (la salida de error dice cuáles y por qué), con 2 ante una\n"
        "opción no válida o cuando la ventana no tiene una sesión de escritorio donde abrirse,\n"
        "y con 1 en cualquier otro caso.\n"
        "\n"
        "Con --reporte, la salida estándar recibe solo la ruta completa del libro escrito, en\n"
        "una línea. Los errores van siempre a la salida de error. El avance (una línea que se\n"
        "redibuja) y el aviso de archivo creado van a la salida de error solo cuando ésta es una\n"
        "terminal: ejecutado desde un guion o una tarea programada, solo escribe allí los\n"
        "fallos y lo que le falta a un libro incompleto.\n"
        "\n"
        "Cuando puede escribir en su propia carpeta, el programa guarda allí su archivo de\n"
        "configuración (con su nombre y la extensión .ini) y los libros, y lee allí su archivo de\n"
        "descripción (.txt). Instalado en una carpeta del sistema (/usr/bin), guarda el archivo\n"
        "de configuración en ~/.config/varelmo/ y los libros en la carpeta de documentos del\n"
        "usuario, y lee el archivo de descripción de /usr/share/varelmo/.\n");
}

namespace {
// The companies of the run, in grid order: those of --empresas, or those ticked last time. An Id
// of --empresas the host does not have is refused by name.
std::optional<QList<int>> empresasDelReporte(const Opciones& opciones, const DatosIniciales& datos,
                                             QString* error) {
    QList<int> ids;
    QSet<int> conocidas;
    for (const EmpresaInicial& e : datos.empresas) {
        conocidas.insert(e.id);
        if (opciones.hayEmpresas ? opciones.empresas.contains(e.id) : e.marcada) ids << e.id;
    }
    for (int id : opciones.empresas)
        if (!conocidas.contains(id)) {
            *error = QStringLiteral("No existe la empresa %1").arg(id);
            return std::nullopt;
        }
    return ids;
}

// Why `precio` is not one of the host's levels ("" when it is). The window only offers the
// host's levels; here a saved level that is no longer one of them, or a --precio outside them,
// would otherwise reach the query as a column that does not exist.
QString problemaPrecio(const QString& precio, const QStringList& niveles) {
    if (niveles.contains(precio.trimmed())) return QString();
    if (niveles.isEmpty()) return QStringLiteral("la base de datos no tiene niveles de precio");
    const QString rango = QStringLiteral("de 1 a %1").arg(niveles.size());
    if (precio.trimmed().isEmpty())
        return QStringLiteral("no está elegido ningún nivel de precio; indíquelo con --precio (%1)")
            .arg(rango);
    return QStringLiteral("no existe el nivel de precio '%1' (%2)").arg(precio, rango);
}

// Runs the checked request to its end and tells its outcome: the exit code.
int correrReporte(Contexto& p, SolicitudReporte solicitud, const Opciones& opciones) {
    // SIGTERM, SIGHUP, SIGINT or SIGQUIT cut the run short: no workbook is written and the working
    // table goes.
    const SenalesDeCierre senales;
    solicitud.escritorOoxml = opciones.escritor;
    // The run ends here, so the working table goes as it does when the window closes; a run that
    // never had the turn leaves it to the report that has it.
    solicitud.quitarTablaAlFinal = true;
    AvanceEnTerminal avance(opciones.silencio);
    const ResultadoReporte resultado =
        GenerarReporte(solicitud, ConexionesDelPrograma(p), [&avance](const QString& linea) {
            avance.mostrar(linea);
            return !SenalesDeCierre::llego();
        });
    avance.borrar();
    if (resultado.estado == ResultadoReporte::Estado::Cancelado)
        return fallar(*p.dialogos, TextoReporteFallido(TextoFusionCortada()));
    // A script's standard output holds the workbook's path alone; the notice that all went well
    // is only for a person watching, so a scheduled job's mail holds nothing but failures and
    // what a workbook lacks.
    if (!resultado.creado() || resultado.incompleto() || avance.activo())
        AvisarResultado(*p.dialogos, resultado);
    if (!resultado.creado()) return 1;
    std::fprintf(stdout, "%s\n", qUtf8Printable(QDir::toNativeSeparators(resultado.ruta)));
    // A script must not take a workbook that lacks companies or products for a whole one.
    return resultado.incompleto() ? SalidaIncompleto : 0;
}
}  // namespace

int EjecutarReporteSinVentana(const QStringList& argumentos) {
    QString error;
    const std::optional<Opciones> opciones = leerOpciones(argumentos, &error);
    if (!opciones) {
        std::fprintf(stderr, "varelmo: %s\n\n%s", qUtf8Printable(error),
                     qUtf8Printable(AyudaLineaDeOrdenes()));
        return 2;
    }
    Contexto p;
    if (!ArrancarPrograma(p, RutaDelPrograma())) return 1;
    const std::optional<DatosIniciales> datos = CargarDatosIniciales(p, &error);
    if (!datos) return fallar(*p.dialogos, error);
    const std::optional<QList<int>> empresas = empresasDelReporte(*opciones, *datos, &error);
    if (!empresas) return fallar(*p.dialogos, error);

    const QString archivo = opciones->hayArchivo ? opciones->archivo : datos->archivo;
    const QString precio =
        opciones->hayPrecio ? opciones->precio : datos->precios.value(datos->precioSeleccionado);
    QString motivo;
    const Validacion validacion =
        ValidarSolicitud(archivo, *empresas, ArchivosDelPrograma(p), &motivo);
    if (validacion != Validacion::Valida)
        return fallar(*p.dialogos, TextoValidacion(validacion, archivo, motivo));
    if (const QString problema = problemaPrecio(precio, datos->precios); !problema.isEmpty())
        return fallar(*p.dialogos, TextoReporteFallido(problema));

    p.listaSeleccion = *empresas;
    return correrReporte(p, SolicitudDelPrograma(p, precio, archivo, p.listaSeleccion), *opciones);
}
