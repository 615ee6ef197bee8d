// talmira-host: sets up the host installation that Reporte varelmo works beside.
//
//   talmira-host instalar CARPETA [--servidor H] [--puerto P] [--usuario U] [--base-general B]
//   talmira-host guardar CARPETA CLAVE VALOR
//   talmira-host cifrar CARPETA SELECTOR            (the text is read from standard input)
//   talmira-host demo CARPETA [--empresas K] [--productos N] [--precios n] [--semilla S] [--reemplazar]
//
// Passwords are never taken from the command line: "instalar --usuario" reads the password from
// standard input, and "cifrar" reads its text there too.
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <cstdio>

#include "components/AnfitrionDemo.h"
#include "components/ArchivoIni.h"
#include "components/BasesDD.h"
#include "components/Cifrado.h"
#include "components/Instalacion.h"

namespace {
int uso()
{
    std::fputs(
        "uso:\n"
        "  talmira-host instalar CARPETA [--servidor H] [--puerto P] [--usuario U] [--base-general B]\n"
        "      crea la instalación (talmira.ini y su clave); con --usuario lee la contraseña de la\n"
        "      entrada estándar\n"
        "  talmira-host guardar CARPETA CLAVE VALOR   guarda un ajuste de la instalación\n"
        "  talmira-host cifrar CARPETA SELECTOR       cifra la entrada estándar (selector 0 a 4)\n"
        "  talmira-host demo CARPETA [--empresas K] [--productos N] [--precios n] [--semilla S]\n"
        "                   [--reemplazar]\n"
        "      crea la base general y K empresas de demostración (datos1 ... datosK) en el servidor\n"
        "      de la instalación; si alguna de esas bases ya existe no hace nada, salvo con\n"
        "      --reemplazar, que las borra y las crea de nuevo\n",
        stderr);
    return 2;
}

int fallo(const QString& texto)
{
    std::fprintf(stderr, "talmira-host: %s\n", qUtf8Printable(texto));
    return 1;
}

QString leerEntrada()
{
    QTextStream entrada(stdin);
    QString texto = entrada.readLine();
    return texto;
}

// Values of "--name value" options after the positional arguments.
QString opcion(const QStringList& args, const QString& nombre, const QString& defecto = QString())
{
    const qsizetype i = args.indexOf(nombre);
    return (i >= 0 && i + 1 < args.size()) ? args[i + 1] : defecto;
}

int instalar(const QString& carpeta, const QStringList& args)
{
    anfitrion::AjustesInstalacion ajustes;
    ajustes.servidor = opcion(args, QStringLiteral("--servidor"), ajustes.servidor);
    ajustes.puerto = opcion(args, QStringLiteral("--puerto"), QStringLiteral("3306")).toInt();
    ajustes.baseGeneral = opcion(args, QStringLiteral("--base-general"));
    if (args.contains(QStringLiteral("--usuario"))) {
        ajustes.guardarUsuario = true;
        ajustes.usuario = opcion(args, QStringLiteral("--usuario"));
        ajustes.contrasena = leerEntrada();
    }
    QString error;
    if (!anfitrion::crearInstalacion(carpeta, ajustes, &error))
        return fallo(error);
    return 0;
}

int demo(const QString& carpeta, const QStringList& args)
{
    Instalacion instalacion;
    instalacion.ponerCarpeta(carpeta);
    const QString ajustes = instalacion.archivoAjustes();
    const QString seccion = Instalacion::seccionAjustes();
    QString error;
    const Cifrado* cifrado = instalacion.cifrado(&error);
    if (!cifrado)
        return fallo(error);
    BasesDD bases;
    bases.cRuta = ArchivoIni::leer(ajustes, seccion, QStringLiteral("MySQLServer"));
    bases.cPuerto = ArchivoIni::leer(ajustes, seccion, QStringLiteral("MySQLPuerto")).toInt();
    const QString usuario = ArchivoIni::leer(ajustes, seccion, QStringLiteral("MySQLUsuario"));
    const QString contrasena = ArchivoIni::leer(ajustes, seccion, QStringLiteral("MySQLPassword"));
    bases.cUsuario = usuario.isEmpty() ? QStringLiteral("root") : cifrado->descifrar(usuario, 0).value_or(QString());
    bases.cPassword = contrasena.isEmpty() ? QString() : cifrado->descifrar(contrasena, 0).value_or(QString());
    bases.baseGeneral = QStringLiteral("mysql");

    anfitrion::Demo d;
    d.empresas = opcion(args, QStringLiteral("--empresas"), QStringLiteral("3")).toInt();
    d.productos = opcion(args, QStringLiteral("--productos"), QStringLiteral("2000")).toInt();
    d.niveles = opcion(args, QStringLiteral("--precios"), QStringLiteral("4")).toInt();
    d.semilla = opcion(args, QStringLiteral("--semilla"), QStringLiteral("1")).toUInt();
    d.reemplazar = args.contains(QStringLiteral("--reemplazar"));
    const QString general = ArchivoIni::leer(ajustes, seccion, QStringLiteral("MySQLBaseGeneral")).trimmed();
    if (!general.isEmpty())
        d.baseGeneral = general;

    Conexion conexion;
    if (!bases.AbrirBdD(conexion))
        return fallo(QStringLiteral("no se pudo conectar con el servidor: ") + bases.ultimoError());
    if (!anfitrion::crearDemo(conexion, d, &error,
                              [](const QString& linea) { std::fprintf(stderr, "%s\n", qUtf8Printable(linea)); }))
        return fallo(error);
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2)
        return uso();
    const QString orden = args[0];
    const QString carpeta = QDir(args[1]).absolutePath();
    const QStringList resto = args.mid(2);
    if (orden == QStringLiteral("instalar"))
        return instalar(carpeta, resto);
    if (orden == QStringLiteral("guardar") && resto.size() == 2) {
        QString error;
        Instalacion instalacion;
        instalacion.ponerCarpeta(carpeta);
        if (!ArchivoIni::escribir(instalacion.archivoAjustes(), Instalacion::seccionAjustes(), resto[0],
                                  resto[1], &error, ArchivoIni::Acceso::SoloDueno))
            return fallo(error);
        return 0;
    }
    if (orden == QStringLiteral("cifrar") && resto.size() == 1) {
        QString resultado, error;
        if (!anfitrion::cifrar(carpeta, resto[0].toInt(), leerEntrada(), &resultado, &error))
            return fallo(error);
        std::printf("%s\n", qUtf8Printable(resultado));
        return 0;
    }
    if (orden == QStringLiteral("demo"))
        return demo(carpeta, resto);
    return uso();
}
