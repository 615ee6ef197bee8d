// talmira-host: sets up the host installation that Reporte varelmo works beside.
//
//   talmira-host instalar CARPETA [--servidor H] [--puerto P] [--usuario U] [--base-general B]
//                         [--tls-ca ARCHIVO] [--tls] [--tls-huella SHA256] [--grupo G]
//                         [--sin-probar]
//   talmira-host guardar CARPETA CLAVE VALOR
//   talmira-host cifrar CARPETA SELECTOR (--ajuste CLAVE | --empresa ID [--puerto P])
//                                                   (the text is read from standard input)
//   talmira-host demo CARPETA [--empresas K] [--productos N] [--precios n] [--semilla S]
//   [--reemplazar]
//   talmira-host resellar CARPETA
//   talmira-host --help
//
// Passwords are never taken from the command line: "instalar --usuario" reads the password from
// standard input, and "cifrar" reads its text there too.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

#include "anfitrion/ArchivoIni.h"
#include "anfitrion/Cifrado.h"
#include "anfitrion/Instalacion.h"
#include "basedatos/BasesDD.h"
#include "basedatos/Biblioteca.h"
#include "basedatos/SesionSegura.h"
#include "demo/AnfitrionDemo.h"
#include "demo/Resellado.h"
#include "plataforma/Proceso.h"

namespace {
const char* const textoUso =
    "uso:\n"
    "  talmira-host instalar CARPETA [--servidor H] [--puerto P] [--usuario U] [--base-general "
    "B]\n"
    "                       [--tls-ca ARCHIVO] [--tls] [--tls-huella SHA256] [--grupo G]\n"
    "                       [--sin-probar]\n"
    "      crea la instalación (talmira.ini y su clave); con --usuario lee la contraseña de la\n"
    "      entrada estándar (sin mostrarla en una terminal); --tls-ca cifra toda conexión con\n"
    "      TLS y exige que el certificado del servidor lo firme esa autoridad y sea para su\n"
    "      nombre; --tls exige lo mismo con las autoridades del sistema; --tls-huella fija el\n"
    "      certificado del servidor por su huella SHA-256. Antes de escribir nada se conecta\n"
    "      una vez al servidor con esos ajustes y, si no puede (el servidor no responde, no\n"
    "      acepta al usuario o no cumple el TLS pedido), dice por qué y no escribe la\n"
    "      instalación; --sin-probar la escribe sin conectarse, para un servidor que aún no\n"
    "      está en marcha. --grupo G deja leer la clave y talmira.ini a los usuarios del\n"
    "      grupo G, que comparten la instalación (permisos 640)\n"
    "  talmira-host guardar CARPETA CLAVE VALOR   guarda un ajuste de la instalación\n"
    "  talmira-host cifrar CARPETA SELECTOR (--ajuste CLAVE | --empresa ID [--puerto P])\n"
    "      cifra la entrada estándar para su lugar: el selector 0 para el ajuste CLAVE de\n"
    "      talmira.ini (MySQLUsuario, MySQLPassword); 1 a 4 para el servidor, la base, el\n"
    "      usuario y la contraseña de la empresa ID (el servidor, con el puerto P de su fila)\n"
    "  talmira-host demo CARPETA [--empresas K] [--productos N] [--precios n] [--semilla S]\n"
    "                   [--reemplazar]\n"
    "      crea la base general y K empresas de demostración (datos1 ... datosK) en el "
    "servidor\n"
    "      de la instalación; si alguna de esas bases ya existe no hace nada, salvo con\n"
    "      --reemplazar, que las borra y las crea de nuevo\n"
    "  talmira-host resellar CARPETA\n"
    "      sella de nuevo, cada uno ligado a su lugar, los valores cifrados en la forma\n"
    "      anterior, que el programa ya no acepta: el usuario y la contraseña de talmira.ini\n"
    "      y el servidor, la base, el usuario y la contraseña de cada fila de la tabla\n"
    "      empresas de la base general\n"
    "  talmira-host --help   muestra esta ayuda\n";

// The help asked for goes to the standard output; a command line that is not understood gets it
// on the standard error, with code 2.
int uso(bool pedida = false) {
    std::fputs(textoUso, pedida ? stdout : stderr);
    return pedida ? 0 : 2;
}

int fallo(const QString& texto) {
    std::fprintf(stderr, "talmira-host: %s\n", qUtf8Printable(texto));
    return 1;
}

// Values of "--name value" options after the positional arguments.
QString opcion(const QStringList& args, const QString& nombre, const QString& defecto = QString()) {
    const qsizetype i = args.indexOf(nombre);
    return (i >= 0 && i + 1 < args.size()) ? args[i + 1] : defecto;
}

// The connection a new installation stores, tried once before anything is written: a server that
// cannot be reached, refuses the user or does not meet the TLS asked for is refused there and then,
// in the words the program itself would use. Without `probar` (a server not running yet) only the
// TLS settings themselves are checked.
bool probarConexion(const anfitrion::AjustesInstalacion& ajustes, bool probar, QString* error) {
    const std::optional<AjustesTls> tls = LeerAjustesTls(
        [&](const QString& clave) {
            if (clave == QLatin1String("MySQLSSLCA")) return ajustes.tlsCa;
            if (clave == QLatin1String("MySQLSSLHuella")) return ajustes.tlsHuella;
            return ajustes.tlsRequerido ? QStringLiteral("Sí") : QString();
        },
        QString(), error);
    if (!tls) return false;
    if (!probar) return true;
    Conexion prueba;
    const QString usuario = ajustes.guardarUsuario ? ajustes.usuario : QStringLiteral("root");
    if (prueba.abrir(
            {ajustes.servidor, usuario, ajustes.contrasena, QString(), ajustes.puerto, *tls}))
        return true;
    *error = QStringLiteral(
                 "%1. No se escribió la instalación; con --sin-probar se escribe sin probar la "
                 "conexión.")
                 .arg(prueba.ultimoFallo().texto);
    return false;
}

int instalar(const QString& carpeta, const QStringList& args) {
    anfitrion::AjustesInstalacion ajustes;
    ajustes.servidor = opcion(args, QStringLiteral("--servidor"), ajustes.servidor);
    ajustes.puerto = opcion(args, QStringLiteral("--puerto"), QStringLiteral("3306")).toInt();
    ajustes.baseGeneral = opcion(args, QStringLiteral("--base-general"));
    ajustes.tlsCa = opcion(args, QStringLiteral("--tls-ca"));
    if (!ajustes.tlsCa.isEmpty()) ajustes.tlsCa = QFileInfo(ajustes.tlsCa).absoluteFilePath();
    ajustes.tlsRequerido = args.contains(QStringLiteral("--tls"));
    ajustes.grupo = opcion(args, QStringLiteral("--grupo"));
    if (args.contains(QStringLiteral("--usuario"))) {
        ajustes.guardarUsuario = true;
        ajustes.usuario = opcion(args, QStringLiteral("--usuario"));
        ajustes.contrasena = LeerLineaOculta("Contraseña: ");
    }
    ajustes.tlsHuella = opcion(args, QStringLiteral("--tls-huella"));
    QString error;
    const bool probar = !args.contains(QStringLiteral("--sin-probar"));
    if (!probarConexion(ajustes, probar, &error) ||
        !anfitrion::crearInstalacion(carpeta, ajustes, &error))
        return fallo(error);
    return 0;
}

// The value read from standard input, sealed for its place: a setting of talmira.ini or a field of
// a company's row.
int cifrar(const QString& carpeta, const QStringList& args) {
    bool esNumero = false;
    const int selector = args[0].toInt(&esNumero);
    if (!esNumero || selector < 0 || selector > Cifrado::selectorMaximo)
        return fallo(QStringLiteral("el selector \"%1\" no existe: es de 0 a %2")
                         .arg(args[0])
                         .arg(Cifrado::selectorMaximo));
    QString lugar;
    if (selector == 0) {
        const QString clave = opcion(args, QStringLiteral("--ajuste"));
        if (clave.isEmpty())
            return fallo(QStringLiteral(
                "el selector 0 necesita --ajuste CLAVE (MySQLUsuario o MySQLPassword)"));
        lugar = Cifrado::lugarAjuste(clave);
    } else {
        bool idValido = false, puertoValido = selector != 1;
        const int id = opcion(args, QStringLiteral("--empresa")).toInt(&idValido);
        const int puerto = opcion(args, QStringLiteral("--puerto")).toInt(&puertoValido);
        if (!idValido)
            return fallo(QStringLiteral(
                "los selectores 1 a 4 necesitan --empresa ID, el Id de la fila de la empresa"));
        if (selector == 1 && !puertoValido)
            return fallo(QStringLiteral(
                "el selector 1 necesita --puerto P, el puerto que guarda la fila de la empresa"));
        lugar = Cifrado::lugarEmpresa(id, selector, puerto);
    }
    QString resultado, error;
    if (!anfitrion::cifrar(carpeta, selector, LeerLineaOculta("Valor: "), &resultado, &error,
                           lugar))
        return fallo(error);
    std::printf("%s\n", qUtf8Printable(resultado));
    return 0;
}

// The setting `clave` of the installation's talmira.ini.
QString ajuste(const Instalacion& instalacion, const QString& clave) {
    return ArchivoIni::leer(instalacion.archivoAjustes(), Instalacion::seccionAjustes(), clave);
}

// The host credential `clave` as start-up reads it: `defecto` when blank, else deciphered for its
// place; nullopt with the reason, naming the setting, when it does not decipher.
std::optional<QString> credencial(const Instalacion& instalacion, const Cifrado& cifrado,
                                  const QString& clave, const QString& defecto, QString* error) {
    const QString guardado = ajuste(instalacion, clave).trimmed();
    if (guardado.isEmpty()) return defecto;
    std::optional<QString> plano = cifrado.descifrar(guardado, 0, Cifrado::lugarAjuste(clave));
    if (!plano)
        *error = QStringLiteral("no se pudo descifrar el valor \"%1\" de %2: %3")
                     .arg(clave, instalacion.archivoAjustes(),
                          cifrado.porQueNoDescifra(guardado, 0, instalacion.carpeta()));
    return plano;
}

// The host server's settings (server, port, user, password, TLS) in `bases`, as start-up reads
// them; false with the reason.
bool ajustesServidor(Instalacion& instalacion, BasesDD& bases, QString* error) {
    const Cifrado* cifrado = instalacion.cifrado(error);
    if (!cifrado) return false;
    const std::optional<QString> usuario = credencial(
        instalacion, *cifrado, QStringLiteral("MySQLUsuario"), QStringLiteral("root"), error);
    if (!usuario) return false;
    const std::optional<QString> contrasena =
        credencial(instalacion, *cifrado, QStringLiteral("MySQLPassword"), QString(), error);
    if (!contrasena) return false;
    bases.cRuta = ajuste(instalacion, QStringLiteral("MySQLServer"));
    bases.cPuerto = ajuste(instalacion, QStringLiteral("MySQLPuerto")).toInt();
    bases.cUsuario = *usuario;
    bases.cPassword = *contrasena;
    const std::optional<AjustesTls> tls = LeerAjustesTls(
        [&](const QString& k) { return ajuste(instalacion, k); }, instalacion.carpeta(), error);
    if (!tls) return false;
    PonerTls(*tls);
    return true;
}

// The host's general database: "MySQLBaseGeneral", "talmira" when blank.
QString baseGeneral(const Instalacion& instalacion) {
    const QString general = ajuste(instalacion, QStringLiteral("MySQLBaseGeneral")).trimmed();
    return general.isEmpty() ? QStringLiteral("talmira") : general;
}

int demo(const QString& carpeta, const QStringList& args) {
    Instalacion instalacion;
    instalacion.ponerCarpeta(carpeta);
    BasesDD bases;
    QString error;
    if (!ajustesServidor(instalacion, bases, &error)) return fallo(error);
    bases.baseGeneral = QStringLiteral("mysql");

    anfitrion::Demo d;
    d.empresas = opcion(args, QStringLiteral("--empresas"), QStringLiteral("3")).toInt();
    d.productos = opcion(args, QStringLiteral("--productos"), QStringLiteral("2000")).toInt();
    d.niveles = opcion(args, QStringLiteral("--precios"), QStringLiteral("4")).toInt();
    d.semilla = opcion(args, QStringLiteral("--semilla"), QStringLiteral("1")).toUInt();
    d.reemplazar = args.contains(QStringLiteral("--reemplazar"));
    d.baseGeneral = baseGeneral(instalacion);

    Conexion conexion;
    if (!bases.AbrirBdD(conexion))
        return fallo(QStringLiteral("no se pudo conectar con el servidor: ") + bases.ultimoError());
    if (!anfitrion::crearDemo(conexion, d, &error, [](const QString& linea) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(linea));
        }))
        return fallo(error);
    return 0;
}
// "1 valor", "2 valores": `n` with the singular or plural name.
QString cantidad(qsizetype n, const char* uno, const char* varios) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? uno : varios));
}

// Tells what was left as it was; false when anything was.
bool avisarPendientes(const resellado::Cuenta& cuenta) {
    if (!cuenta.sinAbrir.isEmpty())
        fallo(QStringLiteral("no se pudieron abrir con la clave de esta instalación, y quedan como "
                             "estaban: %1")
                  .arg(cuenta.sinAbrir.join(QStringLiteral("; "))));
    if (!cuenta.cambiadas.isEmpty())
        fallo(QStringLiteral("cambiaron mientras se sellaban, y quedan como estaban, las filas de "
                             "la tabla empresas con Id %1; vuelva a ejecutar la orden")
                  .arg(cuenta.cambiadas.join(QStringLiteral(", "))));
    return cuenta.sinAbrir.isEmpty() && cuenta.cambiadas.isEmpty();
}

// Seals again in their place the values of the earlier form of talmira.ini and of the company
// rows of the host's general database, and says how many; never a value.
int resellar(const QString& carpeta) {
    Instalacion instalacion;
    instalacion.ponerCarpeta(carpeta);
    QString error;
    const Cifrado* cifrado = instalacion.cifrado(&error);
    resellado::Cuenta cuenta;
    if (!cifrado || !resellado::ajustes(*cifrado, instalacion.archivoAjustes(), cuenta, &error))
        return fallo(error);
    std::printf("%s: %s sellados de nuevo\n", qUtf8Printable(instalacion.archivoAjustes()),
                qUtf8Printable(cantidad(cuenta.ajustes, "valor", "valores")));
    std::fflush(stdout);
    BasesDD bases;
    if (!ajustesServidor(instalacion, bases, &error)) return fallo(error);
    bases.baseGeneral = baseGeneral(instalacion);
    Conexion conexion;
    if (!bases.AbrirBdD(conexion))
        return fallo(QStringLiteral("no se pudo conectar con el servidor: ") + bases.ultimoError());
    if (!resellado::empresas(*cifrado, bases, conexion, cuenta, &error))
        return fallo(QStringLiteral("no se pudieron sellar de nuevo los campos de las empresas: ") +
                     error);
    std::printf("tabla empresas de %s: %s de %s sellados de nuevo\n",
                qUtf8Printable(bases.baseGeneral),
                qUtf8Printable(cantidad(cuenta.campos, "campo", "campos")),
                qUtf8Printable(cantidad(cuenta.empresas, "empresa", "empresas")));
    return avisarPendientes(cuenta) ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
    AjustarBibliotecas();
    IniciarBibliotecaBaseDatos();
    ProhibirVolcadosDeMemoria();
    PrepararConsola();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.value(0) == QStringLiteral("-h"))
        return uso(true);
    if (args.size() < 2) return uso();
    const QString orden = args[0];
    const QString carpeta = QDir(args[1]).absolutePath();
    const QStringList resto = args.mid(2);
    if (orden == QStringLiteral("instalar")) return instalar(carpeta, resto);
    if (orden == QStringLiteral("guardar") && resto.size() == 2) {
        QString error;
        Instalacion instalacion;
        instalacion.ponerCarpeta(carpeta);
        if (!ArchivoIni::escribir(instalacion.archivoAjustes(), Instalacion::seccionAjustes(),
                                  resto[0], resto[1], &error, ArchivoIni::Acceso::SoloDueno))
            return fallo(error);
        return 0;
    }
    if (orden == QStringLiteral("cifrar") && !resto.isEmpty()) return cifrar(carpeta, resto);
    if (orden == QStringLiteral("demo")) return demo(carpeta, resto);
    if (orden == QStringLiteral("resellar") && resto.isEmpty()) return resellar(carpeta);
    return uso();
}
