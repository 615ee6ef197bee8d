// The settings file: lookups, lines kept on writes, encodings, writers in several processes, bad
// input. What needs a POSIX system to arrange is in tst_archivoini_posix.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <limits>

#include "EscritoresIni.h"
#include "Soporte.h"
#include "anfitrion/ArchivoIni.h"
#include "plataforma/Archivo.h"

namespace {

// Byte strings that may hold NUL bytes.
template <qsizetype N>
QByteArray B(const char (&texto)[N]) {
    return QByteArray(texto, N - 1);
}

// `texto` as a settings file written new holds it: its lines end as the system's text files do.
QByteArray comoNuevo(QByteArray texto) {
    return LineasConCrLf() ? texto.replace("\n", "\r\n") : texto;
}

const QByteArray kArchivo1252 =
    B("[Configuraci\xf3n]\r\nRuta de Talmira Premium=C:\\talmirapremium\r\nEmpresa 1=S\xed\r\n");

}  // namespace

class TstArchivoIni : public QObject {
    Q_OBJECT

private slots:
    void leer_data();
    void leer();
    void leerSinArchivo();
    void escribir_data();
    void escribir();
    void escribirCreaArchivoUtf8();
    void variasComoUnaAUna_data();
    void variasComoUnaAUna();
    void windows1252_data();
    void windows1252();
    void caracterFuera1252PasaAUtf8();
    void basura_data();
    void basura();
    void archivoGrande();
    void carpetaEnLugarDelArchivo();
    void entradaRechazada_data();
    void entradaRechazada();
    void variosProcesos_data();
    void variosProcesos();
    void obVal_data();
    void obVal();
};

void TstArchivoIni::leer_data() {
    QTest::addColumn<QByteArray>("archivo");
    QTest::addColumn<QString>("seccion");
    QTest::addColumn<QString>("clave");
    QTest::addColumn<QString>("esperado");

    const QByteArray basico = "[Configuraci\xc3\xb3n]\nPrecio=3\n";
    QTest::newRow("clave exacta") << basico << "Configuración"
                                  << "Precio"
                                  << "3";
    QTest::newRow("sección en mayúsculas con acento") << basico << "CONFIGURACIÓN"
                                                      << "Precio"
                                                      << "3";
    QTest::newRow("clave en otra grafía") << basico << "configuración"
                                          << "pReCiO"
                                          << "3";
    QTest::newRow("blancos de la pregunta") << basico << " Configuración\t"
                                            << "  Precio "
                                            << "3";
    QTest::newRow("blancos alrededor del nombre de sección") << B("[ \tS  ]\nk=1\n") << "S"
                                                             << "k"
                                                             << "1";
    QTest::newRow("blancos alrededor de la clave") << B("[S]\n \t k \t=1\n") << "S"
                                                   << "k"
                                                   << "1";
    QTest::newRow("texto tras el corchete") << B("[S] ; nota\nk=1\n") << "S"
                                            << "k"
                                            << "1";
    QTest::newRow("valor con blancos") << B("[S]\nRuta=  C:\\a b \t\n") << "S"
                                       << "Ruta"
                                       << "  C:\\a b \t";
    QTest::newRow("valor solo de blancos") << B("[S]\nk=   \n") << "S"
                                           << "k"
                                           << "   ";
    QTest::newRow("valor vacío") << B("[S]\nk=\n") << "S"
                                 << "k"
                                 << "";
    QTest::newRow("el primer igual separa") << B("[S]\nk=a=b==c\n") << "S"
                                            << "k"
                                            << "a=b==c";
    QTest::newRow("CRLF fuera del valor") << B("[S]\r\nk=v \r\n") << "S"
                                          << "k"
                                          << "v ";
    QTest::newRow("última línea sin fin de línea") << B("[S]\nk=v") << "S"
                                                   << "k"
                                                   << "v";
    QTest::newRow("archivo que termina en un CR suelto") << B("[S]\r\nk=v\r") << "S"
                                                         << "k"
                                                         << "v";
    QTest::newRow("NUL dentro del valor") << B("[S]\nk=a\0b\n") << "S"
                                          << "k" << QString::fromUtf8("a\0b", 3);
    QTest::newRow("UTF-8 con BOM")
        << B("\xEF\xBB\xBF[Configuraci\xc3\xb3n]\nk=S\xc3\xad\n") << "Configuración"
        << "k"
        << "Sí";
    QTest::newRow("clave no ASCII en otra grafía") << B("[S]\nA\xc3\x91O=1\n") << "s"
                                                   << "año"
                                                   << "1";
    QTest::newRow("sección ausente") << basico << "Otra"
                                     << "Precio"
                                     << "";
    QTest::newRow("clave ausente") << basico << "Configuración"
                                   << "Precios"
                                   << "";
    QTest::newRow("clave de otra sección") << B("[A]\nk=1\n[B]\nj=2\n") << "B"
                                           << "k"
                                           << "";
    QTest::newRow("clave antes de toda sección") << B("k=1\n[S]\nj=2\n") << "S"
                                                 << "k"
                                                 << "";
    QTest::newRow("comentario con punto y coma") << B("[S]\n;k=1\n ;k=2\n") << "S"
                                                 << "k"
                                                 << "";
    QTest::newRow("comentario con almohadilla") << B("[S]\n#k=1\n") << "S"
                                                << "k"
                                                << "";
    QTest::newRow("línea sin igual") << B("[S]\nk\nk=2\n") << "S"
                                     << "k"
                                     << "2";
    QTest::newRow("cabecera sin cierre no abre sección") << B("[A]\nk=1\n[B\nj=2\n") << "A"
                                                         << "j"
                                                         << "2";
    QTest::newRow("sección duplicada: la primera") << B("[S]\nk=1\n[s]\nk=2\n") << "S"
                                                   << "k"
                                                   << "1";
    QTest::newRow("clave solo en la segunda sección duplicada") << B("[S]\na=1\n[S]\nk=2\n") << "S"
                                                                << "k"
                                                                << "";
    QTest::newRow("clave duplicada: la primera") << B("[S]\nk=1\nK=2\n") << "S"
                                                 << "k"
                                                 << "1";
}

void TstArchivoIni::leer() {
    QFETCH(QByteArray, archivo);
    QFETCH(QString, seccion);
    QFETCH(QString, clave);
    QFETCH(QString, esperado);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    QVERIFY(soporte::guardar(ruta, archivo));
    const QString leido = ArchivoIni::leer(ruta, seccion, clave);
    QCOMPARE(leido, esperado);
}

void TstArchivoIni::leerSinArchivo() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(ArchivoIni::leer(dir.filePath("no.ini"), "S", "k"), QString());
    QCOMPARE(ArchivoIni::leer(dir.filePath("falta/no.ini"), "S", "k"), QString());
    QCOMPARE(ArchivoIni::leer(QString(), "S", "k"), QString());
    QVERIFY(soporte::entradas(dir.path()).isEmpty());
}

void TstArchivoIni::escribir_data() {
    QTest::addColumn<QByteArray>("antes");
    QTest::addColumn<QString>("seccion");
    QTest::addColumn<QString>("clave");
    QTest::addColumn<QString>("valor");
    QTest::addColumn<QByteArray>("despues");

    QTest::newRow("solo cambia la línea de la clave")
        << B("; cabecera\n[Otra]\nx = 1\n\n[Configuraci\xc3\xb3n]\n# nota\nPrecio=1\n"
             "l\xc3\xadnea sin igual\n[=]\n[Final]\ny=2\n")
        << "Configuración"
        << "Precio"
        << "7"
        << B("; cabecera\n[Otra]\nx = 1\n\n[Configuraci\xc3\xb3n]\n# nota\nPrecio=7\n"
             "l\xc3\xadnea sin igual\n[=]\n[Final]\ny=2\n");
    QTest::newRow("la clave conserva grafía y blancos") << B("[S]\n  PreCio \t=1\n") << "s"
                                                        << "precio"
                                                        << "2" << B("[S]\n  PreCio \t=2\n");
    QTest::newRow("valor con blancos e igual") << B("[S]\nk=1\n") << "S"
                                               << "k"
                                               << " a=b " << B("[S]\nk= a=b \n");
    QTest::newRow("valor que empieza por U+FEFF")
        << B("[S]\nk=1\n") << "S"
        << "k" << QStringLiteral("\uFEFF\uFEFFx") << B("[S]\nk=\xef\xbb\xbf\xef\xbb\xbfx\n");
    QTest::newRow("valor vacío") << B("[S]\nk=1\n") << "S"
                                 << "k"
                                 << "" << B("[S]\nk=\n");
    QTest::newRow("clave nueva tras la última línea no blanca")
        << B("[A]\na=1\n; fin de A\n\n\n[B]\nb=2\n") << "A"
        << "n"
        << "3" << B("[A]\na=1\n; fin de A\nn=3\n\n\n[B]\nb=2\n");
    QTest::newRow("clave nueva en sección sin claves") << B("[A]\n\n[B]\n") << "a"
                                                       << "n"
                                                       << "1" << B("[A]\nn=1\n\n[B]\n");
    QTest::newRow("clave nueva en la última sección sin fin de línea")
        << B("[A]\na=1") << "A"
        << "n"
        << "2" << B("[A]\na=1\nn=2\n");
    QTest::newRow("sección nueva al final tras una línea en blanco")
        << B("[A]\na=1\n") << "B"
        << "b"
        << "2" << B("[A]\na=1\n\n[B]\nb=2\n");
    QTest::newRow("sección nueva tras última línea sin fin") << B("[A]\na=1") << "B"
                                                             << "b"
                                                             << "2" << B("[A]\na=1\n\n[B]\nb=2\n");
    QTest::newRow("clave nueva tras un CR suelto al final: se completa el CRLF")
        << B("[A]\r\na=1\r") << "A"
        << "n"
        << "2" << B("[A]\r\na=1\r\nn=2\r\n");
    QTest::newRow("sección nueva en archivo que termina en blanco")
        << B("[A]\na=1\n\n") << "B"
        << "b"
        << "2" << B("[A]\na=1\n\n[B]\nb=2\n");
    QTest::newRow("sección nueva en archivo vacío") << B("") << "B"
                                                    << "b"
                                                    << "2" << comoNuevo("[B]\nb=2\n");
    QTest::newRow("blancos de la sección y clave pedidas no se escriben")
        << B("") << " S\t"
        << " k "
        << " v" << comoNuevo("[S]\nk= v\n");
    QTest::newRow("CRLF en valor cambiado") << B("[A]\r\na=1\r\nz=0\r\n") << "A"
                                            << "a"
                                            << "9" << B("[A]\r\na=9\r\nz=0\r\n");
    QTest::newRow("CRLF en clave nueva") << B("[A]\r\na=1\r\n") << "A"
                                         << "b"
                                         << "2" << B("[A]\r\na=1\r\nb=2\r\n");
    QTest::newRow("CRLF en sección nueva") << B("[A]\r\na=1\r\n") << "B"
                                           << "b"
                                           << "2" << B("[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n");
    QTest::newRow("línea de clave sin fin al final") << B("[A]\na=1") << "A"
                                                     << "a"
                                                     << "22" << B("[A]\na=22");
    QTest::newRow("sección duplicada: cambia la primera") << B("[S]\nk=1\n[S]\nk=2\n") << "S"
                                                          << "k"
                                                          << "3" << B("[S]\nk=3\n[S]\nk=2\n");
    QTest::newRow("clave duplicada: cambia la primera") << B("[S]\nk=1\nk=2\n") << "S"
                                                        << "K"
                                                        << "3" << B("[S]\nk=3\nk=2\n");
    QTest::newRow("clave nueva va a la primera sección duplicada")
        << B("[S]\na=1\n[S]\nk=2\n") << "S"
        << "k"
        << "3" << B("[S]\na=1\nk=3\n[S]\nk=2\n");
    QTest::newRow("sección con acento en otra grafía")
        << B("[Configuraci\xc3\xb3n]\nk=1\n") << "CONFIGURACIÓN"
        << "K"
        << "2" << B("[Configuraci\xc3\xb3n]\nk=2\n");
    QTest::newRow("UTF-8 sigue en UTF-8")
        << B("[Configuraci\xc3\xb3n]\nEmpresa 1=No\n") << "Configuración"
        << "Empresa 1"
        << "Sí" << B("[Configuraci\xc3\xb3n]\nEmpresa 1=S\xc3\xad\n");
    QTest::newRow("BOM de UTF-8 se conserva") << B("\xEF\xBB\xBF[S]\nk=1\n") << "S"
                                              << "k"
                                              << "\xc3\xb1" << B("\xEF\xBB\xBF[S]\nk=\xc3\xb1\n");
    QTest::newRow("archivo solo con BOM") << B("\xEF\xBB\xBF") << "S"
                                          << "k"
                                          << "1" << comoNuevo("\xEF\xBB\xBF[S]\nk=1\n");
}

void TstArchivoIni::escribir() {
    QFETCH(QByteArray, antes);
    QFETCH(QString, seccion);
    QFETCH(QString, clave);
    QFETCH(QString, valor);
    QFETCH(QByteArray, despues);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    QVERIFY(soporte::guardar(ruta, antes));
    // A read first, so that what the write leaves is seen past the parse kept for that read.
    (void)ArchivoIni::leer(ruta, seccion, clave);

    QString error;
    QVERIFY2(ArchivoIni::escribir(ruta, seccion, clave, valor, &error), qPrintable(error));
    QCOMPARE(soporte::contenido(ruta), despues);
    QCOMPARE(ArchivoIni::leer(ruta, seccion, clave), valor);
    QCOMPARE(soporte::entradas(dir.path()), (QStringList{"varelmo.ini", "varelmo.ini.lock"}));
}

// Several keys in one write leave the file as writing them one by one would.
using Pares = QList<std::pair<QString, QString>>;
void TstArchivoIni::variasComoUnaAUna_data() {
    QTest::addColumn<QByteArray>("antes");
    QTest::addColumn<QString>("seccion");
    QTest::addColumn<Pares>("pares");
    QTest::newRow("claves nuevas y existentes, la misma dos veces")
        << B("[A]\na=1\n; fin de A\n\n[B]\nb=2\n") << "A"
        << Pares{{"n", "1"}, {"a", "5"}, {"m", "2"}, {"N", "3"}};
    QTest::newRow("sección nueva tras última línea sin fin")
        << B("[A]\na=1") << "B" << Pares{{"x", "1"}, {"y", "2"}};
    QTest::newRow("archivo vacío") << B("") << "S" << Pares{{"k", "1"}, {"j", "2"}};
    QTest::newRow("CR suelto al final")
        << B("[A]\r\na=1\r") << "A" << Pares{{"n", "2"}, {"m", "3"}};
    QTest::newRow("Windows-1252 que pasa a UTF-8 a medias")
        << B("[A]\na=\xe9\n") << "A" << Pares{{"n", "€"}, {"m", "ñ"}, {"z", "漢"}};
}
void TstArchivoIni::variasComoUnaAUna() {
    QFETCH(QByteArray, antes);
    QFETCH(QString, seccion);
    QFETCH(Pares, pares);
    QTemporaryDir dir;
    const QString juntas = dir.filePath("juntas.ini"), sueltas = dir.filePath("sueltas.ini");
    QVERIFY(soporte::guardar(juntas, antes) && soporte::guardar(sueltas, antes));
    QVERIFY(ArchivoIni::escribirVarias(juntas, seccion, pares));
    for (const auto& [clave, valor] : pares)
        QVERIFY(ArchivoIni::escribir(sueltas, seccion, clave, valor));
    QCOMPARE(soporte::contenido(juntas), soporte::contenido(sueltas));
}

void TstArchivoIni::escribirCreaArchivoUtf8() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("nuevo.ini");
    QVERIFY(ArchivoIni::escribir(ruta, "Configuración", "Empresa 1", "Sí"));
    QVERIFY(ArchivoIni::escribir(ruta, "Configuración", "Precio", "1"));
    QVERIFY(ArchivoIni::escribir(ruta, "frmDescripcion", "Linea", "1200"));
    QCOMPARE(soporte::contenido(ruta),
             comoNuevo("[Configuraci\xc3\xb3n]\nEmpresa 1=S\xc3\xad\nPrecio=1\n\n"
                       "[frmDescripcion]\nLinea=1200\n"));
    QCOMPARE(ArchivoIni::leer(ruta, "configuración", "empresa 1"), QStringLiteral("Sí"));
}

void TstArchivoIni::windows1252_data() {
    QTest::addColumn<QString>("clave");
    QTest::addColumn<QString>("valor");
    QTest::addColumn<QByteArray>("despues");

    const QByteArray cabeza =
        B("[Configuraci\xf3n]\r\nRuta de Talmira Premium=C:\\talmirapremium\r\n");
    QTest::newRow("valor ASCII") << "Empresa 1"
                                 << "No" << cabeza + "Empresa 1=No\r\n";
    QTest::newRow("valor con acento") << "Empresa 1"
                                      << "Sí ñandú"
                                      << cabeza + B("Empresa 1=S\xed \xf1"
                                                    "and\xfa\r\n");
    QTest::newRow("euro y comillas de 1252")
        << "Empresa 1"
        << "€ “x”" << cabeza + B("Empresa 1=\x80 \x93x\x94\r\n");
    QTest::newRow("clave nueva con eñe") << "Año"
                                         << "2024" << kArchivo1252 + B("A\xf1o=2024\r\n");
}

void TstArchivoIni::windows1252() {
    QFETCH(QString, clave);
    QFETCH(QString, valor);
    QFETCH(QByteArray, despues);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    QVERIFY(soporte::guardar(ruta, kArchivo1252));

    QCOMPARE(ArchivoIni::leer(ruta, "Configuración", "Ruta de Talmira Premium"),
             QStringLiteral("C:\\talmirapremium"));
    QCOMPARE(ArchivoIni::leer(ruta, "CONFIGURACIÓN", "empresa 1"), QStringLiteral("Sí"));

    QVERIFY(ArchivoIni::escribir(ruta, "configuración", clave, valor));
    QCOMPARE(soporte::contenido(ruta), despues);
    QCOMPARE(ArchivoIni::leer(ruta, "Configuración", clave), valor);
}

void TstArchivoIni::caracterFuera1252PasaAUtf8() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    // A comment with 1252 letters and a byte the code page leaves undefined (0x81).
    QVERIFY(soporte::guardar(ruta, B("; Configuraci\xf3n \x81 \x80\r\n") + kArchivo1252));

    QVERIFY(ArchivoIni::escribir(ruta, "Configuración", "Nota", "😀"));
    const QByteArray utf8 =
        B("; Configuraci\xc3\xb3n \xc2\x81 \xe2\x82\xac\r\n"
          "[Configuraci\xc3\xb3n]\r\nRuta de Talmira Premium=C:\\talmirapremium\r\n"
          "Empresa 1=S\xc3\xad\r\nNota=\xf0\x9f\x98\x80\r\n");
    QCOMPARE(soporte::contenido(ruta), utf8);
    QCOMPARE(ArchivoIni::leer(ruta, "Configuración", "Nota"), QStringLiteral("😀"));
    QCOMPARE(ArchivoIni::leer(ruta, "Configuración", "Empresa 1"), QStringLiteral("Sí"));

    // Once UTF-8, later writes keep it UTF-8 even for text 1252 could hold.
    QVERIFY(ArchivoIni::escribir(ruta, "Configuración", "Empresa 1", "No"));
    QCOMPARE(soporte::contenido(ruta), QByteArray(utf8).replace("S\xc3\xad", "No"));
}

void TstArchivoIni::basura_data() {
    QTest::addColumn<quint32>("semilla");
    QTest::addColumn<int>("tamano");
    QTest::newRow("pocos bytes") << 1u << 17;
    QTest::newRow("64 KiB") << 7u << 65536;
    QTest::newRow("400 KiB") << 42u << (400 << 10);
}

void TstArchivoIni::basura() {
    QFETCH(quint32, semilla);
    QFETCH(int, tamano);
    QRandomGenerator azar(semilla);
    QByteArray ruido(tamano, Qt::Uninitialized);
    // Bytes of every value, with line ends, "=", brackets and NULs more frequent than by chance.
    const char frecuentes[] = {'\n', '\r', '=', '[', ']', '\0', ';', ' '};
    for (char& c : ruido) {
        const quint32 r = azar.bounded(320u);
        c = r < 256 ? static_cast<char>(r) : frecuentes[(r - 256) % sizeof frecuentes];
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    // Garbage, then a section of ours, then garbage again.
    const QByteArray antes = ruido + "\n[Nuestra]\nk=1\n" + ruido;
    QVERIFY(soporte::guardar(ruta, antes));

    QCOMPARE(ArchivoIni::leer(ruta, "Nuestra", "k"), QStringLiteral("1"));
    (void)ArchivoIni::leer(ruta, "", "");
    (void)ArchivoIni::leer(ruta, QString::fromLatin1(ruido.left(8)), "=");

    QVERIFY(ArchivoIni::escribir(ruta, "Nuestra", "k", "2"));
    QCOMPARE(soporte::contenido(ruta), ruido + "\n[Nuestra]\nk=2\n" + ruido);

    QVERIFY(ArchivoIni::escribir(ruta, "Sección nueva", "clave", "valor"));
    const QByteArray despues = soporte::contenido(ruta);
    QVERIFY(despues.startsWith(ruido + "\n[Nuestra]\nk=2\n" + ruido));
    QCOMPARE(ArchivoIni::leer(ruta, "sección nueva", "clave"), QStringLiteral("valor"));
    QCOMPARE(ArchivoIni::leer(ruta, "Nuestra", "k"), QStringLiteral("2"));
}

// 100,000 companies, past the 1 MiB the reader once stopped at, are written in one write and read
// back; at 16 MiB a file is refused for reading, and a write that would pass that is refused.
void TstArchivoIni::archivoGrande() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    QVERIFY(soporte::guardar(ruta, "[frmDescripcion]\r\nLinea=1200\r\n"));
    Pares empresas;
    for (int i = 0; i < 100000; ++i)
        empresas.push_back({"Empresa " + QString::number(i), i % 3 ? "Sí" : "No"});
    QString error;
    QVERIFY2(ArchivoIni::escribirVarias(ruta, "Configuración", empresas, &error),
             qPrintable(error));
    QVERIFY(QFileInfo(ruta).size() > 1024 * 1024);
    for (const auto& [clave, valor] : std::as_const(empresas))
        if (ArchivoIni::leer(ruta, "configuración", clave) != valor) QFAIL(qPrintable(clave));
    QVERIFY(ArchivoIni::escribir(ruta, "frmDescripcion", "Linea", "15"));
    QCOMPARE(ArchivoIni::leer(ruta, "frmDescripcion", "Linea"), QStringLiteral("15"));
    QCOMPARE(ArchivoIni::leer(ruta, "Configuración", "Empresa 99999"), QStringLiteral("No"));

    // One long comment fills the file up to the limit: it still reads, but gains no key.
    const QByteArray escrito = soporte::contenido(ruta);
    const QByteArray lleno =
        escrito + ';' + QByteArray(16 * 1024 * 1024 - escrito.size() - 3, 'x') + "\r\n";
    QVERIFY(soporte::guardar(ruta, lleno));
    QCOMPARE(ArchivoIni::leer(ruta, "Configuración", "Empresa 99999"), QStringLiteral("No"));
    QVERIFY(!ArchivoIni::escribir(ruta, "Configuración", "Precio", "2", &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(ruta)) && error.contains("16 MiB"),
             qPrintable(error));
    QVERIFY(soporte::contenido(ruta) == lleno);
    QVERIFY(soporte::guardar(ruta, lleno + '\n'));
    QVERIFY(ArchivoIni::motivoIlegible(ruta).contains(QStringLiteral("16 MiB")));
    QCOMPARE(ArchivoIni::leer(ruta, "frmDescripcion", "Linea"), QString());
    QVERIFY(!ArchivoIni::escribir(ruta, "frmDescripcion", "Linea", "1"));
}

void TstArchivoIni::carpetaEnLugarDelArchivo() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    QVERIFY(QDir().mkdir(ruta));
    QCOMPARE(ArchivoIni::leer(ruta, "S", "k"), QString());
    QString error;
    QVERIFY(!ArchivoIni::escribir(ruta, "S", "k", "v", &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(ruta)), qPrintable(error));
    QVERIFY(QFileInfo(ruta).isDir());
    QVERIFY(soporte::entradas(ruta).isEmpty());
    QCOMPARE(soporte::entradas(dir.path()), QStringList{"varelmo.ini"});
}

void TstArchivoIni::entradaRechazada_data() {
    QTest::addColumn<QString>("seccion");
    QTest::addColumn<QString>("clave");
    QTest::addColumn<QString>("valor");
    QTest::newRow("valor con salto de línea") << "S"
                                              << "k"
                                              << "1\n[Otra]\nx=2";
    QTest::newRow("valor con retorno de carro") << "S"
                                                << "k"
                                                << "1\r";
    QTest::newRow("clave con salto de línea") << "S"
                                              << "k\nj"
                                              << "1";
    QTest::newRow("sección con salto de línea") << "S\n"
                                                << "k"
                                                << "1";
    QTest::newRow("sección con corchete de cierre") << "S]x"
                                                    << "k"
                                                    << "1";
    QTest::newRow("sección vacía") << " \t"
                                   << "k"
                                   << "1";
    QTest::newRow("clave vacía") << "S"
                                 << ""
                                 << "1";
    QTest::newRow("clave con igual") << "S"
                                     << "a=b"
                                     << "1";
    QTest::newRow("clave de comentario") << "S"
                                         << " ;k"
                                         << "1";
    QTest::newRow("clave con almohadilla") << "S"
                                           << "#k"
                                           << "1";
    QTest::newRow("clave de cabecera") << "S"
                                       << "[k]"
                                       << "1";
}

void TstArchivoIni::entradaRechazada() {
    QFETCH(QString, seccion);
    QFETCH(QString, clave);
    QFETCH(QString, valor);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    const QByteArray antes = "[S]\nk=0\n";
    QVERIFY(soporte::guardar(ruta, antes));
    QString error;
    QVERIFY(!ArchivoIni::escribir(ruta, seccion, clave, valor, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(ruta)), qPrintable(error));
    QCOMPARE(soporte::contenido(ruta), antes);
    QVERIFY(!ArchivoIni::escribir(dir.filePath("otro.ini"), seccion, clave, valor));
    QCOMPARE(soporte::entradas(dir.path()), QStringList{"varelmo.ini"});
}

// Writers in several processes at once, each of its own key: none loses another's key, and the
// lines that were there stay. The last row widens on purpose the span between reading the file
// and replacing it, where two writers without the lock would each put back the file they read.
void TstArchivoIni::variosProcesos_data() {
    QTest::addColumn<QByteArray>("antes");
    QTest::addColumn<QString>("seccion");
    QTest::addColumn<int>("procesos");
    QTest::addColumn<int>("veces");
    QTest::addColumn<int>("pausaMs");
    QTest::newRow("8 procesos de 200 escrituras")
        << B("; notas\n[S]\na=1\n") << "S" << 8 << 200 << 0;
    QTest::newRow("talmira.ini") << B("[Talmira]\r\nMySQLPuerto=3306\r\nMySQLUsuario=v2:AAAA\r\n")
                                 << "Talmira" << 2 << 100 << 0;
    QTest::newRow("varelmo.ini en Windows-1252")
        << kArchivo1252 << "Configuración" << 2 << 100 << 0;
    QTest::newRow("pausa entre leer y reemplazar") << B("[S]\na=1\n") << "S" << 2 << 3 << 300;
}

void TstArchivoIni::variosProcesos() {
    QFETCH(QByteArray, antes);
    QFETCH(QString, seccion);
    QFETCH(int, procesos);
    QFETCH(int, veces);
    QFETCH(int, pausaMs);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("ajustes.ini");
    QVERIFY(soporte::guardar(ruta, antes));
    const QString error = soporte::escritoresIni(ruta, seccion, procesos, veces, pausaMs);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (int i = 1; i <= procesos; ++i)
        QCOMPARE(ArchivoIni::leer(ruta, seccion, QStringLiteral("Proceso %1").arg(i)),
                 QStringLiteral("Proceso %1 %2").arg(i).arg(veces));
    const QByteArray despues = soporte::contenido(ruta);
    QVERIFY(despues.startsWith(antes));
    QCOMPARE(despues.count('\n'), antes.count('\n') + procesos);
}

void TstArchivoIni::obVal_data() {
    QTest::addColumn<QString>("texto");
    QTest::addColumn<double>("esperado");
    QTest::newRow("vacío") << "" << 0.0;
    QTest::newRow("solo blancos") << " \t " << 0.0;
    QTest::newRow("entero") << "3306" << 3306.0;
    QTest::newRow("número y letras") << "12abc" << 12.0;
    QTest::newRow("blanco y decimal") << " 3.5" << 3.5;
    QTest::newRow("tabulador y negativo") << "\t-7" << -7.0;
    QTest::newRow("negativo") << "-7" << -7.0;
    QTest::newRow("signo más") << "+4" << 4.0;
    QTest::newRow("letras") << "abc" << 0.0;
    QTest::newRow("sin exponente") << "1e3" << 1.0;
    QTest::newRow("decimal sin entero") << ".5" << 0.5;
    QTest::newRow("negativo sin entero") << "-.25" << -0.25;
    QTest::newRow("segundo punto corta") << "1.2.3" << 1.2;
    QTest::newRow("ceros a la izquierda") << "007" << 7.0;
    QTest::newRow("coma no es decimal") << "1,5" << 1.0;
    QTest::newRow("blanco tras el signo") << "- 5" << 0.0;
    QTest::newRow("solo signo y punto") << "-." << 0.0;
    QTest::newRow("dígito no ASCII") << "٣" << 0.0;
    QTest::newRow("demasiado pequeño") << "0." + QString(400, u'0') + "1" << 0.0;
    QTest::newRow("demasiado grande")
        << "-1" + QString(400, u'0') << -std::numeric_limits<double>::infinity();
}

void TstArchivoIni::obVal() {
    QFETCH(QString, texto);
    QFETCH(double, esperado);
    QCOMPARE(::obVal(texto), esperado);
}

int main(int argc, char** argv) {
    // Started by variosProcesos as one of several writers.
    if (const int codigo = soporte::escritorIni(argc, argv); codigo >= 0) return codigo;
    QCoreApplication aplicacion(argc, argv);
    TstArchivoIni prueba;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&prueba, argc, argv);
}
#include "tst_archivoini.moc"
