#include "demo/AnfitrionDemo.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <optional>

#include "anfitrion/ArchivoIni.h"
#include "anfitrion/Cifrado.h"
#include "anfitrion/Instalacion.h"
#include "archivos/ErrorSistema.h"
#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"
#include "plataforma/ArchivoSecreto.h"

namespace anfitrion {

namespace {
bool guardar(const QString& archivo, const QString& clave, const QString& valor, QString* error) {
    // talmira.ini keeps the enciphered credentials: created for its owner only.
    return ArchivoIni::escribir(archivo, Instalacion::seccionAjustes(), clave, valor, error,
                                ArchivoIni::Acceso::SoloDueno);
}

bool ejecutar(Conexion& c, const QString& sql, QString* error, const QVariantList& valores = {}) {
    QString motivo;
    if (c.ejecutar(sql, valores, &motivo)) return true;
    if (error) *error = motivo;
    return false;
}

const QStringList Articulos = {
    QStringLiteral("Tornillo"), QStringLiteral("Tuerca"),  QStringLiteral("Llave"),
    QStringLiteral("Martillo"), QStringLiteral("Cable"),   QStringLiteral("Tubería"),
    QStringLiteral("Bisagra"),  QStringLiteral("Pintura"), QStringLiteral("Cerradura"),
    QStringLiteral("Escalera"), QStringLiteral("Lámpara"), QStringLiteral("Válvula"),
    QStringLiteral("Manguera"), QStringLiteral("Taladro"), QStringLiteral("Cepillo"),
    QStringLiteral("Candado")};
const QStringList Cualidades = {
    QStringLiteral("de acero"),     QStringLiteral("galvanizado"),
    QStringLiteral("de latón"),     QStringLiteral("para exterior"),
    QStringLiteral("reforzado"),    QStringLiteral("económico"),
    QStringLiteral("de precisión"), QStringLiteral("con baño de níquel"),
    QStringLiteral("de aluminio"),  QStringLiteral("térmico"),
    QStringLiteral("eléctrico"),    QStringLiteral("de señalización")};
const QStringList NombresEmpresas = {
    QStringLiteral("Ferretería del Centro"), QStringLiteral("Materiales Núñez"),
    QStringLiteral("Distribuidora Peña"),    QStringLiteral("Herrajes y Tornillería Ávila"),
    QStringLiteral("Comercial Ibáñez"),      QStringLiteral("Suministros Muñoz"),
    QStringLiteral("Ferre-Útil del Norte"),  QStringLiteral("Almacenes Begoña"),
    QStringLiteral("Eléctrica Martínez"),    QStringLiteral("Grupo Señorío")};

// Gives the key and talmira.ini of `carpeta` to the users of group `grupo`, who may then read them.
bool compartirConGrupo(const QString& carpeta, const QString& grupo, QString* error) {
    for (const QString& nombre :
         {Cifrado::nombreArchivoClave(), Instalacion::nombreArchivoAjustes()}) {
        const QString ruta = QDir(carpeta).filePath(nombre);
        if (const int numero = CompartirConGrupo(ruta, grupo); numero != 0) {
            if (error)
                *error = QStringLiteral("No se pudo compartir el archivo %1 con su grupo: %2")
                             .arg(ruta, TextoErrorSistema(numero));
            return false;
        }
    }
    return true;
}

QString descripcion(quint32 n) {
    return Articulos[static_cast<int>(n % static_cast<quint32>(Articulos.size()))] + u' ' +
           Cualidades[static_cast<int>((n / 16) % static_cast<quint32>(Cualidades.size()))] +
           QStringLiteral(" %1 mm").arg(n % 97 + 3);
}
}  // namespace

QString nombreEmpresaDemo(int e) {
    return NombresEmpresas[(e - 1) % NombresEmpresas.size()] +
           (e > NombresEmpresas.size() ? QStringLiteral(" %1").arg(e) : QString());
}

QList<ProductoDemo> productosDemo(const Demo& demo, int e) {
    QRandomGenerator azar(demo.semilla * 7919u + static_cast<quint32>(e));
    QList<ProductoDemo> productos;
    productos.reserve(demo.productos);
    for (int i = 0; i < demo.productos; ++i) {
        // Nine codes in ten are shared by every company; the rest belong to this company only.
        const bool propio = i % 10 == 9;
        const quint32 n = static_cast<quint32>(i);
        ProductoDemo p;
        p.clave = propio ? QStringLiteral("E%1-%2").arg(e).arg(i, 6, 10, QChar(u'0'))
                         : QStringLiteral("%1").arg(100000 + i);
        p.descrip = descripcion(n + (propio ? static_cast<quint32>(e) * 7 : 0));
        // Prices with cents; one product in fifty above a million.
        p.costo = static_cast<double>(azar.bounded(10, 2000000)) / 100.0 +
                  (i % 50 == 0 ? 1000000.0 : 0.0);
        for (int nivel = 1; nivel <= demo.niveles; ++nivel)
            p.precios << static_cast<double>(
                             qRound64(p.costo * (1.0 + 0.1 * nivel + 0.01 * e) * 100.0)) /
                             100.0;
        productos << p;
    }
    return productos;
}

bool crearInstalacion(const QString& carpeta, const AjustesInstalacion& ajustes, QString* error) {
    // A group that does not exist is told before anything is made.
    if (!ajustes.grupo.isEmpty() && !ExisteGrupo(ajustes.grupo)) {
        if (error) *error = QStringLiteral("No existe el grupo %1.").arg(ajustes.grupo);
        return false;
    }
    if (!QDir().mkpath(carpeta)) {
        if (error) *error = QStringLiteral("No se pudo crear la carpeta %1").arg(carpeta);
        return false;
    }
    if (!Cifrado::crearClave(carpeta, error)) return false;
    const QString archivo = QDir(carpeta).filePath(Instalacion::nombreArchivoAjustes());
    if (!guardar(archivo, QStringLiteral("MySQLServer"), ajustes.servidor, error) ||
        !guardar(archivo, QStringLiteral("servidor"), ajustes.servidor, error) ||
        !guardar(archivo, QStringLiteral("MySQLPuerto"), QString::number(ajustes.puerto), error) ||
        !guardar(archivo, QStringLiteral("MySQLBaseGeneral"), ajustes.baseGeneral, error) ||
        (!ajustes.tlsCa.isEmpty() &&
         !guardar(archivo, QStringLiteral("MySQLSSLCA"), ajustes.tlsCa, error)) ||
        (ajustes.tlsRequerido &&
         !guardar(archivo, QStringLiteral("MySQLSSL"), QStringLiteral("Sí"), error)) ||
        (!ajustes.tlsHuella.isEmpty() &&
         !guardar(archivo, QStringLiteral("MySQLSSLHuella"), ajustes.tlsHuella, error)))
        return false;
    QString usuario, contrasena;
    if (ajustes.guardarUsuario && (!cifrar(carpeta, 0, ajustes.usuario, &usuario, error,
                                           Cifrado::lugarAjuste(QStringLiteral("MySQLUsuario"))) ||
                                   !cifrar(carpeta, 0, ajustes.contrasena, &contrasena, error,
                                           Cifrado::lugarAjuste(QStringLiteral("MySQLPassword")))))
        return false;
    return guardar(archivo, QStringLiteral("MySQLUsuario"), usuario, error) &&
           guardar(archivo, QStringLiteral("MySQLPassword"), contrasena, error) &&
           (ajustes.grupo.isEmpty() || compartirConGrupo(carpeta, ajustes.grupo, error));
}

bool cifrar(const QString& carpeta, int selector, const QString& texto, QString* resultado,
            QString* error, const QString& lugar) {
    if (selector < 0 || selector > Cifrado::selectorMaximo) {
        if (error)
            *error = QStringLiteral("el selector %1 no existe (de 0 a %2)")
                         .arg(selector)
                         .arg(Cifrado::selectorMaximo);
        return false;
    }
    const std::optional<Cifrado> cifrado = Cifrado::abrir(carpeta, error);
    if (!cifrado) return false;
    *resultado = cifrado->cifrar(texto, selector, lugar);
    return true;
}

namespace {
// Fails, naming them, when the server already holds any of the demo's databases.
bool ningunaExiste(Conexion& c, const Demo& demo, QString* error) {
    QStringList nombres{demo.baseGeneral};
    for (int e = 1; e <= demo.empresas; ++e) nombres << demo.prefijoEmpresas + QString::number(e);
    QStringList existen;
    for (const QString& nombre : std::as_const(nombres)) {
        Recordset r;
        if (!r.abrir(
                c,
                QStringLiteral("SELECT 1 FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = ?"),
                {nombre})) {
            *error = r.ultimoError();
            return false;
        }
        if (!r.alFinal()) existen << nombre;
    }
    if (existen.isEmpty()) return true;
    *error = QStringLiteral(
                 "el servidor ya tiene las bases de datos %1; no se tocan (use --reemplazar para "
                 "borrarlas y crearlas de nuevo)")
                 .arg(existen.join(QStringLiteral(", ")));
    return false;
}

// The general database: empresas and configuracion with the number of price levels.
bool crearGeneral(Conexion& c, const Demo& demo, QString* error) {
    const QString general = citarIdentificador(demo.baseGeneral);
    return (!demo.reemplazar ||
            ejecutar(c, QStringLiteral("DROP DATABASE IF EXISTS %1").arg(general), error)) &&
           ejecutar(c, QStringLiteral("CREATE DATABASE IF NOT EXISTS %1").arg(general), error) &&
           ejecutar(
               c,
               QStringLiteral(
                   "CREATE TABLE %1.`empresas` (`Id` int NOT NULL PRIMARY KEY, "
                   "`Empresa` varchar(60) NOT NULL DEFAULT '', `BaseDeDatos` varchar(64) DEFAULT "
                   "'', "
                   "`BaseDeDatos2` varchar(255) DEFAULT '', `Servidor` varchar(255) DEFAULT '', "
                   "`Usuario` varchar(255) DEFAULT '', `Conexion` varchar(255) DEFAULT '', "
                   "`Puerto` int DEFAULT 3306)")
                   .arg(general),
               error) &&
           ejecutar(
               c,
               QStringLiteral(
                   "CREATE TABLE %1.`configuracion` (`Nombre` varchar(60) NOT NULL PRIMARY KEY, "
                   "`Valor` varchar(255) DEFAULT '')")
                   .arg(general),
               error) &&
           ejecutar(
               c,
               QStringLiteral("INSERT INTO %1.`configuracion` VALUES ('Precios', ?)").arg(general),
               error, {QString::number(demo.niveles)});
}

// Company `e`'s database with its tables, and its row in empresas.
bool crearEmpresa(Conexion& c, const Demo& demo, int e, QString* error) {
    const QString nombreBase = demo.prefijoEmpresas + QString::number(e);
    const QString base = citarIdentificador(nombreBase);
    QString columnas;
    for (int n = 1; n <= demo.niveles; ++n)
        columnas += QStringLiteral(", `Precio%1` double DEFAULT 0").arg(n);
    return (!demo.reemplazar ||
            ejecutar(c, QStringLiteral("DROP DATABASE IF EXISTS %1").arg(base), error)) &&
           ejecutar(c, QStringLiteral("CREATE DATABASE %1").arg(base), error) &&
           ejecutar(c,
                    QStringLiteral(
                        "CREATE TABLE %1.`productos` (`Clave` varchar(15) NOT NULL PRIMARY KEY, "
                        "`Descrip` varchar(60) DEFAULT '', `Costo` double DEFAULT 0%2)")
                        .arg(base, columnas),
                    error) &&
           ejecutar(c,
                    QStringLiteral("CREATE TABLE %1.`configuracion` (`Nombre` varchar(60) NOT NULL "
                                   "PRIMARY KEY, `Valor` varchar(255) DEFAULT '')")
                        .arg(base),
                    error) &&
           ejecutar(
               c, QStringLiteral("INSERT INTO %1.`configuracion` VALUES ('Precios', ?)").arg(base),
               error, {QString::number(demo.niveles)}) &&
           ejecutar(
               c,
               QStringLiteral(
                   "INSERT INTO %1.`empresas` (`Id`, `Empresa`, `BaseDeDatos`) VALUES (?, ?, ?)")
                   .arg(citarIdentificador(demo.baseGeneral)),
               error, {e, nombreEmpresaDemo(e), nombreBase});
}

// Company `e`'s products, in multi-row statements of one transaction.
bool cargarProductos(Conexion& c, const Demo& demo, int e, QString* error) {
    constexpr qsizetype lote = 500;
    const QString base = citarIdentificador(demo.prefijoEmpresas + QString::number(e));
    Transaccion transaccion(c);
    if (!transaccion.empezar(error)) return false;
    const QList<ProductoDemo> productos = productosDemo(demo, e);
    const QString marcas =
        QStringLiteral("(?,?,?") + QStringLiteral(",?").repeated(demo.niveles) + u')';
    for (qsizetype desde = 0; desde < productos.size(); desde += lote) {
        const qsizetype hasta = qMin(productos.size(), desde + lote);
        QVariantList valores;
        QStringList filas;
        for (qsizetype i = desde; i < hasta; ++i) {
            const ProductoDemo& p = productos[i];
            valores << p.clave << p.descrip << p.costo;
            for (double precio : p.precios) valores << precio;
            filas << marcas;
        }
        if (!ejecutar(
                c,
                QStringLiteral("INSERT INTO %1.`productos` VALUES %2").arg(base, filas.join(u',')),
                error, valores))
            return false;
    }
    return transaccion.confirmar(error);
}
}  // namespace

bool crearDemo(Conexion& c, const Demo& demo, QString* error,
               const std::function<void(const QString&)>& progreso) {
    if (!demo.reemplazar && !ningunaExiste(c, demo, error)) return false;
    if (!crearGeneral(c, demo, error)) return false;
    for (int e = 1; e <= demo.empresas; ++e) {
        if (progreso)
            progreso(QStringLiteral("%1: %2 productos")
                         .arg(demo.prefijoEmpresas + QString::number(e))
                         .arg(demo.productos));
        if (!crearEmpresa(c, demo, e, error) || !cargarProductos(c, demo, e, error)) return false;
    }
    return true;
}

}  // namespace anfitrion
