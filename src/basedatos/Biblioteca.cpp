#include "basedatos/Biblioteca.h"

#include <mysql.h>

#include <QCoreApplication>
#include <QFile>
#include <QtGlobal>
#include <mutex>

// Connector/C 3.3 brought the library's own safeguards the sessions rely on (the restricted login
// methods among them); an older one must not build.
static_assert(MARIADB_PACKAGE_VERSION_ID >= 30300,
              "se necesita MariaDB Connector/C 3.3 o posterior (libmariadb-dev)");

void IniciarBibliotecaBaseDatos() {
    static std::once_flag una;
    std::call_once(una, [] {
        // Read by the library when it starts (plugins to preload) or when it connects (a plugin
        // folder, a server, a port, a socket, a password, turning certificate checks off).
        for (const char* variable :
             {"LIBMYSQL_PLUGINS", "LIBMYSQL_PLUGIN_DIR", "MARIADB_PLUGIN_DIR", "MYSQL_HOST",
              "MYSQL_TCP_PORT", "MYSQL_UNIX_PORT", "MYSQL_PWD", "MYSQL_DEBUG",
              "MARIADB_TLS_DISABLE_PEER_VERIFICATION", "LIBMYSQL_ENABLE_CLEARTEXT_PLUGIN"})
            qunsetenv(variable);
        mysql_library_init(0, nullptr, nullptr);
    });
}

// The build names the library's plugin folder; a build that names none (Windows, whose library
// has its login methods inside) gives the folder "plugin" beside the program, which only who may
// change the program may write, so that no other folder's DLL is ever loaded as a plugin.
QByteArray CarpetaPluginsBaseDatos() {
    const QByteArray construida = QByteArrayLiteral(VARELMO_PLUGINS_BASE_DATOS);
    if (!construida.isEmpty()) return construida;
    return QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/plugin"));
}

HiloBaseDatos::HiloBaseDatos() { mysql_thread_init(); }

HiloBaseDatos::~HiloBaseDatos() { mysql_thread_end(); }
