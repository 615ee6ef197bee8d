#include "basedatos/BasesDD.h"

#include <QStringList>

#include "basedatos/Sql.h"

// ---------------------------------------------------------------------------------------------
// BasesDD

void BasesDD::fallo(const QString& texto) {
    // The password is handed to the session alone and never put into a text, so the server's words
    // are shown whole: masking them would only blank out names that happen to contain it.
    error_ = texto;
}

bool BasesDD::AbrirBdD(Conexion& c, const QString& base, bool cargaLocal) {
    error_.clear();
    // Every session on the host's servers demands the TLS the host's installation asks for.
    if (c.abrir({cRuta, cUsuario, cPassword, base.isEmpty() ? baseGeneral : base, cPuerto,
                 TlsEnUso(), cargaLocal}))
        return true;
    fallo(c.ultimoError());
    return false;
}

bool BasesDD::mismoServidorYUsuario(const BasesDD& otro) const {
    return cRuta == otro.cRuta && cPuerto == otro.cPuerto && cUsuario == otro.cUsuario &&
           cPassword == otro.cPassword;
}

bool BasesDD::AbrirTabla(Recordset& rs, Conexion& c, const QString& origen, const QString& campos,
                         const QVariantList& valores) {
    rs.cerrar();
    error_.clear();
    QString lista = QStringLiteral("*");
    if (!campos.trimmed().isEmpty() && campos.trimmed() != lista) {
        QStringList citados;
        for (const QString& campo : campos.split(QLatin1Char(','))) {
            const QString limpio = campo.trimmed();
            if (limpio.isEmpty()) {
                fallo(
                    QStringLiteral("La lista de campos \"%1\" tiene un nombre vacío.").arg(campos));
                return false;
            }
            citados << citarIdentificador(limpio);
        }
        lista = citados.join(QLatin1Char(','));
    }
    if (!rs.abrir(c, QStringLiteral("SELECT %1 FROM %2").arg(lista, origen), valores)) {
        fallo(rs.ultimoError());
        return false;
    }
    return !rs.alFinal();
}

std::optional<QString> BasesDD::LeerConfig(const QString& nombre, Conexion& c) {
    Recordset rs;
    if (!AbrirTabla(rs, c, QStringLiteral("configuracion where Nombre=?"), QStringLiteral("Valor"),
                    {nombre}))
        return std::nullopt;
    return rs.campo(QStringLiteral("Valor")).toString();
}

void BasesDD::CierraTabla(Recordset& rs) { rs.cerrar(); }

void BasesDD::CierraBdD(Conexion& c) { c.cerrar(); }

QString BasesDD::ultimoError() const { return error_; }
