// Faults of the settings file and of the host settings, injected for real and run through the
// built program: a settings file that is damaged, huge, in the old code page or a folder, host
// settings that do not decipher, and who may read the files that hold credentials.
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "AnfitrionPrueba.h"
#include "ConsultaPrueba.h"
#include "ServidorPrueba.h"
#include "Soporte.h"
#include "anfitrion/ArchivoIni.h"
#include "anfitrion/Cifrado.h"
#include "anfitrion/Instalacion.h"
#include "demo/AnfitrionDemo.h"

namespace {

struct Resultado {
    int codigo = -1;  // -1: did not end by itself, or crashed
    QString salida;   // both outputs, unless they were asked apart
    QString errores;  // the standard error, when asked apart
    QString describir() const {
        return QStringLiteral("código %1\n%2\n%3").arg(codigo).arg(salida, errores);
    }
};

Resultado ejecutar(const QString& programa, const QStringList& argumentos,
                   const QByteArray& entrada = QByteArray(), bool aparte = false) {
    QProcess proceso;
    proceso.setProcessChannelMode(aparte ? QProcess::SeparateChannels : QProcess::MergedChannels);
    proceso.start(programa, argumentos);
    Resultado r;
    if (!proceso.waitForStarted(10000)) return r;
    proceso.write(entrada);
    proceso.closeWriteChannel();
    const bool terminado = proceso.waitForFinished(180000);
    if (!terminado) proceso.kill(), proceso.waitForFinished(5000);
    if (terminado && proceso.exitStatus() == QProcess::NormalExit) r.codigo = proceso.exitCode();
    r.salida = QString::fromUtf8(proceso.readAllStandardOutput());
    if (aparte) r.errores = QString::fromUtf8(proceso.readAllStandardError());
    return r;
}

// Random bytes without line ends or "[": one long line that no reader takes for a section.
QByteArray basura(qsizetype n, quint32 semilla) {
    QRandomGenerator azar(semilla);
    QByteArray b(n, Qt::Uninitialized);
    for (char& c : b) {
        c = static_cast<char>(azar.bounded(256));
        if (c == '\n' || c == '\r' || c == '[') c = '\0';
    }
    return b;
}

int permisos(const QString& ruta) {
    struct stat info {};
    return ::stat(QFile::encodeName(ruta).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// A group this process may give its files other than its own: any group for root, else one of
// its supplementary groups; nullopt when it has none.
std::optional<QByteArray> grupoAjeno() {
    if (::geteuid() == 0)
        if (const group* g = ::getgrgid(65534)) return QByteArray(g->gr_name);
    gid_t grupos[64];
    const int n = ::getgroups(64, grupos);
    for (int i = 0; i < n; ++i)
        if (grupos[i] != ::getegid())
            if (const group* g = ::getgrgid(grupos[i])) return QByteArray(g->gr_name);
    return std::nullopt;
}

const QString kPassword = QStringLiteral("Secreto-h8-7Qz");

// Sets the process's umask for one scope, so that a file that ignores the request shows.
class Umask {
public:
    explicit Umask(mode_t m) : anterior_(::umask(m)) {}
    ~Umask() { ::umask(anterior_); }

private:
    mode_t anterior_;
};

}  // namespace

class TstFallosAjustes : public QObject {
    Q_OBJECT

    // A host with one company and a copy of the program beside its settings file.
    struct Escena {
        AnfitrionPrueba a;
        QString programa;
        bool preparar() {
            if (!a.valido() || !a.crearGeneral(2)) return false;
            EmpresaPrueba e;
            e.productos = {{QStringLiteral("A1"), QStringLiteral("Tornillo"), 1.5, {10.0, 20.0}}};
            if (a.crearEmpresa(e).isEmpty()) return false;
            programa = a.ejecutable();
            return QFile::copy(soporte::carpetaBinarios() + QStringLiteral("/varelmo"), programa);
        }
        Resultado reporte() const {
            return ejecutar(programa, {QStringLiteral("--reporte"), QStringLiteral("--archivo"),
                                       QStringLiteral("r.xlsx")});
        }
        QString libro() const {
            return QDir(a.carpetaPrograma()).filePath(QStringLiteral("r.xlsx"));
        }
    };

private slots:
    // The program starts and writes its report from a settings file that is damaged around the
    // keys it needs; the defaults it adds go after the last line of its section, and every other
    // byte of the file stays as it was.
    void iniDanado_data() {
        QTest::addColumn<QByteArray>("antes");    // up to the section's last line
        QTest::addColumn<QByteArray>("despues");  // the rest of the file
        QTest::addColumn<QByteArray>("fin");      // the file's line end
        QTest::addColumn<QByteArray>("empresa");  // how "Empresa 1=Sí" is spelt in the file
        const QByteArray utf8 = QStringLiteral("Empresa 1=Sí").toUtf8();
        QTest::newRow("basura binaria alrededor")
            << basura(4096, 1) + "\n[Configuraci\xf3n]\n"
            << "\n[Otra]\n" + basura(65536, 2) << QByteArray("\n") << QByteArray("Empresa 1=S\xed");
        QTest::newRow("900 KiB de líneas")
            << QByteArray("[Configuraci\xc3\xb3n]\n")
            << "[Otra]\n" + QByteArray("Clave=valor que se repite hasta casi el mega\n")
                                .repeated(900 * 1024 / 45)
            << QByteArray("\n") << utf8;
        QTest::newRow("windows-1252 con claves en español")
            << QByteArray("; Configuraci\xf3n del a\xf1o\r\n[CONFIGURACI\xd3N]\r\n")
            << QByteArray(
                   "\r\n[Se\xf1"
                   "ales]\r\nTama\xf1o=peque\xf1o\r\n")
            << QByteArray("\r\n") << QByteArray("EMPRESA 1=S\xed");
        QTest::newRow("secciones y claves duplicadas")
            << QByteArray("[configuraci\xc3\xb3n]\nPrecio=2\n")
            << QByteArray(
                   "[Configuraci\xc3\xb3n]\nRuta de Talmira Premium=/no/existe\n"
                   "Empresa 1=No\nFormato para precios=0\n")
            << QByteArray("\n") << utf8 + "\nempresa 1=No";
    }
    void iniDanado() {
        QFETCH(QByteArray, antes);
        QFETCH(QByteArray, despues);
        QFETCH(QByteArray, fin);
        QFETCH(QByteArray, empresa);
        Escena e;
        QVERIFY2(e.preparar(), qPrintable(e.a.error()));
        // The keys of the section; "Aplicativo de Excel" and "Formato para precios" are missing.
        const QByteArray seccion = "Ruta de Talmira Premium=" + e.a.carpetaInstalacion().toUtf8() +
                                   fin + "Base de datos a usar=" + e.a.general().toUtf8() + fin +
                                   "Precio=1" + fin + "Archivo de Excel=x.xls" + fin + empresa +
                                   fin + "; nota que se conserva" + fin;
        QVERIFY(soporte::guardar(e.a.archivoIni(), antes + seccion + despues));

        const Resultado r = e.reporte();
        QVERIFY2(r.codigo == 0, qPrintable(r.describir().left(2000)));
        QVERIFY(QFileInfo(e.libro()).size() > 0);
        QCOMPARE(soporte::contenido(e.a.archivoIni()),
                 antes + seccion + "Aplicativo de Excel=Excel.Application" + fin +
                     "Formato para precios=##,###,##0.00" + fin + despues);
    }

    // A settings file that cannot be read ends start-up with a message that says so and why,
    // not with the wrong-folder message, and nothing is written over it.
    void iniIlegible_data() {
        QTest::addColumn<QString>("como");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("carpeta") << QStringLiteral("carpeta") << QStringLiteral("es una carpeta");
        QTest::newRow("tubería") << QStringLiteral("fifo")
                                 << QStringLiteral("no es un archivo común");
        // The host's own settings file, read as empty, would send the program after a server on
        // the default port under the default user.
        QTest::newRow("el del anfitrión, de más de 16 MiB")
            << QStringLiteral("anfitrion") << QStringLiteral("pasa de 16 MiB");
    }
    void iniIlegible() {
        QFETCH(QString, como);
        QFETCH(QString, motivo);
        Escena e;
        QVERIFY2(e.preparar(), qPrintable(e.a.error()));
        QString archivo = e.a.archivoIni();
        if (como == QStringLiteral("carpeta")) {
            QVERIFY(QDir().mkdir(archivo));
        } else if (como == QStringLiteral("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(archivo).constData(), 0600), 0);
        } else {
            QVERIFY(e.a.escribirIni());
            archivo = QDir(e.a.carpetaInstalacion()).filePath(Instalacion::nombreArchivoAjustes());
            QFile f(archivo);
            QVERIFY(f.open(QIODevice::Append) && f.write(QByteArray(17 << 20, ';')) > 0);
        }
        const qint64 tamano = QFileInfo(archivo).size();
        const Resultado r = e.reporte();
        QVERIFY2(r.codigo == 1, qPrintable(r.describir()));
        QVERIFY2(
            r.salida.contains(QStringLiteral("No se puede leer el archivo de configuración")) &&
                r.salida.contains(archivo) && r.salida.contains(motivo),
            qPrintable(r.salida));
        QVERIFY(!r.salida.contains(QStringLiteral("Editar INI")));
        QCOMPARE(QFileInfo(archivo).isFile(), como == QStringLiteral("anfitrion"));
        QCOMPARE(QFileInfo(archivo).size(), tamano);
    }

    // Host settings that cannot be used stop start-up with a clear message, never a crash, never
    // the stored text taken as plain; and no password, plain or stored, shows in the output.
    void anfitrionDanado_data() {
        QTest::addColumn<QString>("como");
        QTest::newRow("sin archivo de clave") << QStringLiteral("sinClave");
        QTest::newRow("cifrado con otra clave") << QStringLiteral("otraClave");
        QTest::newRow("cifrado alterado") << QStringLiteral("alterado");
        QTest::newRow("contraseña en texto plano") << QStringLiteral("plano");
        QTest::newRow("contraseña equivocada") << QStringLiteral("equivocada");
        // The earlier form binds a value to nothing: the user and the password swapped would
        // otherwise decipher, and the password be sent, and shown, as the user's name.
        QTest::newRow("forma anterior, usuario y contraseña cruzados")
            << QStringLiteral("anteriorCruzada");
    }
    void anfitrionDanado() {
        QFETCH(QString, como);
        Escena e;
        QVERIFY2(e.preparar(), qPrintable(e.a.error()));
        QVERIFY(e.a.escribirIni());
        const QString carpeta = e.a.carpetaInstalacion();
        QString guardado = e.a.cifrarAjuste(QStringLiteral("MySQLPassword"), kPassword);
        QString usuario = e.a.cifrarAjuste(QStringLiteral("MySQLUsuario"), QStringLiteral("root"));
        const QString clave = QDir(carpeta).filePath(Cifrado::nombreArchivoClave());
        if (como == QStringLiteral("sinClave")) {
            QVERIFY(QFile::remove(clave));
        } else if (como == QStringLiteral("otraClave")) {
            QVERIFY(QFile::remove(clave));
            QVERIFY(Cifrado::crearClave(carpeta));
        } else if (como == QStringLiteral("alterado")) {
            guardado[10] = guardado[10] == u'A' ? u'B' : u'A';
        } else if (como == QStringLiteral("plano")) {
            guardado = kPassword;
        } else if (como == QStringLiteral("anteriorCruzada")) {
            usuario = soporte::selladoAnterior(carpeta, 0, kPassword);
            guardado = soporte::selladoAnterior(carpeta, 0, QStringLiteral("root"));
        }
        const QString ajustes = QDir(carpeta).filePath(Instalacion::nombreArchivoAjustes());
        for (const auto& [k, v] : {std::pair{QStringLiteral("MySQLUsuario"), usuario},
                                   std::pair{QStringLiteral("MySQLPassword"), guardado}})
            QVERIFY(ArchivoIni::escribir(ajustes, Instalacion::seccionAjustes(), k, v));
        const QByteArray antes = soporte::contenido(ajustes);

        const Resultado r = e.reporte();
        QVERIFY2(r.codigo == 1, qPrintable(r.describir()));
        QVERIFY(!r.salida.contains(kPassword));
        QVERIFY(!r.salida.contains(guardado));
        QVERIFY(!r.salida.contains(usuario));
        QVERIFY(!QFileInfo::exists(e.libro()));
        if (como == QStringLiteral("equivocada")) {
            QVERIFY2(r.salida.contains(QStringLiteral("No se pudo abrir la base de datos")),
                     qPrintable(r.salida));
        } else {
            QVERIFY2(r.salida.contains(QStringLiteral("Atención")) &&
                         r.salida.contains(QStringLiteral("\"MySQLPassword\"")),
                     qPrintable(r.salida));
            QVERIFY2(
                como != QStringLiteral("anteriorCruzada") ||
                    r.salida.contains(QStringLiteral("talmira-host resellar \"%1\"").arg(carpeta)),
                qPrintable(r.salida));
            QCOMPARE(soporte::contenido(ajustes), antes);
        }
    }

    // The key file and the host's settings file, which holds the enciphered credentials, are
    // created for their owner only, whatever the umask; the settings file of the program is not.
    void archivosDeCredenciales() {
        const Umask mascara(022);
        QTemporaryDir dir;
        const QString carpeta = dir.filePath(QStringLiteral("talmira"));
        const QString herramienta = soporte::carpetaBinarios() + QStringLiteral("/talmira-host");
        const Resultado r =
            ejecutar(herramienta,
                     {QStringLiteral("instalar"), carpeta, QStringLiteral("--usuario"),
                      QStringLiteral("varelmo"), QStringLiteral("--sin-probar")},
                     kPassword.toUtf8() + '\n');
        QVERIFY2(r.codigo == 0, qPrintable(r.describir()));
        QVERIFY(!r.salida.contains(kPassword));
        const QString ajustes = QDir(carpeta).filePath(Instalacion::nombreArchivoAjustes());
        QCOMPARE(permisos(QDir(carpeta).filePath(Cifrado::nombreArchivoClave())), 0600);
        QCOMPARE(permisos(ajustes), 0600);
        QVERIFY(!soporte::contenido(ajustes).contains(kPassword.toUtf8()));

        // A host settings file written anew by the program itself.
        QVERIFY(QFile::remove(ajustes));
        Instalacion instalacion;
        instalacion.ponerCarpeta(carpeta);
        QVERIFY(instalacion.GuardaDatosTMW(QStringLiteral("MySQLPuerto"), QStringLiteral("3306")));
        QCOMPARE(permisos(ajustes), 0600);

        // An existing file keeps its permissions; an ordinary settings file follows the umask.
        QVERIFY(::chmod(QFile::encodeName(ajustes).constData(), 0640) == 0);
        QVERIFY(instalacion.GuardaDatosTMW(QStringLiteral("MySQLPuerto"), QStringLiteral("3307")));
        QCOMPARE(permisos(ajustes), 0640);
        const QString ini = dir.filePath(QStringLiteral("varelmo.ini"));
        QVERIFY(ArchivoIni::escribir(ini, QStringLiteral("S"), QStringLiteral("k"),
                                     QStringLiteral("v")));
        QCOMPARE(permisos(ini), 0644);

        // A creation that fails leaves no empty file behind.
        const QString dentro = dir.filePath(QStringLiteral("no/existe.ini"));
        QVERIFY(!ArchivoIni::escribir(dentro, QStringLiteral("S"), QStringLiteral("k"),
                                      QStringLiteral("v"), nullptr, ArchivoIni::Acceso::SoloDueno));
        QVERIFY(!QFileInfo::exists(dentro));
    }

    // An installation shared with a group: the key and talmira.ini are readable by the group and
    // changed by the owner alone, the key is accepted so, and a later write keeps both.
    void instalacionCompartida() {
        const std::optional<QByteArray> grupo = grupoAjeno();
        if (!grupo) QSKIP("este usuario no tiene otro grupo que dar a la instalación");
        const Umask mascara(022);
        QTemporaryDir dir;
        const QString carpeta = dir.filePath(QStringLiteral("talmira"));
        const QString herramienta = soporte::carpetaBinarios() + QStringLiteral("/talmira-host");
        Resultado r =
            ejecutar(herramienta, {QStringLiteral("instalar"), carpeta, QStringLiteral("--grupo"),
                                   QString::fromUtf8(*grupo), QStringLiteral("--sin-probar")});
        QVERIFY2(r.codigo == 0, qPrintable(r.describir()));
        r = ejecutar(herramienta, {QStringLiteral("guardar"), carpeta,
                                   QStringLiteral("MySQLPuerto"), QStringLiteral("3307")});
        QVERIFY2(r.codigo == 0, qPrintable(r.describir()));
        const gid_t gid = ::getgrnam(grupo->constData())->gr_gid;
        for (const QString& nombre :
             {Cifrado::nombreArchivoClave(), Instalacion::nombreArchivoAjustes()}) {
            const QString ruta = QDir(carpeta).filePath(nombre);
            QCOMPARE(permisos(ruta), 0640);
            struct stat info {};
            QCOMPARE(::stat(QFile::encodeName(ruta).constData(), &info), 0);
            QCOMPARE(info.st_gid, gid);
        }
        QString error;
        QVERIFY2(Cifrado::abrir(carpeta, &error), qPrintable(error));
    }

    // talmira-host resellar seals the values of the earlier form again, each bound to its place
    // (the server to the row's port): the report that refused them then runs, and a second run
    // finds nothing to seal.
    void resellar() {
        Escena e;
        QVERIFY2(e.preparar() &&
                     e.a.escribirIni({QStringLiteral("Precio=1"), QStringLiteral("Empresa 1=Sí")}),
                 qPrintable(e.a.error()));
        const QString carpeta = e.a.carpetaInstalacion();
        const QString ajustes = QDir(carpeta).filePath(Instalacion::nombreArchivoAjustes());
        const QStringList planos{ServidorPrueba::host(), e.a.general() + QStringLiteral("_e1"),
                                 QStringLiteral("root"), QString()};
        const QStringList columnas{QStringLiteral("Servidor"), QStringLiteral("BaseDeDatos2"),
                                   QStringLiteral("Usuario"), QStringLiteral("Conexion")};
        QString asignaciones = QStringLiteral("Puerto=%1").arg(ServidorPrueba::puerto());
        for (int i = 0; i < 4; ++i)
            asignaciones +=
                QStringLiteral(", %1='%2'")
                    .arg(columnas[i], soporte::selladoAnterior(carpeta, i + 1, planos[i]));
        QVERIFY2(e.a.sql(QStringLiteral("UPDATE `%1`.empresas SET %2 WHERE Id=1")
                             .arg(e.a.general(), asignaciones)),
                 qPrintable(e.a.error()));
        for (const auto& [k, v] :
             {std::pair{QStringLiteral("MySQLUsuario"), QStringLiteral("root")},
              std::pair{QStringLiteral("MySQLPassword"), QString()}})
            QVERIFY(ArchivoIni::escribir(ajustes, Instalacion::seccionAjustes(), k,
                                         soporte::selladoAnterior(carpeta, 0, v)));
        Resultado r = e.reporte();
        QVERIFY2(r.codigo == 1 && r.salida.contains(QStringLiteral("talmira-host resellar")),
                 qPrintable(r.describir()));

        const QString herramienta = soporte::carpetaBinarios() + QStringLiteral("/talmira-host");
        r = ejecutar(herramienta, {QStringLiteral("resellar"), carpeta});
        QVERIFY2(r.codigo == 0 && r.salida.contains(QStringLiteral("2 valores sellados")) &&
                     r.salida.contains(QStringLiteral("4 campos de 1 empresa sellados")) &&
                     !r.salida.contains(planos[1]),
                 qPrintable(r.describir()));
        QList<QVariantList> fila;
        QVERIFY(consulta::filas(
            e.a.general(),
            QStringLiteral("SELECT %1 FROM empresas WHERE Id=1").arg(columnas.join(u',')), &fila));
        const std::optional<Cifrado> cifrado = Cifrado::abrir(carpeta);
        QVERIFY(cifrado && fila.size() == 1);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(cifrado->descifrar(fila[0][i].toString(), i + 1,
                                        Cifrado::lugarEmpresa(1, i + 1, ServidorPrueba::puerto())),
                     std::optional<QString>(planos[i]));
        r = e.reporte();
        QVERIFY2(r.codigo == 0 && QFileInfo::exists(e.libro()), qPrintable(r.describir()));

        const QByteArray antes = soporte::contenido(ajustes);
        r = ejecutar(herramienta, {QStringLiteral("resellar"), carpeta});
        QVERIFY2(r.codigo == 0 && r.salida.contains(QStringLiteral("0 valores sellados")) &&
                     r.salida.contains(QStringLiteral("0 campos de 0 empresas sellados")),
                 qPrintable(r.describir()));
        QCOMPARE(soporte::contenido(ajustes), antes);
    }

    // talmira-host instalar first tries the connection it is to store: one the server does not
    // take is refused, saying why, and nothing is written, unless --sin-probar. The help asked
    // for goes to the standard output.
    void instalarPrueba_data() {
        QTest::addColumn<QStringList>("argumentos");  // "C" stands for the installation folder
        QTest::addColumn<int>("codigo");
        QTest::addColumn<QString>("dice");  // on the standard error, or on the output when 0
        const QString host = ServidorPrueba::host(),
                      puerto = QString::number(ServidorPrueba::puerto());
        const QStringList sinServidor{QStringLiteral("instalar"),   QStringLiteral("C"),
                                      QStringLiteral("--servidor"), QStringLiteral("127.0.0.1"),
                                      QStringLiteral("--puerto"),   QStringLiteral("1")};
        const QStringList enMarcha{QStringLiteral("instalar"),   QStringLiteral("C"),
                                   QStringLiteral("--servidor"), host,
                                   QStringLiteral("--puerto"),   puerto};
        QTest::newRow("servidor que no responde")
            << sinServidor << 1
            << QStringLiteral(
                   "talmira-host: no se pudo llegar al servidor 127.0.0.1:1; revise que "
                   "esté en marcha");
        QTest::newRow("usuario que el servidor no acepta")
            << enMarcha + QStringList{QStringLiteral("--usuario"), QStringLiteral("nadie")} << 1
            << QStringLiteral("no aceptó el usuario «nadie» o su contraseña");
        QTest::newRow("--sin-probar")
            << sinServidor + QStringList{QStringLiteral("--sin-probar")} << 0 << QString();
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0
                                << QStringLiteral("--sin-probar");
    }
    void instalarPrueba() {
        QFETCH(QStringList, argumentos);
        QFETCH(int, codigo);
        QFETCH(QString, dice);
        QTemporaryDir dir;
        const QString carpeta = dir.filePath(QStringLiteral("talmira"));
        argumentos.replaceInStrings(QRegularExpression(QStringLiteral("^C$")), carpeta);
        const Resultado r = ejecutar(soporte::carpetaBinarios() + QStringLiteral("/talmira-host"),
                                     argumentos, "clave\n", true);
        QVERIFY2(r.codigo == codigo, qPrintable(r.describir()));
        QVERIFY2((codigo == 0 ? r.salida : r.errores).contains(dice), qPrintable(r.describir()));
        if (codigo != 0) QVERIFY2(r.salida.isEmpty(), qPrintable(r.describir()));
        const bool escrita =
            QFileInfo::exists(QDir(carpeta).filePath(Instalacion::nombreArchivoAjustes()));
        QCOMPARE(escrita, codigo == 0 && argumentos.value(0) == QStringLiteral("instalar"));
    }

    // The demo never drops what a server already holds unless it is told to, and says so.
    void demoNoBorra() {
        AnfitrionPrueba a;
        QVERIFY2(a.valido() && a.crearGeneral(), qPrintable(a.error()));
        QVERIFY(a.sql(QStringLiteral("CREATE TABLE `%1`.`marca` (`x` int)").arg(a.general())));
        QTemporaryDir dir;
        const QString carpeta = dir.filePath(QStringLiteral("talmira"));
        const QString herramienta = soporte::carpetaBinarios() + QStringLiteral("/talmira-host");
        Resultado r = ejecutar(herramienta,
                               {QStringLiteral("instalar"), carpeta, QStringLiteral("--servidor"),
                                ServidorPrueba::host(), QStringLiteral("--puerto"),
                                QString::number(ServidorPrueba::puerto()),
                                QStringLiteral("--base-general"), a.general()});
        QVERIFY2(r.codigo == 0, qPrintable(r.describir()));
        r = ejecutar(herramienta, {QStringLiteral("demo"), carpeta, QStringLiteral("--empresas"),
                                   QStringLiteral("1")});
        QVERIFY2(r.codigo == 1, qPrintable(r.describir()));
        QVERIFY2(
            r.salida.contains(a.general()) && r.salida.contains(QStringLiteral("--reemplazar")),
            qPrintable(r.describir()));
        QVERIFY(a.sql(QStringLiteral("SELECT 1 FROM `%1`.`marca`").arg(a.general())));
        QVERIFY(ejecutar(herramienta, {}).salida.contains(QStringLiteral("--reemplazar")));
    }

    // Reading and writing a settings file takes memory in proportion to the file, not to the
    // largest file accepted: with little address space to spare both still work.
    void pocaMemoria() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer reserves its shadow memory as address space");
#else
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("a.ini"));
        QVERIFY(soporte::guardar(ini, "[S]\nk=1\n"));
        QFile estado(QStringLiteral("/proc/self/statm"));
        QVERIFY(estado.open(QIODevice::ReadOnly));
        const qint64 paginas = estado.readAll().split(' ').value(0).toLongLong();
        QVERIFY(paginas > 0);
        rlimit anterior{};
        QCOMPARE(::getrlimit(RLIMIT_AS, &anterior), 0);
        rlimit limite = anterior;
        limite.rlim_cur = static_cast<rlim_t>(paginas * ::sysconf(_SC_PAGESIZE) + (96 << 20));
        QCOMPARE(::setrlimit(RLIMIT_AS, &limite), 0);
        const bool escrito = ArchivoIni::escribir(ini, QStringLiteral("S"), QStringLiteral("k"),
                                                  QStringLiteral("2"));
        const QString leido = ArchivoIni::leer(ini, QStringLiteral("S"), QStringLiteral("k"));
        ::setrlimit(RLIMIT_AS, &anterior);
        QVERIFY(escrito);
        QCOMPARE(leido, QStringLiteral("2"));
#endif
    }
};

QTEST_GUILESS_MAIN(TstFallosAjustes)
#include "tst_fallos_ajustes.moc"
