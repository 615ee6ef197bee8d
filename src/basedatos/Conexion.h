#pragma once
#include <QElapsedTimer>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>

#include "basedatos/SesionSegura.h"

typedef struct st_mysql MYSQL;
typedef struct st_mysql_res MYSQL_RES;
typedef struct st_mysql_field MYSQL_FIELD;
class Lectura;
class LecturaBinaria;

// A failure of a session: the client library's or the server's error number (0 when the program
// itself refused the statement) and its text.
struct FalloBase {
    unsigned numero = 0;
    QString texto;
};

// Where a session connects, on which database, as whom, and the TLS it demands of the server: the
// session's own input. The program keeps a server's settings in a BasesDD, whose AbrirBdD makes
// this.
struct DestinoBase {
    QString host, usuario, password, base;
    int puerto = 0;
    AjustesTls tls;
    // The session may feed the server a LOAD DATA LOCAL INFILE from memory (Conexion::cargarLocal).
    // No session ever sends the server a file: a request for one is refused.
    bool cargaLocal = false;
};

// The bytes of a LOAD DATA LOCAL INFILE, given as the server takes them: up to `tamano` bytes
// into `destino`, and the count written; 0 once all are given; -1 to cut the load short.
using FuenteCarga = std::function<qint64(char* destino, qint64 tamano)>;

// One session with a database server, on the MariaDB client library. Move-only; closed when it
// goes.
//
// Every session speaks utf8mb4 and is protected as its destination's TLS settings say
// (SesionSegura.h).
// A server that does not answer fails within the connect timeout (5 s); a statement waits at most
// 120 s for the server. Values reach the server as literals the library escaped, never pasted.
//
// A session the server dropped (a restart, a timeout, a kill) is reopened with the settings it
// was opened with before the next statement runs; the statement that met the loss fails and is
// never sent twice. After a pause the session is checked before use, so a server restarted while
// the program waited is met by that check and not by the user's statement. A loss inside a
// transaction keeps failing the statements of that transaction until its COMMIT or ROLLBACK, so
// what is left of it never runs on a fresh session as if the earlier part had been applied.
class Conexion {
public:
    Conexion();
    ~Conexion();
    Conexion(Conexion&& otra) noexcept;
    Conexion& operator=(Conexion&& otra) noexcept;
    Conexion(const Conexion&) = delete;
    Conexion& operator=(const Conexion&) = delete;

    // Opens a session on `destino` (closing whatever this one held). False with the reason.
    bool abrir(const DestinoBase& destino);
    bool abierta() const;
    QString base() const;  // database it is open on; "" when closed

    // Runs one statement with `valores` in place of its "?" in order; false with the server's
    // error text in `error` (and in ultimoError()).
    bool ejecutar(const QString& sql, const QVariantList& valores = {}, QString* error = nullptr);
    // Runs `sql`, a LOAD DATA LOCAL INFILE, the server taking the rows from `fuente` whatever file
    // the statement names, on a session opened with cargaLocal; false with the reason. A load the
    // source cuts short (-1) fails here, but the server keeps the rows it got: run it inside a
    // transaction to undo them.
    bool cargarLocal(const QString& sql, const FuenteCarga& fuente, QString* error = nullptr);
    QString ultimoError() const { return fallo_.texto; }
    FalloBase ultimoFallo() const { return fallo_; }
    void cerrar();

private:
    friend class Recordset;
    friend class Lectura;
    friend class LecturaBinaria;
    // Sends `sql` on the session, reopening it first when it was lost; its result then waits on
    // the session. False with the reason in fallo_.
    bool correr(const QString& sql, const QVariantList& valores);
    // The session ready for a statement whose first word is `palabra`: a streamed read closed, a
    // session the server dropped reopened (or the statement refused, after a transaction it
    // lost). False with the reason in fallo_.
    bool disponer(const QString& palabra);
    bool enviar(const QString& sql, const QVariantList& valores);
    bool seguirTrasPerdida(const QString& palabra);
    void comprobar();  // after a pause, finds out whether the server dropped the session
    void marcarPerdida();
    bool reabrir();
    void anotarFallo(const QString& sql);  // the session's error after `sql` failed
    static MYSQL* conectar(const DestinoBase& destino, FalloBase* fallo);

    MYSQL* sesion_ = nullptr;
    Lectura* lectura_ = nullptr;  // a streamed read not yet over: closed before anything else
    DestinoBase destino_;
    FalloBase fallo_;
    bool perdida_ = false;                // the server dropped it; reopen before the next statement
    bool enTransaccion_ = false;          // a START TRANSACTION not yet ended by COMMIT or ROLLBACK
    bool transaccionPerdida_ = false;     // the loss happened inside that transaction
    QElapsedTimer usoReciente_;           // since the last statement that reached the server
    const FuenteCarga* carga_ = nullptr;  // the rows of the LOAD DATA being sent, if one is
};

// A transaction on a session, undone unless confirmed: whatever leaves the scope before
// confirmar() (a failed statement, an early return, an exception) rolls it back.
class Transaccion {
public:
    explicit Transaccion(Conexion& conexion) : conexion_(conexion) {}
    ~Transaccion() { deshacer(); }
    Transaccion(const Transaccion&) = delete;
    Transaccion& operator=(const Transaccion&) = delete;

    bool empezar(QString* error = nullptr);    // START TRANSACTION
    bool confirmar(QString* error = nullptr);  // COMMIT; on failure what was done is undone
    void deshacer();                           // ROLLBACK of a transaction still open

private:
    Conexion& conexion_;
    bool abierta_ = false;
};

// How a text column is defined: what a result's column says of it when the session asks for
// results unconverted (character_set_results NULL); otherwise the column speaks the session's set.
struct DefinicionTexto {
    QString juego, cotejo;  // character set and collation
    qint64 largo = 0;       // length in characters
    bool anulable = true;   // may hold NULL
};

// The rows of one query, kept whole by the client and walked forward from the first; field access
// by name without regard to letter case. For small results: the big ordered read is a Lectura.
class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Runs `sql` on `c` with `valores` in place of its "?" and stands on the first row (or at the
    // end when there are none). False, with the error in ultimoError(), when the query fails.
    bool abrir(Conexion& c, const QString& sql, const QVariantList& valores = {});

    bool abierto() const { return abierto_; }
    bool alFinal() const;  // true when past the last row, when there are no rows, or when closed
    void siguiente();
    QVariant campo(const QString& nombre) const;  // invalid QVariant if no such field
    int numCampos() const;
    QString nombreCampo(int i) const;
    QVariant valor(int i) const;  // invalid QVariant when out of range or on no row
    qint64 cuenta() const;        // rows of the whole result, wherever the walk stands
    // Column `i` as text of a known character set; nullopt for a number, a binary string or a set
    // the client library does not know.
    std::optional<DefinicionTexto> definicionTexto(int i) const;
    QString ultimoError() const { return fallo_.texto; }
    FalloBase ultimoFallo() const { return fallo_; }
    void cerrar();

private:
    int indiceCampo(const QString& nombre) const;
    struct Liberar {
        void operator()(MYSQL_RES* r) const;
    };
    std::unique_ptr<MYSQL_RES, Liberar> resultado_;
    char** fila_ = nullptr;
    unsigned long* largos_ = nullptr;
    bool abierto_ = false;
    FalloBase fallo_;
};

// A query's rows streamed from the server as they come, one at a time, their cells read in place
// as the bytes the server sent: for reads too large to keep. Anything else run on its session
// closes it first, reading off what the server still sends of it.
class Lectura {
public:
    Lectura() = default;
    ~Lectura() { cerrar(); }
    Lectura(const Lectura&) = delete;
    Lectura& operator=(const Lectura&) = delete;

    bool abrir(Conexion& c, const QString& sql, const QVariantList& valores = {});
    // The next row; false at the end or on a failure (then fallo() says which).
    bool siguiente();
    int numCampos() const { return campos_; }
    QString nombreCampo(int i) const;
    bool esDoble(int i) const;  // the column holds doubles
    bool nula(int i) const { return fila_[i] == nullptr; }
    const char* datos(int i) const { return fila_[i]; }
    qsizetype largo(int i) const { return static_cast<qsizetype>(largos_[i]); }
    QVariant valor(int i) const;
    FalloBase fallo() const { return fallo_; }
    void cerrar();

private:
    Conexion* conexion_ = nullptr;
    MYSQL_RES* resultado_ = nullptr;
    MYSQL_FIELD* columnas_ = nullptr;
    char** fila_ = nullptr;
    unsigned long* largos_ = nullptr;
    int campos_ = 0;
    FalloBase fallo_;
};

// A query's rows streamed in the server's binary form (a prepared statement), one at a time: the
// numbers come as the server keeps them, with no text to write there and to read here, which
// halves the server's work on a big read of amounts; texts and bytes come into buffers as long as
// their columns are (64 KiB at most), and a longer cell stops the read. The session runs
// nothing else until the read ends.
class LecturaBinaria {
public:
    LecturaBinaria();
    ~LecturaBinaria();
    LecturaBinaria(const LecturaBinaria&) = delete;
    LecturaBinaria& operator=(const LecturaBinaria&) = delete;

    bool abrir(Conexion& c, const QString& sql);
    // The next row; false at the end or on a failure (then fallo() says which).
    bool siguiente();
    // A text's or bytes' cell as the server sent it.
    QByteArrayView bytes(int i) const;
    // A number as a double, a binary column as bytes, any other as text; NULL as a null of them.
    QVariant valor(int i) const;
    FalloBase fallo() const { return fallo_; }
    void cerrar();

private:
    struct Estado;
    void fallar(Conexion& c, const QString& sql);
    Conexion* conexion_ = nullptr;
    std::unique_ptr<Estado> estado_;
    FalloBase fallo_;
};
