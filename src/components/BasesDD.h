#pragma once
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <optional>

class BasesDD;

// One database connection of its own: a QSqlDatabase under a unique Qt connection name, so any
// number of them (the program's two, a report's own) live side by side. Move-only.
//
// A connection the server dropped (a restart, a timeout, a kill) is reopened with the settings it
// was opened with before the next statement runs; the statement that met the loss fails and is
// never sent twice. After a pause the connection is checked before use, so a server restarted
// while the program waited is met by that check and not by the user's statement. A loss inside a
// transaction keeps failing the statements of that transaction until its COMMIT or ROLLBACK, so
// what is left of it never runs on a fresh connection as if the earlier part had been applied.
class Conexion {
public:
    Conexion();
    ~Conexion();  // closes the connection and removes its Qt connection
    Conexion(Conexion&& otra) noexcept;
    Conexion& operator=(Conexion&& otra) noexcept;
    Conexion(const Conexion&) = delete;
    Conexion& operator=(const Conexion&) = delete;

    bool abierta() const;
    QString base() const;  // database it is open on; "" when closed
    QSqlDatabase db() const;

    // Runs one statement with `valores` bound to its "?" in order; false with the server's error
    // text in `error` (and in ultimoError()).
    bool ejecutar(const QString& sql, const QVariantList& valores = {}, QString* error = nullptr);
    QString ultimoError() const;
    void cerrar();

private:
    friend class BasesDD;
    friend class Recordset;
    struct Ajustes {
        QString host, usuario, password, base;
        int puerto = 0;
    };
    // Runs `sql` on the connection, reopening it first when it was lost; false with the reason in
    // error_.
    bool correr(QSqlQuery& q, const QString& sql, const QVariantList& valores);
    void comprobar();      // after a pause, finds out whether the server dropped the connection
    void marcarPerdida();  // the server dropped it, with any transaction open on it
    bool reabrir();        // opens it again with its own settings
    // Opens `db` with `a`: timeouts, then the utf8mb4 session; false with the reason.
    static bool abrirSesion(QSqlDatabase& db, const Ajustes& a, QString* problema);
    void anotarFallo(const QSqlError& fallo, const QString& sql);

    QSqlDatabase db_;
    QString nombre_;  // Qt connection name; "" when nothing is held
    QString base_;
    QString error_;
    Ajustes ajustes_;
    bool perdida_ = false;             // the server dropped it; reopen before the next statement
    bool enTransaccion_ = false;       // a START TRANSACTION not yet ended by COMMIT or ROLLBACK
    bool transaccionPerdida_ = false;  // the loss happened inside that transaction
    QElapsedTimer usoReciente_;        // since the last statement that reached the server
};

// A transaction on a connection, undone unless confirmed: whatever leaves the scope before
// confirmar() (a failed statement, an early return, an exception) rolls it back.
class Transaccion {
public:
    explicit Transaccion(Conexion& conexion) : conexion_(conexion) {}
    ~Transaccion() { deshacer(); }
    Transaccion(const Transaccion&) = delete;
    Transaccion& operator=(const Transaccion&) = delete;

    // START TRANSACTION; false with the server's error.
    bool empezar(QString* error = nullptr);
    // COMMIT; false with the server's error, and what was done is undone.
    bool confirmar(QString* error = nullptr);
    // ROLLBACK of a transaction still open; nothing otherwise.
    void deshacer();

private:
    Conexion& conexion_;
    bool abierta_ = false;
};

// The rows of one query, walked forward from the first; field access by name without regard to
// letter case.
class Recordset {
public:
    Recordset();
    Recordset(Recordset&&) = default;
    Recordset& operator=(Recordset&&) = default;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Runs `sql` on `c` with `valores` bound to its "?" and stands on the first row (or at the end
    // when there are none). False, with the error in ultimoError(), when the query fails.
    bool abrir(Conexion& c, const QString& sql, const QVariantList& valores = {});

    bool abierto() const;
    bool alFinal() const;  // true when past the last row, when there are no rows, or when closed
    void siguiente();
    QVariant campo(
        const QString& nombre) const;  // current row's value; invalid QVariant if no such field
    int numCampos() const;
    QString nombreCampo(int i) const;
    QVariant valor(
        int i) const;       // invalid QVariant when `i` is out of range or there is no current row
    qint64 cuenta() const;  // number of rows of the whole result, wherever the walk stands
    QString ultimoError() const;
    void cerrar();
    QSqlQuery& consulta();  // the underlying query, for callers that stream rows themselves

private:
    int indiceCampo(const QString& nombre) const;
    mutable QSqlQuery consulta_;
    QSqlRecord registro_;
    bool abierto_ = false;
    QString error_;
};

// Connection settings and table helpers; one object per use (the program keeps a shared one and
// the report makes its own).
class BasesDD {
public:
    QString cRuta;    // server host
    QString cMiBase;  // database name
    QString cUsuario;
    QString cPassword;
    int cPuerto = 3306;
    QString baseGeneral =
        QStringLiteral("talmira");  // database opened when AbrirBdD is given no name

    // Opens `c` (closing whatever it held) with this object's settings on `base`, or on
    // baseGeneral when `base` is empty. Character set utf8mb4. A server that does not answer fails
    // within the connect timeout (5 s); a statement waits at most 120 s for the server. True when
    // open.
    bool AbrirBdD(Conexion& c, const QString& base = QString());

    // "SELECT <campos or *> FROM <origen>" with `valores` bound to the "?" of `origen` (program
    // text such as "empresas where Id=?"); `campos` is a comma list of column names, each quoted
    // here as an identifier. True when at least one row matched, the recordset then on the first
    // row; false when none matched (ultimoError() empty) or the query failed (ultimoError() says
    // why); the recordset is then at its end.
    bool AbrirTabla(Recordset& rs, Conexion& c, const QString& origen,
                    const QString& campos = QString(), const QVariantList& valores = {});

    // `Valor` of table `configuracion` where `Nombre` = nombre; nullopt when no row or on failure.
    std::optional<QString> LeerConfig(const QString& nombre, Conexion& c);

    void CierraTabla(Recordset& rs);
    void CierraBdD(Conexion& c);

    // The last failure's text (the server's error), never containing the password.
    QString ultimoError() const;

private:
    void fallo(const QString& texto);
    QString error_;
};
