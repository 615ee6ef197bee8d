#include "report/FusionEnDos.h"

#include <QRegularExpression>

#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"
#include "report/AvanceCompartido.h"
#include "report/FusionEmpresa.h"
#include "report/NombresTrabajo.h"

namespace {
// Below this many products in the first company, a second connection costs more than it saves.
constexpr qint64 ProductosParaPartir = 4000;
}  // namespace

std::optional<ComparacionClave> comparacionClave(Conexion& conexion, const QString& base,
                                                 const QString& tabla) {
    // The definition comes with an empty result's column while the session takes results
    // unconverted: the catalogue's tables would be built in temporary tables on the server, one
    // per company, for one column.
    if (!conexion.ejecutar(QStringLiteral("SET character_set_results = NULL"))) return std::nullopt;
    Recordset columna;
    const bool leida =
        columna.abrir(conexion, QStringLiteral("SELECT `Clave` FROM ") + citarIdentificador(base) +
                                    u'.' + citarIdentificador(tabla) + QStringLiteral(" LIMIT 0"));
    const std::optional<DefinicionTexto> c =
        leida ? columna.definicionTexto(0) : std::optional<DefinicionTexto>();
    columna.cerrar();
    if (!conexion.ejecutar(QStringLiteral("SET character_set_results = utf8mb4")) || !c)
        return std::nullopt;
    // The names go into statements' text (they cannot be bound): plain names only.
    static const QRegularExpression nombre(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!nombre.match(c->juego).hasMatch() || !nombre.match(c->cotejo).hasMatch() || c->largo <= 0)
        return std::nullopt;
    return *c;
}

bool comparaComoTrabajo(const std::optional<ComparacionClave>& empresa,
                        const ComparacionClave& trabajo) {
    return empresa && empresa->juego == trabajo.juego && empresa->cotejo == trabajo.cotejo &&
           empresa->largo <= trabajo.largo;
}

bool ParteClaves::directa(const std::optional<ComparacionClave>& empresa) const {
    return comparaComoTrabajo(empresa, trabajo);
}

std::optional<ParteClaves> partirClaves(Conexion& principal, const QString& base,
                                        const std::optional<QString>& corte) {
    const std::optional<ComparacionClave> trabajo =
        comparacionClave(principal, principal.base(), nombres::TablaTrabajo());
    if (!trabajo) return std::nullopt;
    const QString juego = trabajo->juego, cotejo = trabajo->cotejo;
    const qint64 largo = trabajo->largo;

    ParteClaves parte;
    if (corte) {
        parte.corte = *corte;
    } else {
        const QString productos = citarIdentificador(base) + QStringLiteral(".`productos`");
        Recordset cuenta;
        if (!cuenta.abrir(principal, QStringLiteral("SELECT COUNT(*) FROM ") + productos) ||
            cuenta.alFinal())
            return std::nullopt;
        const qint64 total = cuenta.valor(0).toLongLong();
        cuenta.cerrar();
        if (total < ProductosParaPartir) return std::nullopt;
        Recordset medio;
        if (!medio.abrir(
                principal,
                QStringLiteral("SELECT `Clave` FROM ") + productos +
                    QStringLiteral(" WHERE `Clave` IS NOT NULL ORDER BY `Clave` LIMIT 1 OFFSET ") +
                    QString::number(total / 2)) ||
            medio.alFinal() || medio.valor(0).isNull())
            return std::nullopt;
        parte.corte = medio.valor(0).toString();
    }
    // The code as the working table keeps and compares it: converted to its character set, cut
    // to its length, under its collation; the cut is converted alike.
    const QString usando =
        QStringLiteral(" USING ") + juego + QStringLiteral(") COLLATE ") + cotejo;
    const QString clave =
        QStringLiteral("CONVERT(LEFT(`Clave`, ") + QString::number(largo) + u')' + usando;
    const QString valorCorte = QStringLiteral("CONVERT(?") + usando;
    // A NULL code goes with the lower part, as it goes first in one pass.
    parte.baja =
        QStringLiteral("(`Clave` IS NULL OR ") + clave + QStringLiteral(" <= ") + valorCorte + u')';
    parte.alta = clave + QStringLiteral(" > ") + valorCorte;
    parte.bajaDirecta = QStringLiteral("(`Clave` IS NULL OR `Clave` <= ?)");
    parte.altaDirecta = QStringLiteral("`Clave` > ?");
    parte.trabajo = *trabajo;
    return parte;
}

bool fusionarParteAlta(Conexion& conexion, const QList<EmpresaParaMitad>& empresas,
                       const QString& columnaPrecio, const QString& destino,
                       const ParteClaves& parte, AvanceCompartido& avance, QString* error) {
    for (const EmpresaParaMitad& e : empresas) {
        // The order is given, so the company's own connection is never asked for.
        const FusionEmpresa f{conexion,
                              conexion,
                              e.base,
                              e.id,
                              e.posicion,
                              columnaPrecio,
                              destino,
                              [&avance, &e](const QString& clave) {
                                  avance.poner(e.base, clave);
                                  return true;
                              },
                              e.orden,
                              e.directa ? parte.altaDirecta : parte.alta,
                              parte.corte,
                              e.caben};
        if (!fusionarEnServidor(f, error)) return false;
    }
    return true;
}
