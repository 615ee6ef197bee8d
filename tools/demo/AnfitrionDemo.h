#pragma once
#include <QList>
#include <QString>
#include <functional>

class Conexion;

// The least of the host product that the program needs, made from scratch: an installation folder
// with its settings and key, and a host database with companies and their products. Used by the
// talmira-host tool, the demo, the tests and the benchmark.
namespace anfitrion {

struct AjustesInstalacion {
    QString servidor = QStringLiteral("127.0.0.1");
    int puerto = 3306;
    QString usuario;     // stored enciphered; blank leaves the key blank for start-up to fill
    QString contrasena;  // the same
    bool guardarUsuario = false;
    QString baseGeneral;        // "MySQLBaseGeneral"; blank means "talmira"
    QString tlsCa;              // "MySQLSSLCA": the CA file that signs the servers' certificates
    bool tlsRequerido = false;  // "MySQLSSL" = "Sí"
    QString tlsHuella;          // "MySQLSSLHuella": SHA-256 of a pinned server certificate
    // A group whose users share the installation: they may read the key and talmira.ini (0640),
    // which only the owner may change. Blank: both for the owner only (0600).
    QString grupo;
};

// Creates `carpeta`, its talmira.ini with the given settings and its key file (owner only, or
// shared with `grupo`).
bool crearInstalacion(const QString& carpeta, const AjustesInstalacion& ajustes, QString* error);

// Stored form of `texto` for a selector (0 for the host's own credentials, 1 to 4 for a company's)
// at `lugar` (Cifrado::lugarAjuste, Cifrado::lugarEmpresa). False for a selector outside 0 to 4.
bool cifrar(const QString& carpeta, int selector, const QString& texto, QString* resultado,
            QString* error, const QString& lugar);

struct Demo {
    QString baseGeneral = QStringLiteral("talmira");
    QString prefijoEmpresas = QStringLiteral("datos");  // company databases datos1, datos2, ...
    int empresas = 3;
    int productos = 2000;
    int niveles = 4;  // Precio1 .. Precio<niveles>
    quint32 semilla = 1;
    // Drop databases of the same names first; without it, a demo refuses to touch a server that
    // holds any of them (it may be a real installation's data).
    bool reemplazar = false;
};

struct ProductoDemo {
    QString clave;
    QString descrip;
    double costo = 0;
    QList<double> precios;  // Precio1 .. Precio<niveles>
};

// The products of company `empresa` (1-based) of a demo, in the order they are stored; the same
// for the same demo every time, whatever else has been generated.
QList<ProductoDemo> productosDemo(const Demo& demo, int empresa);
// The name of company `empresa` of a demo.
QString nombreEmpresaDemo(int empresa);

// Creates the host database with `empresas` and `configuracion`, and one database per company with
// `productos` and `configuracion`, on the server that `conexion` is open on (any database).
// Most codes are shared by all companies, some belong to one only. `progreso` gets a line per
// company. Unless `reemplazar` is set, nothing is done when the general database or any company
// database already exists: false, with the names in `error`.
bool crearDemo(Conexion& conexion, const Demo& demo, QString* error,
               const std::function<void(const QString&)>& progreso = {});

}  // namespace anfitrion
