#include "basedatos/Conexion.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>

#include <QStringList>
#include <QThread>
#include <algorithm>

#include "basedatos/Biblioteca.h"
#include "basedatos/HuellaServidor.h"
#include "basedatos/SesionSegura.h"
#include "basedatos/Sql.h"

namespace {

const QString errorCerrada = QStringLiteral("La conexión con la base de datos no está abierta.");
const QString errorPerdida =
    QStringLiteral("Se perdió la conexión con el servidor de la base de datos");

// A session in use is checked before a statement once it has been idle this long.
constexpr qint64 MilisegundosSinComprobar = 1000;

// The session's error as the library reports it.
FalloBase falloDe(MYSQL* sesion) {
    const QString texto = QString::fromUtf8(mysql_error(sesion)).trimmed();
    return {mysql_errno(sesion),
            texto.isEmpty() ? QStringLiteral("Error desconocido de la base de datos.") : texto};
}

// The codes of a session that is gone: server gone away, lost during a query, lost (extended),
// and the server's own "connection killed" and "shutdown in progress".
bool esConexionPerdida(unsigned numero) {
    return numero == CR_SERVER_GONE_ERROR || numero == CR_SERVER_LOST ||
           numero == CR_SERVER_LOST_EXTENDED || numero == ER_CONNECTION_KILLED ||
           numero == ER_SERVER_SHUTDOWN;
}

// A server at its limit of connections (its own, or this user's).
bool esLimiteDeConexiones(unsigned numero) {
    return numero == ER_CON_COUNT_ERROR || numero == ER_TOO_MANY_USER_CONNECTIONS ||
           numero == ER_USER_LIMIT_REACHED;
}

// The first word of a statement, in capitals ("START", "COMMIT", ...).
QString primeraPalabra(const QString& sql) {
    const QString limpio = sql.trimmed();
    qsizetype fin = 0;
    while (fin < limpio.size() && limpio.at(fin).isLetter()) ++fin;
    return limpio.left(fin).toUpper();
}

// Statements after which an earlier transaction is over: its own end, a new one, and the
// statements the server runs with an implicit commit.
bool terminaTransaccion(const QString& palabra) {
    static const QStringList palabras{
        QStringLiteral("COMMIT"), QStringLiteral("ROLLBACK"), QStringLiteral("START"),
        QStringLiteral("BEGIN"),  QStringLiteral("DROP"),     QStringLiteral("CREATE"),
        QStringLiteral("ALTER"),  QStringLiteral("TRUNCATE"), QStringLiteral("RENAME")};
    return palabras.contains(palabra);
}

// The local data a session sends for a LOAD DATA LOCAL INFILE: only the rows of the load the
// program itself is running (`datos`, the FuenteCarga), never a file, whatever name the server
// asks for. Without a load running (`datos` null) a server's request is refused.
int alAbrirCarga(void** estado, const char*, void* datos) {
    *estado = datos;
    return datos ? 0 : 1;
}
int alLeerCarga(void* estado, char* destino, unsigned int tamano) {
    const qint64 n = (*static_cast<const FuenteCarga*>(estado))(destino, qint64{tamano});
    return n < 0 ? -1 : static_cast<int>(n);
}
void alTerminarCarga(void*) {}
int alFallarCarga(void* estado, char* mensaje, unsigned int tamano) {
    const char* texto = estado ? "la carga de datos locales se interrumpió"
                               : "el servidor pidió un archivo que esta sesión no envía";
    qstrncpy(mensaje, texto, tamano);
    return CR_UNKNOWN_ERROR;
}
void ponerCarga(MYSQL* sesion, const FuenteCarga* fuente) {
    mysql_set_local_infile_handler(sesion, alAbrirCarga, alLeerCarga, alTerminarCarga,
                                   alFallarCarga,
                                   const_cast<void*>(static_cast<const void*>(fuente)));
}

// The options of every session: timeouts, the character set, local data only for the loads of
// its own on a session made for them (never a file), and what SesionSegura.h demands.
bool prepararOpciones(MYSQL* sesion, const AjustesTls& tls, bool cargaLocal,
                      const QByteArray& huellaSha1, QString* problema) {
    if (cargaLocal) ponerCarga(sesion, nullptr);
    const unsigned int conectar = 5, esperar = 120, sinArchivos = cargaLocal ? 1 : 0;
    const bool bien = mysql_optionsv(sesion, MYSQL_OPT_CONNECT_TIMEOUT, &conectar) == 0 &&
                      mysql_optionsv(sesion, MYSQL_OPT_READ_TIMEOUT, &esperar) == 0 &&
                      mysql_optionsv(sesion, MYSQL_OPT_WRITE_TIMEOUT, &esperar) == 0 &&
                      mysql_optionsv(sesion, MYSQL_SET_CHARSET_NAME, "utf8mb4") == 0 &&
                      mysql_optionsv(sesion, MYSQL_OPT_LOCAL_INFILE, &sinArchivos) == 0;
    if (!bien) *problema = QStringLiteral("la biblioteca cliente de MariaDB rechazó sus opciones");
    return bien && ProtegerSesion(sesion, tls, huellaSha1, problema);
}

// The bytes of a text that held a secret, cleared before they are let go.
void borrar(QByteArray& secreto) {
    volatile char* p = secreto.data();
    for (qsizetype i = 0; i < secreto.size(); ++i) p[i] = 0;
}

// Why a session could not be opened: for the common causes one sentence that says what to check,
// then the server's own words once, in parentheses; any other failure in the server's words.
QString motivoSinSesion(const FalloBase& motivo, const DestinoBase& d) {
    const QString rechazo = MotivoRechazoSesion(motivo.numero, motivo.texto, d.tls);
    if (!rechazo.isEmpty()) return rechazo;
    const QString donde = d.host + u':' + QString::number(d.puerto);
    QString causa;
    switch (motivo.numero) {
        case CR_CONNECTION_ERROR:
        case CR_CONN_HOST_ERROR:
        case CR_UNKNOWN_HOST:
            causa = QStringLiteral(
                        "no se pudo llegar al servidor %1; revise que esté en marcha y "
                        "que la instalación lo nombre bien (MySQLServer, MySQLPuerto)")
                        .arg(donde);
            break;
        case ER_ACCESS_DENIED_ERROR:
        case ER_ACCESS_DENIED_NO_PASSWORD_ERROR:
            causa = QStringLiteral(
                        "el servidor %1 no aceptó el usuario «%2» o su contraseña; "
                        "revise MySQLUsuario y MySQLPassword")
                        .arg(donde, d.usuario);
            break;
        case ER_DBACCESS_DENIED_ERROR:
            causa = QStringLiteral(
                        "el usuario «%1» no tiene acceso a la base de datos «%2» del "
                        "servidor %3")
                        .arg(d.usuario, d.base, donde);
            break;
        case ER_HOST_NOT_PRIVILEGED:
        case ER_HOST_IS_BLOCKED:
            causa =
                QStringLiteral("el servidor %1 no admite conexiones desde este equipo").arg(donde);
            break;
        case ER_BAD_DB_ERROR:
            causa = QStringLiteral("la base de datos «%1» no existe en el servidor %2")
                        .arg(d.base, donde);
            break;
        case ER_CON_COUNT_ERROR:
        case ER_TOO_MANY_USER_CONNECTIONS:
        case ER_USER_LIMIT_REACHED:
            causa = QStringLiteral(
                        "el servidor %1 no admite más conexiones por ahora; inténtelo en "
                        "un momento")
                        .arg(donde);
            break;
        case CR_SERVER_LOST:
        case CR_SERVER_GONE_ERROR:
        case CR_SERVER_LOST_EXTENDED:
            causa = QStringLiteral(
                        "se perdió la conexión con el servidor %1 mientras se abría; "
                        "revise la red y que el servidor siga en marcha")
                        .arg(donde);
            break;
        default:
            return motivo.texto;
    }
    return causa + QStringLiteral(" (") + motivo.texto + u')';
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Conexion

Conexion::Conexion() = default;

Conexion::~Conexion() { cerrar(); }

Conexion::Conexion(Conexion&& otra) noexcept { *this = std::move(otra); }

Conexion& Conexion::operator=(Conexion&& otra) noexcept {
    if (this != &otra) {
        cerrar();
        if (otra.lectura_) otra.lectura_->cerrar();
        sesion_ = std::exchange(otra.sesion_, nullptr);
        destino_ = std::exchange(otra.destino_, DestinoBase());
        fallo_ = std::move(otra.fallo_);
        perdida_ = std::exchange(otra.perdida_, false);
        enTransaccion_ = std::exchange(otra.enTransaccion_, false);
        transaccionPerdida_ = std::exchange(otra.transaccionPerdida_, false);
        usoReciente_ = otra.usoReciente_;
        otra.usoReciente_.invalidate();
    }
    return *this;
}

MYSQL* Conexion::conectar(const DestinoBase& d, FalloBase* fallo) {
    IniciarBibliotecaBaseDatos();
    const auto noAbre = [&](const FalloBase& motivo) {
        *fallo = {motivo.numero, motivoSinSesion(motivo, d)};
        return nullptr;
    };
    // A connection this program has just closed may still count against the server's limit for
    // a moment: the attempt is made again, for up to two seconds.
    QByteArray huellaSha1;
    if (!d.tls.huella.isEmpty()) {
        FalloBase motivo;
        huellaSha1 = HuellaSha1DeServidorFijado(d.host, d.puerto, d.tls.huella, &motivo);
        if (huellaSha1.isEmpty()) return noAbre(motivo);
    }
    QElapsedTimer reloj;
    reloj.start();
    for (;;) {
        MYSQL* sesion = mysql_init(nullptr);
        if (!sesion) return noAbre({0, QStringLiteral("no queda memoria para la sesión")});
        QString problema;
        if (!prepararOpciones(sesion, d.tls, d.cargaLocal, huellaSha1, &problema)) {
            mysql_close(sesion);
            return noAbre({0, problema});
        }
        const QByteArray host = d.host.toUtf8(), usuario = d.usuario.toUtf8(),
                         base = d.base.toUtf8();
        QByteArray clave = d.password.toUtf8();
        MYSQL* hecho = mysql_real_connect(sesion, host.isEmpty() ? nullptr : host.constData(),
                                          usuario.constData(), clave.constData(),
                                          base.isEmpty() ? nullptr : base.constData(),
                                          static_cast<unsigned>(d.puerto), nullptr, 0);
        borrar(clave);
        if (hecho) {
            // The server converts every value to utf8mb4, whatever the tables hold, so no accent
            // is lost on the way.
            if (mysql_set_character_set(sesion, "utf8mb4") == 0) return sesion;
            *fallo = falloDe(sesion);
            fallo->texto = QStringLiteral("No se pudo preparar la conexión con %1: %2")
                               .arg(d.base, fallo->texto);
            mysql_close(sesion);
            return nullptr;
        }
        const FalloBase motivo = falloDe(sesion);
        mysql_close(sesion);
        if (!esLimiteDeConexiones(motivo.numero) || reloj.elapsed() > 2000) return noAbre(motivo);
        QThread::msleep(50);
    }
}

bool Conexion::abrir(const DestinoBase& destino) {
    cerrar();
    fallo_ = FalloBase();
    sesion_ = conectar(destino, &fallo_);
    if (!sesion_) return false;
    destino_ = destino;
    usoReciente_.start();
    return true;
}

// A session the server dropped still counts as open: the next statement reopens it.
bool Conexion::abierta() const { return sesion_ || perdida_; }

QString Conexion::base() const { return abierta() ? destino_.base : QString(); }

bool Conexion::ejecutar(const QString& sql, const QVariantList& valores, QString* error) {
    if (correr(sql, valores)) {
        // Whatever rows the statement gave are not wanted.
        if (MYSQL_RES* filas = mysql_store_result(sesion_)) mysql_free_result(filas);
        if (mysql_errno(sesion_) != 0) anotarFallo(sql);
    }
    if (error) *error = fallo_.texto;
    return fallo_.texto.isEmpty();
}

void Conexion::comprobar() {
    if (usoReciente_.isValid() && usoReciente_.elapsed() < MilisegundosSinComprobar) return;
    // After a pause the server may have gone and come back: a ping finds out before the caller's
    // statement is sent.
    if (mysql_ping(sesion_) == 0)
        usoReciente_.start();
    else if (esConexionPerdida(mysql_errno(sesion_)))
        marcarPerdida();
    else
        fallo_ = falloDe(sesion_);
}

void Conexion::marcarPerdida() {
    perdida_ = true;
    // The server rolled back whatever transaction was open on it.
    if (enTransaccion_) transaccionPerdida_ = true;
    enTransaccion_ = false;
}

bool Conexion::reabrir() {
    FalloBase problema;
    MYSQL* nueva = conectar(destino_, &problema);
    if (!nueva) {
        fallo_ = {problema.numero,
                  errorPerdida + QStringLiteral(" y no se pudo restablecer: ") + problema.texto};
        return false;
    }
    if (sesion_) mysql_close(sesion_);
    sesion_ = nueva;
    perdida_ = false;
    usoReciente_.start();
    return true;
}

void Conexion::anotarFallo(const QString& sql) {
    fallo_ = falloDe(sesion_);
    if (!esConexionPerdida(fallo_.numero)) return;
    // The statement may or may not have run; it is not sent again. The next one reopens.
    marcarPerdida();
    fallo_.texto = errorPerdida + QStringLiteral(" (") + fallo_.texto + u')';
    const QString palabra = primeraPalabra(sql);
    if (palabra == QLatin1String("COMMIT") || palabra == QLatin1String("ROLLBACK"))
        transaccionPerdida_ = false;  // that transaction is over, and its failure reported
}

// The rest of a transaction the server dropped must not run alone on a fresh session: a ROLLBACK
// has nothing left to undo, a COMMIT nothing to apply. A statement that would end a transaction
// anyway (a new one, a table dropped or made) starts afresh. False when `palabra` is not to be
// sent: refused (with the reason in fallo_), or a ROLLBACK with nothing left to do.
bool Conexion::seguirTrasPerdida(const QString& palabra) {
    if (!terminaTransaccion(palabra) || palabra == QLatin1String("COMMIT")) {
        fallo_ = {CR_SERVER_LOST, errorPerdida + QStringLiteral(" durante una transacción; sus "
                                                                "cambios no se aplicaron.")};
        if (palabra == QLatin1String("COMMIT")) transaccionPerdida_ = false;
        return false;
    }
    transaccionPerdida_ = false;
    return palabra != QLatin1String("ROLLBACK");
}

bool Conexion::disponer(const QString& palabra) {
    if (lectura_) lectura_->cerrar();
    fallo_ = FalloBase();
    if (!abierta()) {
        fallo_.texto = errorCerrada;
        return false;
    }
    if (!perdida_ && !transaccionPerdida_) comprobar();
    if (!fallo_.texto.isEmpty()) return false;
    if (transaccionPerdida_ && !seguirTrasPerdida(palabra)) return false;
    return !perdida_ || reabrir();
}

bool Conexion::correr(const QString& sql, const QVariantList& valores) {
    const QString palabra = primeraPalabra(sql);
    if (!disponer(palabra) || !enviar(sql, valores)) return false;
    usoReciente_.start();
    if (palabra == QLatin1String("START") || palabra == QLatin1String("BEGIN"))
        enTransaccion_ = true;
    else if (terminaTransaccion(palabra))
        enTransaccion_ = false;
    return true;
}

bool Conexion::enviar(const QString& sql, const QVariantList& valores) {
    QByteArray sentencia;
    QString problema;
    if (!armarSentencia(sesion_, sql, valores, &sentencia, &problema)) {
        fallo_ = {0, problema};
        return false;
    }
    // The rows of a load go only with the statement that asked for them.
    if (destino_.cargaLocal) ponerCarga(sesion_, carga_);
    const int estado = mysql_real_query(sesion_, sentencia.constData(),
                                        static_cast<unsigned long>(sentencia.size()));
    if (destino_.cargaLocal) ponerCarga(sesion_, nullptr);
    if (estado != 0) {
        anotarFallo(sql);
        return false;
    }
    return true;
}

bool Conexion::cargarLocal(const QString& sql, const FuenteCarga& fuente, QString* error) {
    if (!destino_.cargaLocal) {
        fallo_ = {0, QStringLiteral("esta sesión no se abrió para cargar datos locales")};
        if (error) *error = fallo_.texto;
        return false;
    }
    carga_ = &fuente;
    const bool hecho = ejecutar(sql, {}, error);
    carga_ = nullptr;
    return hecho;
}

void Conexion::cerrar() {
    if (lectura_) lectura_->cerrar();
    if (sesion_) mysql_close(sesion_);
    sesion_ = nullptr;
    destino_ = DestinoBase();
    perdida_ = enTransaccion_ = transaccionPerdida_ = false;
    usoReciente_.invalidate();
}

// ---------------------------------------------------------------------------------------------
// Transaccion

bool Transaccion::empezar(QString* error) {
    abierta_ = conexion_.ejecutar(QStringLiteral("START TRANSACTION"), {}, error);
    return abierta_;
}

bool Transaccion::confirmar(QString* error) {
    if (!abierta_) {
        if (error) *error = QStringLiteral("no hay una transacción abierta");
        return false;
    }
    if (!conexion_.ejecutar(QStringLiteral("COMMIT"), {}, error)) {
        deshacer();
        return false;
    }
    abierta_ = false;
    return true;
}

void Transaccion::deshacer() {
    if (abierta_ && conexion_.abierta()) conexion_.ejecutar(QStringLiteral("ROLLBACK"));
    abierta_ = false;
}
