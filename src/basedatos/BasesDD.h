#pragma once
#include <QString>
#include <QVariantList>
#include <optional>

#include "basedatos/Conexion.h"

// A server's settings (host, port, user, password, and the database to open) and table helpers;
// one object per use: the program keeps a shared one for the host's server, the report makes one
// for each company's, and a second connection's thread (TrabajoEnHilo) opens on a copy of the
// host's. AbrirBdD makes of them the session's own input (DestinoBase), with the TLS the host's
// installation asks for.
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
    // open. `cargaLocal`: the session may load rows from memory (Conexion::cargarLocal).
    bool AbrirBdD(Conexion& c, const QString& base = QString(), bool cargaLocal = false);
    // Whether `otro` names the same server (host and port) and logs in as the same user with the
    // same password: then a session on either reaches what the other's user may.
    bool mismoServidorYUsuario(const BasesDD& otro) const;

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
