// The host installation and its connection settings: LeeIniDefecto and
// PrepararConexion, with the installation made by anfitrion::crearInstalacion and the dialogs
// answered by a script. No database server is needed: PrepararConexion never connects.
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

#include "DialogosGuion.h"
#include "Soporte.h"
#include "anfitrion/ArchivoIni.h"
#include "anfitrion/Cifrado.h"
#include "anfitrion/Instalacion.h"
#include "basedatos/BasesDD.h"
#include "demo/AnfitrionDemo.h"
#include "dialogos/EstiloMensaje.h"
#include "programa/Contexto.h"
#include "programa/LugaresPrograma.h"
#include "programa/ParaPluginsPortables.h"

namespace {

const QString kSeccion = QStringLiteral("Configuración");
const QString kRuta = QStringLiteral("Ruta de Talmira Premium");
const QString kBase = QStringLiteral("Base de datos a usar");

// Restores the current folder when a test changed it.
class CarpetaActual {
public:
    CarpetaActual() : anterior_(QDir::currentPath()) {}
    ~CarpetaActual() { QDir::setCurrent(anterior_); }

private:
    QString anterior_;
};

// Runs LeeIniDefecto on a thread of its own and waits at most `ms`: a reader that retried the
// write without end would otherwise hang the whole test program. The thread owns copies of
// everything it touches, so one left running cannot reach freed memory.
struct Lectura {
    std::atomic<bool> terminada{false};
    QString valor;
};

std::shared_ptr<Lectura> leerConLimite(const QString& seccion, const QString& clave,
                                       const QString& defecto, const QString& archivo, int ms) {
    auto lectura = std::make_shared<Lectura>();
    std::thread([lectura, seccion, clave, defecto, archivo] {
        lectura->valor = LeeIniDefecto(seccion, clave, defecto, archivo);
        lectura->terminada = true;
    }).detach();
    QElapsedTimer reloj;
    reloj.start();
    while (!lectura->terminada && reloj.elapsed() < ms) QThread::msleep(5);
    return lectura;
}

// One case's folders: the program folder (varelmo, varelmo.ini) and the installation folder.
struct Caso {
    QTemporaryDir dir;
    QString carpetaPrograma() const { return dir.filePath(QStringLiteral("programa")); }
    QString instalacion() const { return dir.filePath(QStringLiteral("talmira")); }
    QString ini() const { return QDir(carpetaPrograma()).filePath(QStringLiteral("varelmo.ini")); }
    QString talmiraIni() const {
        return QDir(instalacion()).filePath(Instalacion::nombreArchivoAjustes());
    }
    QString claveArchivo() const {
        return QDir(instalacion()).filePath(Cifrado::nombreArchivoClave());
    }
    QString host(const QString& clave) const {
        return ArchivoIni::leer(talmiraIni(), Instalacion::seccionAjustes(), clave);
    }
    bool ponerHost(const QString& clave, const QString& valor) const {
        return ArchivoIni::escribir(talmiraIni(), Instalacion::seccionAjustes(), clave, valor);
    }
    QString ajuste(const QString& clave) const { return ArchivoIni::leer(ini(), kSeccion, clave); }
    bool ponerAjuste(const QString& clave, const QString& valor) const {
        return ArchivoIni::escribir(ini(), kSeccion, clave, valor);
    }
    std::optional<QString> descifrar(const QString& guardado, const QString& clave) const {
        const std::optional<Cifrado> c = Cifrado::abrir(instalacion());
        return c ? c->descifrar(guardado, 0, Cifrado::lugarAjuste(clave)) : std::nullopt;
    }
};

// A fresh context whose executable is <programa>/varelmo.
std::unique_ptr<Contexto> prepararPrograma(const Caso& caso) {
    auto p = contextoDePrueba();
    QDir().mkpath(caso.carpetaPrograma());
    p->ponerEjecutable(QDir(caso.carpetaPrograma()).filePath(QStringLiteral("varelmo")));
    return p;
}

bool preparar(Contexto& p, bool leerBase = true) {
    return PrepararConexion(p.instalacion, p.basesDD, p.lugares.ajustes, leerBase, *p.dialogos);
}

// An installation whose settings come from `ajustes`, and a settings file pointing at it.
bool crearCaso(const Caso& caso, const anfitrion::AjustesInstalacion& ajustes = {}) {
    QString error;
    if (!anfitrion::crearInstalacion(caso.instalacion(), ajustes, &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    QDir().mkpath(caso.carpetaPrograma());
    return caso.ponerAjuste(kRuta, caso.instalacion());
}

QString textoCarpetaIncorrecta(const QString& archivoIni, const QString& carpeta) {
    return QStringLiteral(
               "En el archivo de configuración de este programa\r\r(%1)\r\r"
               "debe indicarse la ruta correcta de Talmira Premium.\rRuta indicada e incorrecta: "
               "\r\r")
               .arg(archivoIni) +
           carpeta;
}

}  // namespace

class TstParaPlugins : public QObject {
    Q_OBJECT

private slots:
    // ---- LeeIniDefecto ---------------------------------------------------------------------

    void leeIniDefecto_data() {
        QTest::addColumn<QByteArray>("archivo");  // "" with `existe` false: no file at all
        QTest::addColumn<bool>("existe");
        QTest::addColumn<QString>("esperado");
        QTest::addColumn<bool>("escribe");  // the default is written into the file

        const QByteArray cabecera = "[Configuraci\xc3\xb3n]\n";
        QTest::newRow("sin archivo") << QByteArray() << false << QStringLiteral("defecto") << true;
        QTest::newRow("archivo vacio") << QByteArray() << true << QStringLiteral("defecto") << true;
        QTest::newRow("sin seccion")
            << QByteArray("[Otra]\nClave=x\n") << true << QStringLiteral("defecto") << true;
        QTest::newRow("clave ausente") << cabecera + "Otra=1\n"
                                       << true << QStringLiteral("defecto") << true;
        QTest::newRow("valor vacio") << cabecera + "Clave=\n"
                                     << true << QStringLiteral("defecto") << true;
        QTest::newRow("valor vacio con CRLF") << cabecera + "Clave=\r\n"
                                              << true << QStringLiteral("defecto") << true;
        QTest::newRow("solo blancos") << cabecera + "Clave=   \n"
                                      << true << QStringLiteral("   ") << false;
        QTest::newRow("un blanco") << cabecera + "Clave= \n"
                                   << true << QStringLiteral(" ") << false;
        QTest::newRow("valor presente") << cabecera + "Clave=guardado\n"
                                        << true << QStringLiteral("guardado") << false;
        QTest::newRow("valor con blancos alrededor") << cabecera + "Clave=  dos  \n"
                                                     << true << QStringLiteral("  dos  ") << false;
        QTest::newRow("clave en otra caja de letras")
            << QByteArray("[configuraci\xc3\xb3n]\nCLAVE=mayus\n") << true
            << QStringLiteral("mayus") << false;
        QTest::newRow("valor igual al defecto") << cabecera + "Clave=defecto\n"
                                                << true << QStringLiteral("defecto") << false;
    }
    void leeIniDefecto() {
        QFETCH(QByteArray, archivo);
        QFETCH(bool, existe);
        QFETCH(QString, esperado);
        QFETCH(bool, escribe);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString ruta = dir.filePath(QStringLiteral("varelmo.ini"));
        if (existe) QVERIFY(soporte::guardar(ruta, archivo));

        const QString valor =
            LeeIniDefecto(kSeccion, QStringLiteral("Clave"), QStringLiteral("defecto"), ruta);
        QCOMPARE(valor, esperado);
        if (escribe) {
            QCOMPARE(ArchivoIni::leer(ruta, kSeccion, QStringLiteral("Clave")),
                     QStringLiteral("defecto"));
            // Whatever else the file held is still there.
            if (archivo.contains("Otra=1")) {
                QCOMPARE(ArchivoIni::leer(ruta, kSeccion, QStringLiteral("Otra")),
                         QStringLiteral("1"));
            }
            if (archivo.startsWith("[Otra]")) {
                QCOMPARE(ArchivoIni::leer(ruta, QStringLiteral("Otra"), QStringLiteral("Clave")),
                         QStringLiteral("x"));
            }
        } else {
            QCOMPARE(soporte::contenido(ruta), archivo);  // not a byte changed
        }
        // A second read finds the value in the file and writes nothing more.
        const QByteArray despues = soporte::contenido(ruta);
        QCOMPARE(
            LeeIniDefecto(kSeccion, QStringLiteral("Clave"), QStringLiteral("otro defecto"), ruta),
            esperado);
        QCOMPARE(soporte::contenido(ruta), despues);
    }

    void leeIniDefectoDefectoConAcentosYBarra() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("varelmo.ini"));
        QCOMPARE(LeeIniDefecto(kSeccion, kRuta, QStringLiteral("C:\\talmirapremium"), ruta),
                 QStringLiteral("C:\\talmirapremium"));
        const QByteArray bytes = soporte::contenido(ruta);
        // A new file is UTF-8, with the section and the key as given and one backslash.
        QVERIFY2(bytes.contains("[Configuraci\xc3\xb3n]"), bytes.constData());
        QVERIFY2(bytes.contains("Ruta de Talmira Premium=C:\\talmirapremium"), bytes.constData());
        QVERIFY2(!bytes.contains("C:\\\\talmirapremium"), bytes.constData());
    }

    // The file cannot be written: the default is returned, once, and nothing loops.
    void leeIniDefectoSinEscritura_data() {
        QTest::addColumn<QString>("como");
        QTest::newRow("carpeta en lugar del archivo") << QStringLiteral("carpeta");
        QTest::newRow("carpeta bajo un archivo comun") << QStringLiteral("bajoArchivo");
        QTest::newRow("carpeta inexistente anidada") << QStringLiteral("bajoArchivoAnidado");
        QTest::newRow("carpeta de solo lectura") << QStringLiteral("soloLectura");
    }
    void leeIniDefectoSinEscritura() {
        QFETCH(QString, como);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString ruta;
        if (como == QStringLiteral("carpeta")) {
            ruta = dir.filePath(QStringLiteral("varelmo.ini"));
            QVERIFY(QDir().mkpath(ruta));
        } else if (como.startsWith(QStringLiteral("bajoArchivo"))) {
            const QString comun = dir.filePath(QStringLiteral("comun"));
            QVERIFY(soporte::guardar(comun, "no es una carpeta\n"));
            ruta = como.endsWith(QStringLiteral("Anidado"))
                       ? comun + QStringLiteral("/a/b/varelmo.ini")
                       : comun + QStringLiteral("/varelmo.ini");
        } else {
            if (::geteuid() == 0)
                QSKIP("as root a read-only folder is still writable; the other rows cover it");
            const QString carpeta = dir.filePath(QStringLiteral("solo"));
            QVERIFY(QDir().mkpath(carpeta));
            QVERIFY(QFile::setPermissions(carpeta, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            ruta = QDir(carpeta).filePath(QStringLiteral("varelmo.ini"));
        }
        // The setting cannot be stored at all (the premise of the row).
        QVERIFY(
            !ArchivoIni::escribir(ruta, kSeccion, QStringLiteral("Prueba"), QStringLiteral("1")));

        const auto lectura =
            leerConLimite(kSeccion, kRuta, QStringLiteral("C:\\talmirapremium"), ruta, 10000);
        QVERIFY2(lectura->terminada, "LeeIniDefecto did not return within 10 s: it retries");
        QCOMPARE(lectura->valor, QStringLiteral("C:\\talmirapremium"));
        if (como == QStringLiteral("carpeta")) {
            QVERIFY(QFileInfo(ruta).isDir());  // left as it was
        } else {
            QVERIFY(!QFileInfo::exists(ruta));
        }
        if (como == QStringLiteral("soloLectura")) {
            QFile::setPermissions(QFileInfo(ruta).absolutePath(), QFileDevice::ReadOwner |
                                                                      QFileDevice::WriteOwner |
                                                                      QFileDevice::ExeOwner);
        }
    }

    // ---- PrepararConexion: the settings file ------------------------------------------------

    // First run, no settings file, the installation at the default "C:\talmirapremium" (on this
    // system a folder of that very name, relative to the current folder, which start-up makes
    // the executable's folder).
    void primeraVezConInstalacionEnLaRutaPorDefecto() {
        Caso caso;
        QVERIFY(caso.dir.isValid());
        const QString porDefecto = QStringLiteral("C:\\talmirapremium");
        QString error;
        QVERIFY(QDir().mkpath(caso.carpetaPrograma()));
        QVERIFY2(anfitrion::crearInstalacion(QDir(caso.carpetaPrograma()).filePath(porDefecto), {},
                                             &error),
                 qPrintable(error));
        const CarpetaActual actual;
        QVERIFY(QDir::setCurrent(caso.carpetaPrograma()));
        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        QVERIFY(!QFileInfo::exists(caso.ini()));
        GuionDialogos guion;

        QVERIFY(preparar(p));
        QVERIFY2(guion->mostradas.isEmpty(), qPrintable(describir(guion->mostradas)));
        QCOMPARE(caso.ajuste(kRuta), porDefecto);
        QCOMPARE(caso.ajuste(kBase), QStringLiteral("datos1"));
        QCOMPARE(p.basesDD.cMiBase, QStringLiteral("datos1"));
        const QByteArray bytes = soporte::contenido(caso.ini());
        QVERIFY2(bytes.startsWith("[Configuraci\xc3\xb3n]"), bytes.constData());
        QVERIFY2(bytes.contains("Ruta de Talmira Premium=C:\\talmirapremium"), bytes.constData());
        QVERIFY2(bytes.contains("Base de datos a usar=datos1"), bytes.constData());
        QCOMPARE(bytes.count('['), 1);  // one section only
    }

    // First run, no settings file, and nothing at "C:\talmirapremium": the file gains the folder
    // only, and the two messages name it.
    void primeraVezSinInstalacion() {
        Caso caso;
        const CarpetaActual actual;
        QVERIFY(QDir().mkpath(caso.carpetaPrograma()));
        QVERIFY(QDir::setCurrent(caso.carpetaPrograma()));
        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        GuionDialogos guion;
        guion->respuestas << Respuesta::Aceptar << Respuesta::No;

        QVERIFY(!preparar(p));
        QCOMPARE(caso.ajuste(kRuta), QStringLiteral("C:\\talmirapremium"));
        QCOMPARE(caso.ajuste(kBase), QString());
        QVERIFY(!soporte::contenido(caso.ini()).contains("Base de datos"));
        QCOMPARE(guion->mostradas.size(), 2);
        QCOMPARE(guion->mostradas[0].texto,
                 textoCarpetaIncorrecta(caso.ini(), QStringLiteral("C:\\talmirapremium")));
        QVERIFY(guion->abiertos.isEmpty());
    }

    void baseDeDatos_data() {
        QTest::addColumn<bool>("leerBase");
        QTest::addColumn<bool>("hayClave");
        QTest::addColumn<QString>("guardado");
        QTest::addColumn<QString>("esperado");   // cMiBase afterwards
        QTest::addColumn<QString>("enArchivo");  // "Base de datos a usar" afterwards

        QTest::newRow("sin pedirla no se lee ni se escribe")
            << false << false << QString() << QStringLiteral("previa") << QString();
        QTest::newRow("sin pedirla queda la previa aunque haya clave")
            << false << true << QStringLiteral("empresa7") << QStringLiteral("previa")
            << QStringLiteral("empresa7");
        QTest::newRow("pedida y ausente")
            << true << false << QString() << QStringLiteral("datos1") << QStringLiteral("datos1");
        QTest::newRow("pedida y vacia")
            << true << true << QString() << QStringLiteral("datos1") << QStringLiteral("datos1");
        QTest::newRow("pedida y guardada")
            << true << true << QStringLiteral("empresa7") << QStringLiteral("empresa7")
            << QStringLiteral("empresa7");
        QTest::newRow("pedida y solo blancos")
            << true << true << QStringLiteral("  ") << QStringLiteral("  ") << QStringLiteral("  ");
    }
    void baseDeDatos() {
        QFETCH(bool, leerBase);
        QFETCH(bool, hayClave);
        QFETCH(QString, guardado);
        QFETCH(QString, esperado);
        QFETCH(QString, enArchivo);

        Caso caso;
        QVERIFY(crearCaso(caso));
        if (hayClave) {
            QFile f(caso.ini());
            QVERIFY(f.open(QIODevice::Append));
            f.write(QStringLiteral("Base de datos a usar=%1\n").arg(guardado).toUtf8());
        }
        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        p.basesDD.cMiBase = QStringLiteral("previa");
        GuionDialogos guion;
        QVERIFY(preparar(p, leerBase));
        QVERIFY(guion->mostradas.isEmpty());
        QCOMPARE(p.basesDD.cMiBase, esperado);
        QCOMPARE(caso.ajuste(kBase), enArchivo);
        if (!leerBase && !hayClave)
            QVERIFY(!soporte::contenido(caso.ini()).contains("Base de datos"));
    }

    // ---- PrepararConexion: the host's settings ------------------------------------------------

    void puerto_data() {
        QTest::addColumn<QString>("guardado");
        QTest::addColumn<int>("esperado");   // cPuerto
        QTest::addColumn<QString>("queda");  // stored afterwards: never the default written back

        QTest::newRow("vacio") << QString() << 3306 << QString();
        QTest::newRow("cero") << QStringLiteral("0") << 3306 << QStringLiteral("0");
        QTest::newRow("cero con blancos")
            << QStringLiteral("  0 ") << 3306 << QStringLiteral("  0 ");
        QTest::newRow("solo blancos") << QStringLiteral("   ") << 3306 << QStringLiteral("   ");
        QTest::newRow("cero decimal") << QStringLiteral("0.0") << 3306 << QStringLiteral("0.0");
        QTest::newRow("otro puerto") << QStringLiteral("3307") << 3307 << QStringLiteral("3307");
        QTest::newRow("puerto 1") << QStringLiteral("1") << 1 << QStringLiteral("1");
        QTest::newRow("puerto 65535")
            << QStringLiteral("65535") << 65535 << QStringLiteral("65535");
        QTest::newRow("puerto con blancos")
            << QStringLiteral(" 3310") << 3310 << QStringLiteral(" 3310");
    }
    void puerto() {
        QFETCH(QString, guardado);
        QFETCH(int, esperado);
        QFETCH(QString, queda);

        Caso caso;
        QVERIFY(crearCaso(caso));
        QVERIFY(caso.ponerHost(QStringLiteral("MySQLPuerto"), guardado));
        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        p.basesDD.cPuerto = 9;
        GuionDialogos guion;
        QVERIFY(preparar(p));
        QVERIFY2(guion->mostradas.isEmpty(), qPrintable(describir(guion->mostradas)));
        QCOMPARE(p.basesDD.cPuerto, esperado);
        QCOMPARE(caso.host(QStringLiteral("MySQLPuerto")), queda);
    }

    void puertoFueraDeRango_data() {
        QTest::addColumn<QString>("guardado");
        QTest::newRow("negativo") << QStringLiteral("-1");
        QTest::newRow("65536") << QStringLiteral("65536");
        QTest::newRow("70000") << QStringLiteral("70000");
        QTest::newRow("con decimales") << QStringLiteral("3306.5");
        QTest::newRow("menos de uno") << QStringLiteral("0.5");
        QTest::newRow("enorme") << QStringLiteral("99999999999999999999999");
        QTest::newRow("no numerico") << QStringLiteral("abc");
        QTest::newRow("puerto con texto detras") << QStringLiteral("3311xyz");
    }
    void puertoFueraDeRango() {
        QFETCH(QString, guardado);
        Caso caso;
        QVERIFY(crearCaso(caso));
        QVERIFY(caso.ponerHost(QStringLiteral("MySQLPuerto"), guardado));
        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        GuionDialogos guion;
        QVERIFY(!preparar(p));
        QCOMPARE(guion->mostradas.size(), 1);
        const CajaMostrada& caja = guion->mostradas[0];
        QVERIFY(!caja.skin);
        QCOMPARE(caja.titulo, QStringLiteral("Atención"));
        QCOMPARE(caja.estilo, estilos::Alto);
        QVERIFY2(caja.texto.contains(QStringLiteral("\"MySQLPuerto\"")), qPrintable(caja.texto));
        QVERIFY2(caja.texto.contains(guardado), qPrintable(caja.texto));
        QVERIFY(!caja.texto.contains(u'\n'));
        QCOMPARE(caso.host(QStringLiteral("MySQLPuerto")), guardado);  // not "repaired"
        QVERIFY(guion->abiertos.isEmpty());
        QCOMPARE(caso.ajuste(kBase), QString());  // start-up stopped before the database name
    }

    void servidor_data() {
        QTest::addColumn<QString>("mysqlServer");
        QTest::addColumn<QString>("servidor");  // "\x01" leaves the key out of talmira.ini
        QTest::addColumn<QString>("esperado");  // cRuta, and MySQLServer afterwards

        QTest::newRow("guardado") << QStringLiteral("db1") << QStringLiteral("db2")
                                  << QStringLiteral("db1");
        QTest::newRow("guardado tal cual con blancos")
            << QStringLiteral("  db1 ") << QStringLiteral("db2") << QStringLiteral("  db1 ");
        QTest::newRow("vacio toma servidor")
            << QString() << QStringLiteral("db2") << QStringLiteral("db2");
        QTest::newRow("blancos toma servidor")
            << QStringLiteral("   ") << QStringLiteral("db2") << QStringLiteral("db2");
        QTest::newRow("ambos vacios") << QString() << QString() << QString();
        QTest::newRow("servidor ausente") << QString() << QStringLiteral("\x01") << QString();
    }
    void servidor() {
        QFETCH(QString, mysqlServer);
        QFETCH(QString, servidor);
        QFETCH(QString, esperado);

        Caso caso;
        QVERIFY(crearCaso(caso));
        QVERIFY(caso.ponerHost(QStringLiteral("MySQLServer"), mysqlServer));
        if (servidor == QStringLiteral("\x01")) {
            QByteArray bytes = soporte::contenido(caso.talmiraIni());
            const qsizetype i = bytes.indexOf("\nservidor=");
            QVERIFY(i >= 0);
            const qsizetype fin = bytes.indexOf('\n', i + 1);
            bytes.remove(i, fin - i);
            QVERIFY(soporte::guardar(caso.talmiraIni(), bytes));
            QVERIFY(!bytes.contains("servidor="));
        } else {
            QVERIFY(caso.ponerHost(QStringLiteral("servidor"), servidor));
        }
        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        p.basesDD.cRuta = QStringLiteral("previo");
        GuionDialogos guion;
        QVERIFY(preparar(p));
        QVERIFY(guion->mostradas.isEmpty());
        QCOMPARE(p.basesDD.cRuta, esperado);
        QCOMPARE(caso.host(QStringLiteral("MySQLServer")), mysqlServer);
    }

    // A credential of the earlier form, bound to no place, is refused with the command that seals
    // it again, and start-up leaves it as it is stored.
    void credencialDeFormaAnterior() {
        Caso caso;
        QVERIFY(crearCaso(caso));
        QFile clave(QDir(caso.instalacion()).filePath(Cifrado::nombreArchivoClave()));
        QVERIFY(clave.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                clave.write(
                    QByteArray::fromBase64("AwoRGB8mLTQ7QklQV15lbHN6gYiPlp2kq7K5wMfO1dw=")) == 32);
        clave.close();
        QVERIFY(caso.ponerHost(
            QStringLiteral("MySQLUsuario"),
            QStringLiteral("AP1JhLeeWtj/cZCYrgg31D4eiujXumcr34AewW6K8fpJFgeGDoZnDpo1ha4=")));
        const QByteArray antes = soporte::contenido(caso.talmiraIni());
        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        p.basesDD.cUsuario = QStringLiteral("previo");
        GuionDialogos guion;
        QVERIFY(!preparar(p));
        QCOMPARE(guion->mostradas.size(), 1);
        const QString texto = guion->mostradas[0].texto;
        QVERIFY2(texto.contains(QStringLiteral("\"MySQLUsuario\"")) &&
                     texto.contains(QStringLiteral("forma anterior")) &&
                     texto.contains(
                         QStringLiteral("talmira-host resellar \"%1\"").arg(caso.instalacion())),
                 qPrintable(texto));
        QCOMPARE(p.basesDD.cUsuario, QStringLiteral("previo"));
        QCOMPARE(soporte::contenido(caso.talmiraIni()), antes);
    }

    // Blank credentials are used as "root" and the empty text for the run; nothing is written
    // into the host's file, so a second start finds them blank again.
    void credencialesEnBlanco_data() {
        QTest::addColumn<QString>("usuario");
        QTest::addColumn<QString>("contrasena");
        QTest::newRow("vacios") << QString() << QString();
        QTest::newRow("solo blancos") << QStringLiteral("   ") << QStringLiteral(" ");
    }
    void credencialesEnBlanco() {
        QFETCH(QString, usuario);
        QFETCH(QString, contrasena);
        Caso caso;
        QVERIFY(crearCaso(caso));
        QVERIFY(caso.ponerHost(QStringLiteral("MySQLUsuario"), usuario));
        QVERIFY(caso.ponerHost(QStringLiteral("MySQLPassword"), contrasena));
        const QByteArray antes = soporte::contenido(caso.talmiraIni());
        for (int vez = 0; vez < 2; ++vez) {
            const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
            Contexto& p = *contexto;
            p.basesDD.cUsuario = QStringLiteral("previo");
            p.basesDD.cPassword = QStringLiteral("previa");
            GuionDialogos guion;
            QVERIFY(preparar(p));
            QVERIFY2(guion->mostradas.isEmpty(), qPrintable(describir(guion->mostradas)));
            QCOMPARE(p.basesDD.cUsuario, QStringLiteral("root"));
            QCOMPARE(p.basesDD.cPassword, QString());
            QCOMPARE(soporte::contenido(caso.talmiraIni()), antes);
        }
    }

    void credencialesGuardadas() {
        Caso caso;
        anfitrion::AjustesInstalacion ajustes;
        ajustes.guardarUsuario = true;
        ajustes.usuario = QStringLiteral("varelmo");
        ajustes.contrasena = QStringLiteral("Contraseña ñ 'x\"");
        ajustes.servidor = QStringLiteral("servidor.local");
        ajustes.puerto = 3399;
        QVERIFY(crearCaso(caso, ajustes));
        const QByteArray antes = soporte::contenido(caso.talmiraIni());
        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        GuionDialogos guion;
        QVERIFY(preparar(p));
        QVERIFY(guion->mostradas.isEmpty());
        QCOMPARE(p.basesDD.cUsuario, ajustes.usuario);
        QCOMPARE(p.basesDD.cPassword, ajustes.contrasena);
        QCOMPARE(p.basesDD.cRuta, ajustes.servidor);
        QCOMPARE(p.basesDD.cPuerto, 3399);
        QCOMPARE(soporte::contenido(caso.talmiraIni()), antes);  // nothing was filled in
    }

    void baseGeneral_data() {
        QTest::addColumn<QString>("guardada");  // "\x01" leaves the key out
        QTest::addColumn<QString>("esperada");
        QTest::newRow("vacia") << QString() << QStringLiteral("talmira");
        QTest::newRow("blancos") << QStringLiteral("   ") << QStringLiteral("talmira");
        QTest::newRow("ausente") << QStringLiteral("\x01") << QStringLiteral("talmira");
        QTest::newRow("guardada") << QStringLiteral("general1") << QStringLiteral("general1");
        QTest::newRow("guardada con blancos")
            << QStringLiteral(" general1 ") << QStringLiteral("general1");
    }
    void baseGeneral() {
        QFETCH(QString, guardada);
        QFETCH(QString, esperada);
        Caso caso;
        QVERIFY(crearCaso(caso));
        if (guardada == QStringLiteral("\x01")) {
            QByteArray bytes = soporte::contenido(caso.talmiraIni());
            const qsizetype i = bytes.indexOf("\nMySQLBaseGeneral=");
            QVERIFY(i >= 0);
            bytes.remove(i, bytes.indexOf('\n', i + 1) - i);
            QVERIFY(soporte::guardar(caso.talmiraIni(), bytes));
        } else {
            QVERIFY(caso.ponerHost(QStringLiteral("MySQLBaseGeneral"), guardada));
        }
        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        p.basesDD.baseGeneral = QStringLiteral("previa");
        QVERIFY(preparar(p));
        QCOMPARE(p.basesDD.baseGeneral, esperada);
    }

    // ---- PrepararConexion: the installation is not where the settings file says -------------

    void carpetaIncorrecta_data() {
        QTest::addColumn<QString>("como");
        QTest::addColumn<Respuesta>(
            "respuesta");  // to "¿Desea editar el archivo de configuración?"

        for (const char* como : {"inexistente", "sin talmira.ini", "talmira.ini es carpeta",
                                 "solo blancos", "vacia", "un archivo"}) {
            QTest::addRow("%s, si", como) << QString::fromUtf8(como) << Respuesta::Si;
            QTest::addRow("%s, no", como) << QString::fromUtf8(como) << Respuesta::No;
        }
    }
    void carpetaIncorrecta() {
        QFETCH(QString, como);
        QFETCH(Respuesta, respuesta);

        Caso caso;
        QVERIFY(QDir().mkpath(caso.carpetaPrograma()));
        QString carpeta;  // what the settings file names
        if (como == QStringLiteral("inexistente")) {
            carpeta = caso.dir.filePath(QStringLiteral("no existe"));
        } else if (como == QStringLiteral("sin talmira.ini")) {
            carpeta = caso.instalacion();
            QVERIFY(QDir().mkpath(carpeta));
            QVERIFY(Cifrado::crearClave(carpeta));
        } else if (como == QStringLiteral("talmira.ini es carpeta")) {
            carpeta = caso.instalacion();
            QVERIFY(QDir().mkpath(caso.talmiraIni()));
        } else if (como == QStringLiteral("solo blancos")) {
            carpeta = QStringLiteral("   ");
        } else if (como == QStringLiteral("vacia")) {
            carpeta = QString();  // the default is written and read: "C:\talmirapremium"
        } else {
            carpeta = caso.dir.filePath(QStringLiteral("archivo"));
            QVERIFY(soporte::guardar(carpeta, "[Talmira]\nMySQLServer=x\n"));
        }
        QVERIFY(soporte::guardar(caso.ini(), "[Configuraci\xc3\xb3n]\nRuta de Talmira Premium=" +
                                                 carpeta.toUtf8() + "\n"));
        const QString leida = carpeta.isEmpty() ? QStringLiteral("C:\\talmirapremium") : carpeta;

        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        p.basesDD.cMiBase = QStringLiteral("previa");
        p.basesDD.cRuta = QStringLiteral("previo");
        GuionDialogos guion;
        guion->respuestas << Respuesta::Aceptar << respuesta;

        QVERIFY(!preparar(p));
        QCOMPARE(guion->mostradas.size(), 2);
        const CajaMostrada& primera = guion->mostradas[0];
        QVERIFY(!primera.skin);
        QCOMPARE(primera.titulo, QStringLiteral("Atención"));
        QCOMPARE(primera.estilo, estilos::Alto);
        QCOMPARE(primera.texto, textoCarpetaIncorrecta(p.lugares.ajustes, leida));
        QVERIFY(!primera.texto.contains(u'\n'));
        QCOMPARE(primera.texto.count(u'\r'), 7 + leida.count(u'\r'));
        QVERIFY(primera.texto.contains(u'(' + caso.ini() + u')'));
        QVERIFY(primera.texto.endsWith(QStringLiteral("\r\r") + leida));

        const CajaMostrada& segunda = guion->mostradas[1];
        QVERIFY(!segunda.skin);
        QCOMPARE(segunda.titulo, QStringLiteral("Editar INI"));
        QCOMPARE(segunda.estilo, estilos::Pregunta);
        QCOMPARE(segunda.texto, QStringLiteral("¿Desea editar el archivo de configuración?"));

        if (respuesta == Respuesta::Si)
            QCOMPARE(guion->abiertos, QStringList{caso.ini()});
        else
            QVERIFY(guion->abiertos.isEmpty());
        QVERIFY(guion->pitidos == 0);

        // Start-up stopped there: no database name read, the connection object untouched.
        QCOMPARE(p.basesDD.cMiBase, QStringLiteral("previa"));
        QCOMPARE(p.basesDD.cRuta, QStringLiteral("previo"));
        QCOMPARE(caso.ajuste(kBase), QString());
        QCOMPARE(caso.ajuste(kRuta), leida);
        QVERIFY(!QFileInfo(caso.talmiraIni()).isFile());
    }

    // The default answer of the second box (Yes) opens the settings file.
    void carpetaIncorrectaRespuestaPorDefecto() {
        Caso caso;
        QVERIFY(QDir().mkpath(caso.carpetaPrograma()));
        QVERIFY(caso.ponerAjuste(kRuta, caso.dir.filePath(QStringLiteral("nada"))));
        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        GuionDialogos guion;  // no scripted answers: each box takes its default button
        QVERIFY(!preparar(p));
        QCOMPARE(guion->mostradas.size(), 2);
        QCOMPARE(guion->abiertos, QStringList{caso.ini()});
    }

    // ---- PrepararConexion: stored values that cannot be used ---------------------------------

    void valorQueNoSeDescifra_data() {
        QTest::addColumn<QString>("como");
        QTest::addColumn<QString>("clave");  // the host key named by the box
        QTest::newRow("contrasena alterada")
            << QStringLiteral("alterar") << QStringLiteral("MySQLPassword");
        QTest::newRow("contrasena recortada")
            << QStringLiteral("recortar") << QStringLiteral("MySQLPassword");
        QTest::newRow("contrasena en texto plano")
            << QStringLiteral("plana") << QStringLiteral("MySQLPassword");
        QTest::newRow("usuario en texto plano")
            << QStringLiteral("usuarioPlano") << QStringLiteral("MySQLUsuario");
        QTest::newRow("clave de otra instalacion")
            << QStringLiteral("otraClave") << QStringLiteral("MySQLPassword");
    }
    void valorQueNoSeDescifra() {
        QFETCH(QString, como);
        QFETCH(QString, clave);

        Caso caso;
        anfitrion::AjustesInstalacion ajustes;
        ajustes.guardarUsuario = true;
        ajustes.usuario = QStringLiteral("varelmo");
        ajustes.contrasena = QStringLiteral("secreto");
        QVERIFY(crearCaso(caso, ajustes));
        const QString guardada = caso.host(QStringLiteral("MySQLPassword"));
        QVERIFY(guardada.size() > 20);
        if (como == QStringLiteral("alterar")) {
            QString alterada = guardada;
            const qsizetype i = alterada.size() / 2;
            alterada[i] = alterada[i] == u'A' ? u'B' : u'A';
            QVERIFY(caso.ponerHost(QStringLiteral("MySQLPassword"), alterada));
        } else if (como == QStringLiteral("recortar")) {
            QVERIFY(caso.ponerHost(QStringLiteral("MySQLPassword"),
                                   guardada.left(guardada.size() - 4)));
        } else if (como == QStringLiteral("plana")) {
            QVERIFY(caso.ponerHost(QStringLiteral("MySQLPassword"), QStringLiteral("secreto")));
        } else if (como == QStringLiteral("usuarioPlano")) {
            QVERIFY(caso.ponerHost(QStringLiteral("MySQLUsuario"), QStringLiteral("admin")));
        } else {
            QVERIFY(QFile::remove(caso.claveArchivo()));
            QVERIFY(Cifrado::crearClave(caso.instalacion()));  // a new, different key
        }
        const QByteArray antes = soporte::contenido(caso.talmiraIni());

        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        p.basesDD.cUsuario = QStringLiteral("previo");
        p.basesDD.cPassword = QStringLiteral("previa");
        GuionDialogos guion;
        QVERIFY(!preparar(p));
        QCOMPARE(guion->mostradas.size(), 1);
        const CajaMostrada& caja = guion->mostradas[0];
        QVERIFY(!caja.skin);
        QCOMPARE(caja.titulo, QStringLiteral("Atención"));
        QCOMPARE(caja.estilo, estilos::Alto);
        QVERIFY2(caja.texto.contains(u'"' + clave + u'"'), qPrintable(caja.texto));
        QVERIFY2(caja.texto.contains(caso.talmiraIni()), qPrintable(caja.texto));
        QVERIFY(!caja.texto.contains(u'\n'));
        // Never the stored text as a fallback, and nothing rewritten in the host's settings.
        QVERIFY(p.basesDD.cPassword != QStringLiteral("secreto"));
        QVERIFY(p.basesDD.cUsuario != QStringLiteral("admin"));
        QVERIFY(p.basesDD.cUsuario != QStringLiteral("varelmo"));
        QVERIFY(!caja.texto.contains(QStringLiteral("admin")));
        QVERIFY(!caja.texto.contains(QStringLiteral("secreto")));
        QCOMPARE(soporte::contenido(caso.talmiraIni()), antes);
        QCOMPARE(caso.ajuste(kBase), QString());
        QVERIFY(guion->abiertos.isEmpty());
    }

    void sinArchivoDeClave_data() {
        QTest::addColumn<bool>("credencialesGuardadas");
        QTest::addColumn<QString>("clave");              // host key named by the box
        QTest::addColumn<QByteArray>("claveSustituta");  // "" removes the key file
        QTest::newRow("credenciales guardadas")
            << true << QStringLiteral("MySQLPassword") << QByteArray();
        QTest::newRow("clave corta, guardadas")
            << true << QStringLiteral("MySQLPassword") << QByteArray(5, 'k');
    }
    void sinArchivoDeClave() {
        QFETCH(bool, credencialesGuardadas);
        QFETCH(QString, clave);
        QFETCH(QByteArray, claveSustituta);

        Caso caso;
        anfitrion::AjustesInstalacion ajustes;
        ajustes.guardarUsuario = credencialesGuardadas;
        ajustes.usuario = QStringLiteral("varelmo");
        ajustes.contrasena = QStringLiteral("secreto");
        QVERIFY(crearCaso(caso, ajustes));
        QVERIFY(QFile::remove(caso.claveArchivo()));
        if (!claveSustituta.isEmpty())
            QVERIFY(
                soporte::guardar(caso.claveArchivo(), claveSustituta) &&
                QFile::setPermissions(caso.claveArchivo(), QFile::ReadOwner | QFile::WriteOwner));
        const QString usuarioAntes = caso.host(QStringLiteral("MySQLUsuario"));
        const QString contrasenaAntes = caso.host(QStringLiteral("MySQLPassword"));

        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        GuionDialogos guion;
        QVERIFY(!preparar(p));
        QCOMPARE(guion->mostradas.size(), 1);
        const CajaMostrada& caja = guion->mostradas[0];
        QCOMPARE(caja.titulo, QStringLiteral("Atención"));
        QCOMPARE(caja.estilo, estilos::Alto);
        QVERIFY2(caja.texto.contains(u'"' + clave + u'"'), qPrintable(caja.texto));
        QVERIFY2(caja.texto.contains(Cifrado::nombreArchivoClave()), qPrintable(caja.texto));
        // No plain-text fallback: the credentials are stored as they were (blank stays blank).
        QCOMPARE(caso.host(QStringLiteral("MySQLUsuario")), usuarioAntes);
        QCOMPARE(caso.host(QStringLiteral("MySQLPassword")), contrasenaAntes);
        QVERIFY(!soporte::contenido(caso.talmiraIni()).contains("root"));
        if (claveSustituta.isEmpty())
            QVERIFY(!QFileInfo::exists(caso.claveArchivo()));
        else
            QCOMPARE(soporte::contenido(caso.claveArchivo()), claveSustituta);  // not overwritten
    }

    // The host's settings file cannot be written (a link to a file of a read-only file system,
    // /proc, which stops the write even for root) and holds none of the host's keys: start-up
    // goes on with the defaults for this run, and nothing is written.
    void ajustesQueNoSeGuardan() {
        if (!QFileInfo(QStringLiteral("/proc/version")).isFile()) QSKIP("no /proc/version here");
        Caso caso;
        QVERIFY(crearCaso(caso));
        QVERIFY(QFile::remove(caso.talmiraIni()));
        QVERIFY(QFile::link(QStringLiteral("/proc/version"), caso.talmiraIni()));
        QVERIFY(!ArchivoIni::escribir(caso.talmiraIni(), Instalacion::seccionAjustes(),
                                      QStringLiteral("X"), QStringLiteral("1")));

        const std::unique_ptr<Contexto> contexto = prepararPrograma(caso);
        Contexto& p = *contexto;
        GuionDialogos guion;
        QVERIFY(preparar(p));
        QVERIFY2(guion->mostradas.isEmpty(), qPrintable(describir(guion->mostradas)));
        QCOMPARE(p.basesDD.cUsuario, QStringLiteral("root"));
        QCOMPARE(p.basesDD.cPuerto, 3306);
        QVERIFY(QFileInfo(caso.talmiraIni()).isSymLink());
    }
    // ---- Where the program keeps its files ---------------------------------------------------

    // Beside the executable when its folder can be written; in the user's places when it cannot,
    // or when the executable lies in a package's tree (its description file in ../share/varelmo
    // and not beside it), which a user allowed to write /usr/bin must not fill.
    void lugaresDelPrograma_data() {
        QTest::addColumn<bool>("escribible");
        QTest::addColumn<bool>("txtJunto");    // the description file beside the executable
        QTest::addColumn<bool>("txtPaquete");  // the description file in <tree>/share/varelmo
        QTest::addColumn<bool>("txtSistema");  // the package installed on the system besides
        QTest::addColumn<bool>("instalado");
        QTest::addColumn<QString>("descripcion");  // "junto", "paquete", "sistema"
        const QString junto = QStringLiteral("junto"), paquete = QStringLiteral("paquete");
        QTest::newRow("carpeta propia") << true << true << false << false << false << junto;
        QTest::newRow("carpeta propia sin descripción")
            << true << false << false << false << false << junto;
        QTest::newRow("carpeta propia con un paquete al lado")
            << true << true << true << false << false << junto;
        QTest::newRow("copia suelta con el paquete instalado en el sistema")
            << true << false << false << true << false << junto;
        QTest::newRow("carpeta de solo lectura") << false << true << false << true << true << junto;
        QTest::newRow("paquete en solo lectura")
            << false << false << true << true << true << paquete;
        QTest::newRow("paquete que se puede escribir")
            << true << false << true << false << true << paquete;
        QTest::newRow("solo lectura, descripción del sistema")
            << false << false << false << true << true << QStringLiteral("sistema");
    }
    void lugaresDelPrograma() {
        QFETCH(bool, escribible);
        QFETCH(bool, txtJunto);
        QFETCH(bool, txtPaquete);
        QFETCH(bool, txtSistema);
        QFETCH(bool, instalado);
        QFETCH(QString, descripcion);
        QTemporaryDir dir;
        const QDir raiz(dir.path());
        const QString bin = raiz.filePath(QStringLiteral("usr/bin"));
        const QString datos = raiz.filePath(QStringLiteral("usr/share/varelmo"));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(datos));
        QVERIFY(soporte::guardar(bin + QStringLiteral("/otro"), "programa"));
        if (txtJunto) QVERIFY(soporte::guardar(bin + QStringLiteral("/otro.txt"), "junto"));
        if (txtPaquete) QVERIFY(soporte::guardar(datos + QStringLiteral("/otro.txt"), "paquete"));
        const QString sistema = raiz.filePath(QStringLiteral("sistema/share"));
        QVERIFY(QDir().mkpath(sistema + QStringLiteral("/varelmo")));
        if (txtSistema)
            QVERIFY(soporte::guardar(sistema + QStringLiteral("/varelmo/otro.txt"), "sistema"));
        const CarpetasUsuario usuario{
            raiz.filePath(QStringLiteral("casa/.config")),
            raiz.filePath(QStringLiteral("casa/Documentos")),
            {raiz.filePath(QStringLiteral("casa/.local/share")), sistema}};

        const LugaresPrograma l = ElegirLugares(bin + QStringLiteral("/otro"), escribible, usuario);
        QCOMPARE(l.instalado, instalado);
        QCOMPARE(l.ajustes, instalado ? usuario.configuracion + QStringLiteral("/varelmo/otro.ini")
                                      : bin + QStringLiteral("/otro.ini"));
        QCOMPARE(l.libros, instalado ? usuario.documentos : bin);
        const QString esperada = descripcion == QStringLiteral("junto") ? bin
                                 : descripcion == QStringLiteral("paquete")
                                     ? datos
                                     : sistema + QStringLiteral("/varelmo");
        QCOMPARE(l.descripcion, esperada + QStringLiteral("/otro.txt"));
    }
};

QTEST_GUILESS_MAIN(TstParaPlugins)
#include "tst_paraplugins.moc"
