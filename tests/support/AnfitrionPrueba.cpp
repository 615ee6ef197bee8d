#include "AnfitrionPrueba.h"

#include <QDir>
#include <QFile>

#include "ServidorPrueba.h"
#include "anfitrion/Cifrado.h"
#include "basedatos/Sql.h"
#include "demo/AnfitrionDemo.h"
#include "programa/Arranque.h"

AnfitrionPrueba::AnfitrionPrueba() : AnfitrionPrueba(QString(), QString()) {}

AnfitrionPrueba::AnfitrionPrueba(const QString& usuario, const QString& contrasena)
    : general_(ServidorPrueba::nombreUnico(QStringLiteral("host"))) {
    QString razon;
    if (!ServidorPrueba::disponible(&razon)) {
        error_ = razon;
        return;
    }
    anfitrion::AjustesInstalacion ajustes;
    ajustes.servidor = ServidorPrueba::host();
    ajustes.puerto = ServidorPrueba::puerto();
    ajustes.baseGeneral = general_;
    ajustes.usuario = usuario;
    ajustes.contrasena = contrasena;
    ajustes.guardarUsuario = !usuario.isEmpty();
    if (!anfitrion::crearInstalacion(carpetaInstalacion(), ajustes, &error_)) return;
    QDir().mkpath(carpetaPrograma());
}

AnfitrionPrueba::~AnfitrionPrueba() {
    // Connections of the program may still be open on these databases.
    contexto_.reset();
    // Start-up made the program's folder the current one, and Windows removes no folder that is
    // some process's current one.
    QDir::setCurrent(QDir::tempPath());
    for (const QString& base : std::as_const(bases_))
        ServidorPrueba::ejecutar(
            QStringLiteral("DROP DATABASE IF EXISTS %1").arg(citarIdentificador(base)));
}

QString AnfitrionPrueba::carpetaInstalacion() const {
    return carpeta_.filePath(QStringLiteral("talmira"));
}
QString AnfitrionPrueba::carpetaPrograma() const {
    return carpeta_.filePath(QStringLiteral("programa"));
}
QString AnfitrionPrueba::ejecutable() const {
    return QDir(carpetaPrograma()).filePath(QStringLiteral("varelmo"));
}
QString AnfitrionPrueba::archivoIni() const {
    return QDir(carpetaPrograma()).filePath(QStringLiteral("varelmo.ini"));
}

bool AnfitrionPrueba::sql(const QString& sentencia) {
    QString motivo;
    if (ServidorPrueba::ejecutar(sentencia, &motivo)) return true;
    error_ = motivo + QStringLiteral(" [") + sentencia.left(200) + u']';
    return false;
}

bool AnfitrionPrueba::crearGeneral(int niveles) {
    const QString g = citarIdentificador(general_);
    bases_ << general_;
    return sql(QStringLiteral("CREATE DATABASE %1").arg(g)) &&
           sql(QStringLiteral("CREATE TABLE %1.`empresas` (`Id` int NOT NULL PRIMARY KEY, "
                              "`Empresa` varchar(60), "
                              "`BaseDeDatos` varchar(64), `BaseDeDatos2` varchar(255), `Servidor` "
                              "varchar(255), "
                              "`Usuario` varchar(255), `Conexion` varchar(255), `Puerto` int)")
                   .arg(g)) &&
           sql(QStringLiteral("CREATE TABLE %1.`configuracion` (`Nombre` varchar(60) PRIMARY KEY, "
                              "`Valor` varchar(255))")
                   .arg(g)) &&
           sql(QStringLiteral("INSERT INTO %1.`configuracion` VALUES ('Precios', '%2')")
                   .arg(g)
                   .arg(niveles));
}

namespace {
QString literal(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Int ||
        v.typeId() == QMetaType::LongLong)
        return QString::number(v.toDouble(), 'g', 17);
    // Test data only: quote as a string literal with the server's escapes.
    QString s = v.toString();
    s.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + s + u'\'';
}
}  // namespace

QString AnfitrionPrueba::crearEmpresa(const EmpresaPrueba& e) {
    const QString nombreBase =
        e.baseDeDatos.isEmpty() ? general_ + QStringLiteral("_e%1").arg(e.id) : e.baseDeDatos;
    const QString base = citarIdentificador(nombreBase);
    if (e.crearBase) {
        bases_ << nombreBase;
        QString precios;
        for (int n = 1; n <= e.niveles; ++n)
            precios += QStringLiteral(", `Precio%1` double").arg(n);
        if (!sql(QStringLiteral("CREATE DATABASE %1 CHARACTER SET %2")
                     .arg(base, e.juegoCaracteres)) ||
            !sql(QStringLiteral("CREATE TABLE %1.`productos` (`Clave` varchar(15) NOT NULL, "
                                "`Descrip` varchar(80), "
                                "`Costo` double%2) CHARACTER SET %3")
                     .arg(base, precios, e.juegoCaracteres)))
            return QString();
        for (const ProductoPrueba& p : e.productos) {
            QString valores =
                literal(p.clave) + u',' + literal(p.descrip) + u',' + literal(p.costo);
            for (int n = 0; n < e.niveles; ++n) valores += u',' + literal(p.precios.value(n));
            if (!sql(QStringLiteral("INSERT INTO %1.`productos` VALUES (%2)").arg(base, valores)))
                return QString();
        }
    }
    if (!sql(QStringLiteral("INSERT INTO %1.`empresas` "
                            "(`Id`,`Empresa`,`BaseDeDatos`,`BaseDeDatos2`) VALUES (%2, %3, %4, '')")
                 .arg(citarIdentificador(general_))
                 .arg(e.id)
                 .arg(literal(e.nombre.isEmpty() ? QStringLiteral("Empresa %1").arg(e.id)
                                                 : e.nombre),
                      literal(nombreBase))))
        return QString();
    return nombreBase;
}

bool AnfitrionPrueba::escribirIni(const QStringList& extra) {
    QFile f(archivoIni());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QString texto =
        QStringLiteral("[Configuración]\nRuta de Talmira Premium=%1\nBase de datos a usar=%2\n")
            .arg(carpetaInstalacion(), general_);
    for (const QString& linea : extra) texto += linea + u'\n';
    f.write(texto.toUtf8());
    return true;
}

std::optional<DatosIniciales> AnfitrionPrueba::arrancar(QString* error) {
    contexto_ = contextoDePrueba();
    if (!QFile::exists(archivoIni()) && !escribirIni()) return std::nullopt;
    if (!ArrancarPrograma(*contexto_, ejecutable())) {
        if (error) *error = QStringLiteral("la instalación no se encontró o no se pudo preparar");
        return std::nullopt;
    }
    return CargarDatosIniciales(*contexto_, error);
}

QString AnfitrionPrueba::cifrarAjuste(const QString& clave, const QString& texto) const {
    QString resultado;
    anfitrion::cifrar(carpetaInstalacion(), 0, texto, &resultado, nullptr,
                      Cifrado::lugarAjuste(clave));
    return resultado;
}

QString AnfitrionPrueba::cifrarCampo(int id, int selector, const QString& texto, int puerto) const {
    QString resultado;
    anfitrion::cifrar(carpetaInstalacion(), selector, texto, &resultado, nullptr,
                      Cifrado::lugarEmpresa(id, selector, puerto));
    return resultado;
}
