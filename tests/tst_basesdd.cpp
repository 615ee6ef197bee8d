#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QtTest>
#include <cstring>
#include <limits>

#include "ServidorPrueba.h"
#include "basedatos/BasesDD.h"
#include "basedatos/FilasCarga.h"
#include "basedatos/Sql.h"

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {}  // namespace

class TstBasesDD : public QObject {
    Q_OBJECT

    QString base_;         // company-like database with empresas and configuracion
    QStringList creadas_;  // every database a test made, dropped at the end

    // Creates a database of its own for a test; dropped in cleanupTestCase.
    QString crearBase(const QString& nombre) {
        QString error;
        if (!ServidorPrueba::ejecutar(
                QStringLiteral("CREATE DATABASE %1").arg(citarIdentificador(nombre)), &error))
            qWarning("%s", qPrintable(error));
        creadas_ << nombre;
        return nombre;
    }

    static QVariant unValor(Conexion& c, const QString& sql) {
        Recordset rs;
        return rs.abrir(c, sql) ? rs.valor(0) : QVariant();
    }

private slots:
    void initTestCase() {
        REQUIERE_SERVIDOR();
        base_ = crearBase(ServidorPrueba::nombreUnico(QStringLiteral("bdd")));
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY2(b.AbrirBdD(c, base_), qPrintable(b.ultimoError()));
        QString error;
        QVERIFY2(c.ejecutar(QStringLiteral(
                                "CREATE TABLE empresas (Id INT PRIMARY KEY, Empresa VARCHAR(60), "
                                "BaseDeDatos VARCHAR(60), Puerto INT NULL)"),
                            {}, &error),
                 qPrintable(error));
        QVERIFY(c.ejecutar(
            QStringLiteral("CREATE TABLE configuracion (Nombre VARCHAR(40), Valor VARCHAR(200))")));
        const QList<QVariantList> filas = {
            {3, QStringLiteral("Gamma"), QStringLiteral("g"), QVariant()},
            {1, QStringLiteral("Alfa"), QStringLiteral("a"), 3306},
            {2, QStringLiteral("O'Brien \\ Hijos"), QStringLiteral("b"), 3307}};
        for (const QVariantList& fila : filas)
            QVERIFY2(
                c.ejecutar(QStringLiteral("INSERT INTO empresas VALUES (?,?,?,?)"), fila, &error),
                qPrintable(error));
        QVERIFY(c.ejecutar(QStringLiteral("INSERT INTO configuracion VALUES (?,?)"),
                           {QStringLiteral("Precios"), QStringLiteral("5")}));
    }

    void cleanupTestCase() {
        for (const QString& nombre : std::as_const(creadas_))
            ServidorPrueba::ejecutar(
                QStringLiteral("DROP DATABASE IF EXISTS %1").arg(citarIdentificador(nombre)));
    }

    void abrirBdD_data() {
        QTest::addColumn<bool>("porDefecto");
        QTest::newRow("base con nombre") << false;
        QTest::newRow("base general") << true;
    }
    void abrirBdD() {
        QFETCH(bool, porDefecto);
        BasesDD b = ServidorPrueba::comoRoot();
        b.baseGeneral = base_;
        Conexion c;
        QVERIFY2(b.AbrirBdD(c, porDefecto ? QString() : base_), qPrintable(b.ultimoError()));
        QVERIFY(c.abierta());
        QCOMPARE(c.base(), base_);
        QCOMPARE(unValor(c, QStringLiteral("SELECT DATABASE()")).toString(), base_);
        QCOMPARE(unValor(c, QStringLiteral("SELECT @@character_set_connection")).toString(),
                 QStringLiteral("utf8mb4"));
    }

    void abrirBdDFalla_data() {
        QTest::addColumn<QString>("clave");
        QTest::addColumn<int>("puerto");
        QTest::addColumn<QString>("base");
        const QString clave = QStringLiteral("Cl4ve'Secr\\eta");
        QTest::newRow("clave equivocada") << clave << ServidorPrueba::puerto() << base_;
        QTest::newRow("puerto cerrado") << clave << ServidorPrueba::puertoCerrado() << base_;
        QTest::newRow("base inexistente")
            << QString() << ServidorPrueba::puerto() << QStringLiteral("no_existe_jamas");
        // A password that is part of a name in the message: the name is shown whole.
        QTest::newRow("clave dentro del nombre de la base")
            << base_.left(5) << ServidorPrueba::puerto() << base_;
    }
    void abrirBdDFalla() {
        QFETCH(QString, clave);
        QFETCH(int, puerto);
        QFETCH(QString, base);
        BasesDD b = ServidorPrueba::comoRoot();
        b.cPassword = clave;
        b.cPuerto = puerto;
        Conexion c;
        QVERIFY(BasesDD(ServidorPrueba::comoRoot())
                    .AbrirBdD(c, base_));  // a failed reopen must not leave the old one open
        QElapsedTimer reloj;
        reloj.start();
        QVERIFY(!b.AbrirBdD(c, base));
        QVERIFY2(reloj.elapsed() < 8000, "la conexión fallida tardó demasiado");
        QVERIFY(!c.abierta());
        QVERIFY(!b.ultimoError().isEmpty());
        QCOMPARE(c.ultimoError(), b.ultimoError());
        // It names the server it tried.
        QVERIFY2(b.ultimoError().contains(u':' + QString::number(puerto)),
                 qPrintable(b.ultimoError()));
        if (!clave.isEmpty() && !base.contains(clave))
            QVERIFY2(!b.ultimoError().contains(clave), qPrintable(b.ultimoError()));
    }

    // Whether two settings reach the server as the same user: host, port, user and password
    // count; the database each opens does not.
    void mismoServidorYUsuario_data() {
        QTest::addColumn<QString>("cambio");
        QTest::addColumn<bool>("mismo");
        QTest::newRow("otra base") << QStringLiteral("base") << true;
        QTest::newRow("otro servidor") << QStringLiteral("servidor") << false;
        QTest::newRow("otro puerto") << QStringLiteral("puerto") << false;
        QTest::newRow("otro usuario") << QStringLiteral("usuario") << false;
        QTest::newRow("otra clave") << QStringLiteral("clave") << false;
    }
    void mismoServidorYUsuario() {
        QFETCH(QString, cambio);
        QFETCH(bool, mismo);
        BasesDD a = ServidorPrueba::comoRoot();
        a.cPassword = QStringLiteral("clave");
        BasesDD b = a;
        if (cambio == QStringLiteral("base")) {
            b.cMiBase = QStringLiteral("otra");
            b.baseGeneral = QStringLiteral("otra");
        }
        if (cambio == QStringLiteral("servidor")) b.cRuta += QStringLiteral(".otro");
        if (cambio == QStringLiteral("puerto")) ++b.cPuerto;
        if (cambio == QStringLiteral("usuario")) b.cUsuario = QStringLiteral("otro");
        if (cambio == QStringLiteral("clave")) b.cPassword = QStringLiteral("Clave");
        QCOMPARE(a.mismoServidorYUsuario(b), mismo);
        QCOMPARE(b.mismoServidorYUsuario(a), mismo);
    }

    void abrirTabla_data() {
        QTest::addColumn<QString>("origen");
        QTest::addColumn<QString>("campos");
        QTest::addColumn<QVariantList>("valores");
        QTest::addColumn<QStringList>("empresas");  // expected Empresa of each row, in order
        QTest::newRow("todas en orden")
            << "empresas order by Id"
            << "Id,Empresa" << QVariantList{} << QStringList{"Alfa", "O'Brien \\ Hijos", "Gamma"};
        QTest::newRow("por Id") << "empresas where Id=?"
                                << "Id, Empresa" << QVariantList{3} << QStringList{"Gamma"};
        QTest::newRow("sin fila") << "empresas where Id=?"
                                  << "Id,Empresa" << QVariantList{99} << QStringList{};
        QTest::newRow("apostrofe y barra")
            << "empresas where Empresa=?"
            << "Empresa" << QVariantList{QStringLiteral("O'Brien \\ Hijos")}
            << QStringList{"O'Brien \\ Hijos"};
        QTest::newRow("valor como texto, no como SQL")
            << "empresas where Empresa=?"
            << "Empresa" << QVariantList{QStringLiteral("x' or '1'='1")} << QStringList{};
        QTest::newRow("todas las columnas")
            << "empresas where Id>? order by Id desc"
            << "" << QVariantList{1} << QStringList{"Gamma", "O'Brien \\ Hijos"};
    }
    void abrirTabla() {
        QFETCH(QString, origen);
        QFETCH(QString, campos);
        QFETCH(QVariantList, valores);
        QFETCH(QStringList, empresas);
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY(b.AbrirBdD(c, base_));
        Recordset rs;
        QCOMPARE(b.AbrirTabla(rs, c, origen, campos, valores), !empresas.isEmpty());
        QVERIFY2(b.ultimoError().isEmpty(), qPrintable(b.ultimoError()));
        QVERIFY(rs.abierto());
        QCOMPARE(rs.cuenta(), empresas.size());
        QCOMPARE(rs.numCampos(), campos.isEmpty() ? 4 : int(campos.count(QLatin1Char(',')) + 1));
        QStringList vistas;
        for (; !rs.alFinal(); rs.siguiente()) {
            vistas << rs.campo(QStringLiteral("EMPRESA")).toString();
            QCOMPARE(rs.campo(QStringLiteral("empresa")), rs.campo(QStringLiteral("Empresa")));
            QCOMPARE(rs.cuenta(),
                     empresas.size());  // the count does not depend on where the walk stands
        }
        QCOMPARE(vistas, empresas);
        QVERIFY(!rs.campo(QStringLiteral("Empresa")).isValid());  // no current row past the end
        rs.siguiente();  // walking past the end stays there
        QVERIFY(rs.alFinal());
        b.CierraTabla(rs);
        QVERIFY(!rs.abierto());
    }

    void camposDeLaFila() {
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY(b.AbrirBdD(c, base_));
        Recordset rs;
        QVERIFY(b.AbrirTabla(rs, c, QStringLiteral("empresas where Id=?"),
                             QStringLiteral("Id,Empresa,Puerto"), {3}));
        QCOMPARE(rs.nombreCampo(1), QStringLiteral("Empresa"));
        QCOMPARE(rs.valor(0).toInt(), 3);
        QCOMPARE(rs.campo(QStringLiteral("id")).toInt(), 3);
        QVERIFY(rs.campo(QStringLiteral("Puerto")).isNull());  // NULL arrives as a null value
        QVERIFY(!rs.campo(QStringLiteral("NoHay")).isValid());
        QVERIFY(!rs.valor(3).isValid());
        QVERIFY(!rs.valor(-1).isValid());
        QVERIFY(rs.nombreCampo(7).isEmpty());
    }

    // Values reach the server as the library's escaped literals: they come back as they went,
    // whatever they hold and whatever the server's quoting mode, and a "?" inside quotes, names
    // or comments of the statement is not a place for a value.
    void valoresAlServidor_data() {
        QTest::addColumn<QString>("modo");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariantList>("valores");
        QTest::addColumn<QVariantList>("esperados");  // empty: the statement is refused
        const QString raro = QStringLiteral("O'Brien \\ \" ` ? ñ \0 😀");
        const QString marca = QStringLiteral("SELECT ?");
        QTest::newRow("texto con comillas y barras")
            << "" << marca << QVariantList{raro} << QVariantList{raro};
        QTest::newRow("sin barra como escape")
            << "NO_BACKSLASH_ESCAPES" << marca << QVariantList{raro} << QVariantList{raro};
        QTest::newRow("dobles exactos") << "" << QStringLiteral("SELECT ?, ?, ?")
                                        << QVariantList{0.1, 5e-324, 1.7976931348623157e308}
                                        << QVariantList{0.1, 5e-324, 1.7976931348623157e308};
        QTest::newRow("nulo y enteros") << "" << QStringLiteral("SELECT ?, ?")
                                        << QVariantList{QVariant(), qint64(-9007199254740993)}
                                        << QVariantList{QVariant(), qint64(-9007199254740993)};
        QTest::newRow("interrogaciones que no son marcas")
            << "" << QStringLiteral("SELECT '?' AS `a?b` /* ? */, ? # ?\n") << QVariantList{7}
            << QVariantList{QStringLiteral("?"), 7};
        QTest::newRow("más valores que marcas")
            << "" << marca << QVariantList{1, 2} << QVariantList{};
    }
    void valoresAlServidor() {
        QFETCH(QString, modo);
        QFETCH(QString, sql);
        QFETCH(QVariantList, valores);
        QFETCH(QVariantList, esperados);
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY(b.AbrirBdD(c, base_));
        QVERIFY(c.ejecutar(QStringLiteral("SET SESSION sql_mode = ?"), {modo}));
        Recordset rs;
        QCOMPARE(rs.abrir(c, sql, valores), !esperados.isEmpty());
        if (esperados.isEmpty()) return;
        QCOMPARE(rs.numCampos(), esperados.size());
        for (int i = 0; i < esperados.size(); ++i) {
            QCOMPARE(rs.valor(i).isNull(), esperados[i].isNull());
            if (!esperados[i].isNull()) QCOMPARE(rs.valor(i).toString(), esperados[i].toString());
        }
    }

    // Rows loaded from memory (LOAD DATA LOCAL INFILE) read back as they were given: texts with
    // every character the format escapes, NULL, and doubles to the last bit, the text handed over
    // in pieces of whatever size the library asks for. A session not opened for it loads nothing.
    void cargaLocal() {
        const QString base = crearBase(ServidorPrueba::nombreUnico(QStringLiteral("carga")));
        QVERIFY(ServidorPrueba::ejecutar(
            QStringLiteral("CREATE TABLE %1.t (n int PRIMARY KEY, texto varchar(60), valor double)")
                .arg(citarIdentificador(base))));
        const QList<QVariantList> filas{
            {1, QStringLiteral("tab\tbarra \\ y \\N"), 0.1},
            {2, QStringLiteral("línea\nnueva\r y ñandú Ω 😀"), std::numeric_limits<double>::max()},
            {3, QString::fromUtf16(u"nul\0fin", 7), std::numeric_limits<double>::denorm_min()},
            {4, QVariant(), 1234567.89},
            {5, QString(), -0.000001234},
            {6, QStringLiteral("\\"), QVariant(QMetaType::fromType<double>())}};
        QByteArray texto;
        for (const QVariantList& f : filas) AnadirFilaCarga(texto, f);
        qsizetype dado = 0;
        const FuenteCarga fuente = [&](char* hacia, qint64 tamano) -> qint64 {
            const qint64 n = std::min<qint64>(tamano, texto.size() - dado);
            std::memcpy(hacia, texto.constData() + dado, static_cast<size_t>(n));
            dado += n;
            return n;
        };
        DestinoBase destino{
            ServidorPrueba::host(), QStringLiteral("root"), {}, base, ServidorPrueba::puerto(), {}};
        Conexion sinCarga;
        QVERIFY(sinCarga.abrir(destino));
        QString error;
        QVERIFY(!sinCarga.cargarLocal(SentenciaCarga(QStringLiteral("t")), fuente, &error));
        QVERIFY2(error.contains(QStringLiteral("datos locales")), qPrintable(error));
        destino.cargaLocal = true;
        Conexion c;
        QVERIFY(c.abrir(destino));
        QVERIFY2(c.cargarLocal(SentenciaCarga(QStringLiteral("t")), fuente, &error),
                 qPrintable(error));
        Recordset rs;
        QVERIFY(rs.abrir(c, QStringLiteral("SELECT n, texto, valor FROM t ORDER BY n")));
        for (const QVariantList& f : filas) {
            QVERIFY(!rs.alFinal());
            QCOMPARE(rs.valor(1).isNull(), f[1].isNull());
            QCOMPARE(rs.valor(1).toString(), f[1].toString());
            QCOMPARE(rs.valor(2).isNull(), f[2].isNull());
            const double leido = rs.valor(2).toDouble(), dado2 = f[2].toDouble();
            QVERIFY2(std::memcmp(&leido, &dado2, sizeof leido) == 0,
                     qPrintable(QString::number(leido, 'g', 17)));
            rs.siguiente();
        }
        QVERIFY(rs.alFinal());
    }

    void abrirTablaFalla_data() {
        QTest::addColumn<QString>("origen");
        QTest::addColumn<QString>("campos");
        QTest::addColumn<bool>("conectada");
        QTest::newRow("tabla inexistente") << "no_hay_tal"
                                           << "" << true;
        QTest::newRow("columna inexistente") << "empresas"
                                             << "Id,NoHay" << true;
        QTest::newRow("campo vacio en la lista") << "empresas"
                                                 << "Id,,Empresa" << true;
        QTest::newRow("conexion cerrada") << "empresas"
                                          << "" << false;
    }
    void abrirTablaFalla() {
        QFETCH(QString, origen);
        QFETCH(QString, campos);
        QFETCH(bool, conectada);
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY(b.AbrirBdD(c, base_));
        Recordset rs;
        QVERIFY(b.AbrirTabla(rs, c, QStringLiteral("empresas"),
                             QString()));  // the recordset held rows before
        if (!conectada) b.CierraBdD(c);
        QVERIFY(!b.AbrirTabla(rs, c, origen, campos));
        QVERIFY(!b.ultimoError().isEmpty());
        QVERIFY(rs.alFinal());
        QCOMPARE(rs.cuenta(), 0);
    }

    void leerConfig_data() {
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<bool>("conTabla");
        QTest::addColumn<std::optional<QString>>("esperado");
        QTest::newRow("presente") << "Precios" << true
                                  << std::optional<QString>(QStringLiteral("5"));
        QTest::newRow("ausente") << "NoExiste" << true << std::optional<QString>();
        QTest::newRow("nombre con apostrofe")
            << "Precios' or '1'='1" << true << std::optional<QString>();
        QTest::newRow("base sin tabla") << "Precios" << false << std::optional<QString>();
    }
    void leerConfig() {
        QFETCH(QString, nombre);
        QFETCH(bool, conTabla);
        QFETCH(std::optional<QString>, esperado);
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY(b.AbrirBdD(
            c, conTabla ? base_ : crearBase(ServidorPrueba::nombreUnico(QStringLiteral("bdd")))));
        QCOMPARE(b.LeerConfig(nombre, c), esperado);
        QCOMPARE(b.ultimoError().isEmpty(), conTabla);
    }

    void citarIdentificadores_data() {
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QString>("citado");
        QTest::newRow("simple") << "empresas"
                                << "`empresas`";
        QTest::newRow("una comilla") << "a`b"
                                     << "`a``b`";
        QTest::newRow("solo comillas") << "``"
                                       << "``````";
        QTest::newRow("intento de cierre") << "x`; DROP DATABASE y; `"
                                           << "`x``; DROP DATABASE y; ```";
    }
    void citarIdentificadores() {
        QFETCH(QString, nombre);
        QFETCH(QString, citado);
        QCOMPARE(citarIdentificador(nombre), citado);
    }

    void identificadoresConComillaEnElServidor() {
        const QString base =
            crearBase(ServidorPrueba::nombreUnico(QStringLiteral("bdd")) + QStringLiteral("`x"));
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY2(b.AbrirBdD(c, base), qPrintable(b.ultimoError()));
        QCOMPARE(unValor(c, QStringLiteral("SELECT DATABASE()")).toString(), base);
        const QString tabla = QStringLiteral("ta`bla");
        QString error;
        QVERIFY2(c.ejecutar(QStringLiteral("CREATE TABLE %1 (%2 INT)")
                                .arg(citarIdentificador(tabla),
                                     citarIdentificador(QStringLiteral("co`l"))),
                            {}, &error),
                 qPrintable(error));
        QVERIFY(c.ejecutar(
            QStringLiteral("INSERT INTO %1 VALUES (?)").arg(citarIdentificador(tabla)), {7}));
        Recordset rs;
        QVERIFY2(b.AbrirTabla(rs, c, citarIdentificador(tabla), QStringLiteral("co`l")),
                 qPrintable(b.ultimoError()));
        QCOMPARE(rs.campo(QStringLiteral("CO`L")).toInt(), 7);
    }

    void ejecutarDevuelveElError() {
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY(b.AbrirBdD(c, base_));
        QString error;
        QVERIFY(!c.ejecutar(QStringLiteral("INSERT INTO empresas (Id) VALUES (?)"), {1}, &error));
        QVERIFY2(error.contains(QLatin1String("Duplicate")), qPrintable(error));
        QCOMPARE(c.ultimoError(), error);
        QVERIFY(!c.ejecutar(QStringLiteral("SELEC mal escrito"), {}, &error));
        QVERIFY2(error.contains(QLatin1String("SQL syntax")), qPrintable(error));
        QVERIFY(c.ejecutar(QStringLiteral("SELECT 1"), {}, &error));
        QVERIFY(error.isEmpty());
        b.CierraBdD(c);
        QVERIFY(!c.ejecutar(QStringLiteral("SELECT 1"), {}, &error));
        QVERIFY(!error.isEmpty());
    }

    void acentosEnTablaLatin1() {
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY(b.AbrirBdD(c, base_));
        QString error;
        QVERIFY2(c.ejecutar(QStringLiteral(
                                "CREATE TABLE productos (Clave VARCHAR(20), Descrip VARCHAR(80)) "
                                "CHARACTER SET latin1"),
                            {}, &error),
                 qPrintable(error));
        const QString texto = QStringLiteral("Descripción ñ Ñ ü");
        QVERIFY(c.ejecutar(QStringLiteral("INSERT INTO productos VALUES (?,?)"),
                           {QStringLiteral("A1"), texto}));
        // Stored as true latin1 characters, not as UTF-8 bytes read as latin1 (which would still
        // round-trip on a wrongly set connection).
        QCOMPARE(unValor(c, QStringLiteral("SELECT HEX(Descrip) FROM productos")).toString(),
                 QString::fromLatin1(texto.toLatin1().toHex().toUpper()));
        Recordset rs;
        QVERIFY(b.AbrirTabla(rs, c, QStringLiteral("productos where Descrip=?"),
                             QStringLiteral("Descrip"), {texto}));
        QCOMPARE(rs.campo(QStringLiteral("Descrip")).toString(), texto);
        QVERIFY(b.AbrirTabla(rs, c, QStringLiteral("productos")));  // the text protocol as well
        QCOMPARE(rs.campo(QStringLiteral("Descrip")).toString(), texto);
    }

    void cuentaDeMuchasFilas_data() {
        QTest::addColumn<QVariantList>("valores");
        QTest::newRow("sentencia preparada") << QVariantList{0};
        QTest::newRow("texto") << QVariantList{};
    }
    void cuentaDeMuchasFilas() {
        QFETCH(QVariantList, valores);
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY(b.AbrirBdD(c, base_));
        Recordset rs;
        QVERIFY(b.AbrirTabla(rs, c,
                             valores.isEmpty() ? QStringLiteral("seq_1_to_2500")
                                               : QStringLiteral("seq_1_to_2500 where seq>?"),
                             QStringLiteral("seq"), valores));
        QCOMPARE(rs.cuenta(), 2500);
        qint64 vistas = 0;
        for (; !rs.alFinal(); rs.siguiente())
            QCOMPARE(rs.campo(QStringLiteral("SEQ")).toLongLong(), ++vistas);
        QCOMPARE(vistas, 2500);
    }

    // The statement that meets a dropped connection fails with the reason; the next one runs on
    // the connection reopened with its own settings.
    void conexionPerdida() {
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY(b.AbrirBdD(c, base_));
        Recordset rs;
        QVERIFY(b.AbrirTabla(rs, c, QStringLiteral("empresas order by Id")));
        QString error;
        // The server drops this very connection.
        QVERIFY(!c.ejecutar(QStringLiteral("KILL CONNECTION_ID()"), {}, &error));
        QVERIFY2(error.startsWith(QStringLiteral("Se perdió la conexión")), qPrintable(error));
        QVERIFY(c.abierta());
        QVERIFY2(c.ejecutar(QStringLiteral("SELECT 1"), {}, &error), qPrintable(error));
        QCOMPARE(c.base(), base_);
        QCOMPARE(b.LeerConfig(QStringLiteral("Precios"), c),
                 std::optional<QString>(QStringLiteral("5")));
        QVERIFY(b.AbrirTabla(rs, c, QStringLiteral("empresas where Id=?"), QString(), {1}));
    }

    void recordsetTrasCerrarLaConexion() {
        BasesDD b = ServidorPrueba::comoRoot();
        Conexion c;
        QVERIFY(b.AbrirBdD(c, base_));
        Recordset rs;
        QVERIFY(b.AbrirTabla(rs, c, QStringLiteral("empresas")));
        Conexion movida = std::move(c);
        QVERIFY(!c.abierta());
        QVERIFY(movida.abierta());
        QCOMPARE(movida.base(), base_);
        b.CierraBdD(movida);
        rs.siguiente();  // must not crash on a connection that is gone
        rs.campo(QStringLiteral("Id"));
        b.CierraTabla(rs);
        QVERIFY(rs.alFinal());
    }
};

QTEST_GUILESS_MAIN(TstBasesDD)
#include "tst_basesdd.moc"
