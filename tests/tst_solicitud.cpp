// The checks of a report request, the ticked companies, the working table's definition and the
// names of sheet columns.
#include <QDir>
#include <QtTest>

#include "libro/LetraColumna.h"
#include "report/SolicitudReporte.h"

Q_DECLARE_METATYPE(Validacion)
Q_DECLARE_METATYPE(MarcaEmpresa)

namespace {
const QString Si = QStringLiteral("Sí");
}

class TstSolicitud : public QObject {
    Q_OBJECT
private slots:
    void validar_data() {
        QTest::addColumn<QString>("archivo");
        QTest::addColumn<QList<MarcaEmpresa>>("filas");
        QTest::addColumn<Validacion>("esperado");
        const QList<MarcaEmpresa> una{{QStringLiteral("1"), Si}};
        const QList<MarcaEmpresa> ninguna{{QStringLiteral("1"), QString()},
                                          {QStringLiteral("2"), QStringLiteral("No")}};
        QTest::newRow("nombre vacio") << QString() << una << Validacion::ArchivoEnBlanco;
        QTest::newRow("solo espacios")
            << QStringLiteral("   ") << una << Validacion::ArchivoEnBlanco;
        QTest::newRow("vacio y sin empresas: primero el nombre")
            << QStringLiteral(" ") << ninguna << Validacion::ArchivoEnBlanco;
        QTest::newRow("sin empresas")
            << QStringLiteral("r.xlsx") << ninguna << Validacion::SinEmpresas;
        QTest::newRow("reja sin filas")
            << QStringLiteral("r.xlsx") << QList<MarcaEmpresa>{} << Validacion::SinEmpresas;
        QTest::newRow("Si sin acento no cuenta")
            << QStringLiteral("r.xlsx")
            << QList<MarcaEmpresa>{{QStringLiteral("1"), QStringLiteral("Si")}}
            << Validacion::SinEmpresas;
        QTest::newRow("sí en minusculas no cuenta")
            << QStringLiteral("r.xlsx")
            << QList<MarcaEmpresa>{{QStringLiteral("1"), QStringLiteral("sí")}}
            << Validacion::SinEmpresas;
        QTest::newRow("nombre invalido y sin empresas: primero las empresas")
            << QStringLiteral("a/b.xlsx") << ninguna << Validacion::SinEmpresas;
        QTest::newRow("valido") << QStringLiteral("r.xlsx") << una << Validacion::Valida;
        QTest::newRow("valido con espacios alrededor")
            << QStringLiteral("  r v.xlsx ") << una << Validacion::Valida;
        QTest::newRow("puntos dentro del nombre")
            << QStringLiteral("..r.xlsx") << una << Validacion::Valida;
        QTest::newRow("carpeta con barra")
            << QStringLiteral("sub/r.xlsx") << una << Validacion::ArchivoInvalido;
        QTest::newRow("carpeta con barra invertida")
            << QStringLiteral("..\\r.xlsx") << una << Validacion::ArchivoInvalido;
        QTest::newRow("ruta absoluta")
            << QStringLiteral("/tmp/r.xlsx") << una << Validacion::ArchivoInvalido;
        QTest::newRow("punto") << QStringLiteral(".") << una << Validacion::ArchivoInvalido;
        QTest::newRow("dos puntos") << QStringLiteral("..") << una << Validacion::ArchivoInvalido;
        QTest::newRow("tabulador")
            << QStringLiteral("r\t.xlsx") << una << Validacion::ArchivoInvalido;
        QTest::newRow("salto de linea")
            << QStringLiteral("r\n.xlsx") << una << Validacion::ArchivoInvalido;
        QTest::newRow("DEL") << QStringLiteral("r\x7f.xlsx") << una << Validacion::ArchivoInvalido;
        // Shown as "rxslx.xlsx" but written as "r\u202Exslx.xlsx"; a zero-width space hides too.
        QTest::newRow("marca de derecha a izquierda")
            << QStringLiteral("r\u202Exslx.xlsx") << una << Validacion::ArchivoInvalido;
        QTest::newRow("espacio de ancho cero")
            << QStringLiteral("r\u200B.xlsx") << una << Validacion::ArchivoInvalido;
        QTest::newRow("acentos y ñ")
            << QStringLiteral("año café.xlsx") << una << Validacion::Valida;
        QTest::newRow("guion al principio")
            << QStringLiteral("-r.xlsx") << una << Validacion::ArchivoInvalido;
        QTest::newRow("guion dentro del nombre")
            << QStringLiteral("r-1.xlsx") << una << Validacion::Valida;
        for (const char* c : {"<", ">", ":", "\"", "|", "?", "*"})
            QTest::addRow("caracter %s", c) << QStringLiteral("r%1.xlsx").arg(QLatin1String(c))
                                            << una << Validacion::ArchivoInvalido;
        QTest::newRow("demasiado largo")
            << QString(251, u'a') << una << Validacion::ArchivoInvalido;
        // The program's own files, as they are named after an executable called "reporte.bin".
        QTest::newRow("archivo de configuracion")
            << QStringLiteral("reporte.ini") << una << Validacion::ArchivoInvalido;
        QTest::newRow("descripcion en mayusculas")
            << QStringLiteral("REPORTE.Txt") << una << Validacion::ArchivoInvalido;
        QTest::newRow("el programa")
            << QStringLiteral("Reporte.bin") << una << Validacion::ArchivoInvalido;
        QTest::newRow("otro nombre parecido")
            << QStringLiteral("reporte.xlsx") << una << Validacion::Valida;
    }
    void validar() {
        const ArchivosPropios propios{QStringLiteral("/opt/varelmo/reporte.ini"),
                                      QStringLiteral("/opt/varelmo/reporte.txt"),
                                      QStringLiteral("/opt/varelmo/reporte.bin"), QDir::tempPath()};
        QFETCH(QString, archivo);
        QFETCH(QList<MarcaEmpresa>, filas);
        QFETCH(Validacion, esperado);
        QString motivo;
        QCOMPARE(ValidarSolicitud(archivo, EmpresasMarcadas(filas), propios, &motivo), esperado);
        // A refused name always says why; the other outcomes leave the reason alone.
        QCOMPARE(motivo.isEmpty(), esperado != Validacion::ArchivoInvalido &&
                                       esperado != Validacion::DestinoNoEscribible);
        // A name with folders is told which folder the workbook goes to.
        if (esperado == Validacion::ArchivoInvalido && archivo.contains(u'/'))
            QVERIFY2(motivo.endsWith(QDir::toNativeSeparators(propios.carpeta)),
                     qPrintable(motivo));
    }

    void marcadas_data() {
        QTest::addColumn<QList<MarcaEmpresa>>("filas");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("orden de la reja, no de los Id")
            << QList<MarcaEmpresa>{{QStringLiteral("7"), Si},
                                   {QStringLiteral("2"), QString()},
                                   {QStringLiteral("3"), Si},
                                   {QStringLiteral("12"), Si}}
            << QList<int>{7, 3, 12};
        QTest::newRow("solo Sí exacto")
            << QList<MarcaEmpresa>{{QStringLiteral("1"), QStringLiteral("Si")},
                                   {QStringLiteral("2"), QStringLiteral("sí")},
                                   {QStringLiteral("3"), QStringLiteral("SÍ")},
                                   {QStringLiteral("4"), QStringLiteral("Sí ")},
                                   {QStringLiteral("5"), QStringLiteral("No")},
                                   {QStringLiteral("6"), Si}}
            << QList<int>{6};
        QTest::newRow("ninguna") << QList<MarcaEmpresa>{{QStringLiteral("1"), QString()}}
                                 << QList<int>{};
    }
    void marcadas() {
        QFETCH(QList<MarcaEmpresa>, filas);
        QTEST(EmpresasMarcadas(filas), "ids");
    }

    void definicion_data() {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QString>("sql");
        QTest::newRow("empresas 1 y 3") << QList<int>{1, 3}
                                        << QStringLiteral(
                                               "CREATE TABLE if not exists `tbltempproductos` "
                                               "(`Clave` varchar(15) NOT NULL DEFAULT '',"
                                               "`Descrip` varchar(60) DEFAULT '',`Costo1` double "
                                               "DEFAULT '0',`Precio1` double DEFAULT '0',"
                                               "`Costo3` double DEFAULT '0',`Precio3` double "
                                               "DEFAULT '0',`Aviso` varchar(50) DEFAULT '', "
                                               "PRIMARY KEY (`Clave`))");
        QTest::newRow("Id 12") << QList<int>{12}
                               << QStringLiteral(
                                      "CREATE TABLE if not exists `tbltempproductos` (`Clave` "
                                      "varchar(15) NOT NULL DEFAULT '',"
                                      "`Descrip` varchar(60) DEFAULT '',`Costo12` double DEFAULT "
                                      "'0',`Precio12` double DEFAULT '0',"
                                      "`Aviso` varchar(50) DEFAULT '', PRIMARY KEY (`Clave`))");
    }
    void definicion() {
        QFETCH(QList<int>, ids);
        QTEST(DefinicionTablaTrabajo(ids), "sql");
    }

    void letraColumna_data() {
        QTest::addColumn<int>("columna");
        QTest::addColumn<QString>("letras");
        QTest::newRow("1") << 1 << QStringLiteral("A");
        QTest::newRow("26") << 26 << QStringLiteral("Z");
        QTest::newRow("27") << 27 << QStringLiteral("AA");
        QTest::newRow("52") << 52 << QStringLiteral("AZ");
        QTest::newRow("53") << 53 << QStringLiteral("BA");
        QTest::newRow("702") << 702 << QStringLiteral("ZZ");
        QTest::newRow("703") << 703 << QStringLiteral("AAA");
        QTest::newRow("16384") << 16384 << QStringLiteral("XFD");
        QTest::newRow("0 sin nombre") << 0 << QString();
        QTest::newRow("negativa sin nombre") << -3 << QString();
    }
    void letraColumna() {
        QFETCH(int, columna);
        QTEST(LetraColumna(columna), "letras");
    }
};

QTEST_GUILESS_MAIN(TstSolicitud)
#include "tst_solicitud.moc"
