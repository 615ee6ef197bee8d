#include "report/FusionEnDos.h"

#include <QRegularExpression>
#include <chrono>

#include "components/BasesDD.h"
#include "components/Sql.h"
#include "report/FusionEmpresa.h"

namespace {
// Below this many products in the first company, a second connection costs more than it saves.
constexpr qint64 ProductosParaPartir = 4000;
}  // namespace

std::optional<ParteClaves> partirClaves(Conexion& principal, const QString& base, const std::optional<QString>& corte)
{
    Recordset columna;
    if (!columna.abrir(principal,
                       QStringLiteral("SELECT CHARACTER_SET_NAME, COLLATION_NAME, CHARACTER_MAXIMUM_LENGTH FROM "
                                      "information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                                      "TABLE_NAME = 'tbltempproductos' AND COLUMN_NAME = 'Clave'")) ||
        columna.alFinal())
        return std::nullopt;
    const QString juego = columna.valor(0).toString();
    const QString cotejo = columna.valor(1).toString();
    const qint64 largo = columna.valor(2).toLongLong();
    columna.cerrar();
    // The names go into the statement's text (they cannot be bound): plain names only.
    static const QRegularExpression nombre(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!nombre.match(juego).hasMatch() || !nombre.match(cotejo).hasMatch() || largo <= 0)
        return std::nullopt;

    ParteClaves parte;
    if (corte) {
        parte.corte = *corte;
    } else {
        const QString productos = citarIdentificador(base) + QStringLiteral(".`productos`");
        Recordset cuenta;
        if (!cuenta.abrir(principal, QStringLiteral("SELECT COUNT(*) FROM ") + productos) || cuenta.alFinal())
            return std::nullopt;
        const qint64 total = cuenta.valor(0).toLongLong();
        cuenta.cerrar();
        if (total < ProductosParaPartir)
            return std::nullopt;
        Recordset medio;
        if (!medio.abrir(principal, QStringLiteral("SELECT `Clave` FROM ") + productos +
                                        QStringLiteral(" WHERE `Clave` IS NOT NULL ORDER BY `Clave` LIMIT 1 OFFSET ") +
                                        QString::number(total / 2)) ||
            medio.alFinal() || medio.valor(0).isNull())
            return std::nullopt;
        parte.corte = medio.valor(0).toString();
    }
    // The code as the working table keeps and compares it: converted to its character set, cut
    // to its length, under its collation; the cut is converted alike.
    const QString usando = QStringLiteral(" USING ") + juego + QStringLiteral(") COLLATE ") + cotejo;
    const QString clave = QStringLiteral("CONVERT(LEFT(`Clave`, ") + QString::number(largo) + u')' + usando;
    const QString valorCorte = QStringLiteral("CONVERT(?") + usando;
    // A NULL code goes with the lower part, as it goes first in one pass.
    parte.baja = QStringLiteral("(`Clave` IS NULL OR ") + clave + QStringLiteral(" <= ") + valorCorte + u')';
    parte.alta = clave + QStringLiteral(" > ") + valorCorte;
    return parte;
}

MitadEnHilo::MitadEnHilo(Ajustes ajustes, QList<EmpresaParaMitad> empresas, QString columnaPrecio,
                         QString destino, ParteClaves parte)
    : ajustes_(std::move(ajustes)), empresas_(std::move(empresas)), columnaPrecio_(std::move(columnaPrecio)),
      destino_(std::move(destino)), parte_(std::move(parte))
{
}

MitadEnHilo::~MitadEnHilo()
{
    if (hilo_.joinable())
        hilo_.join();
}

void MitadEnHilo::empezar()
{
    hilo_ = std::thread([this] {
        correr();
        terminado_ = true;
    });
}

bool MitadEnHilo::esperar(int ms)
{
    const auto limite = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!terminado_ && std::chrono::steady_clock::now() < limite)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!terminado_)
        return false;
    if (hilo_.joinable())
        hilo_.join();
    return true;
}

void MitadEnHilo::correr()
{
    // The connection is made, used and closed on this thread, as the driver requires.
    BasesDD ajustes;
    ajustes.cRuta = ajustes_.servidor;
    ajustes.cUsuario = ajustes_.usuario;
    ajustes.cPassword = ajustes_.password;
    ajustes.cPuerto = ajustes_.puerto;
    Conexion conexion;
    if (!ajustes.AbrirBdD(conexion, ajustes_.base)) {
        error_ = ajustes.ultimoError();
        return;
    }
    for (const EmpresaParaMitad& e : std::as_const(empresas_)) {
        // The order is given, so the company's own connection is never asked for.
        const FusionEmpresa f{conexion, conexion, e.base, e.id, e.posicion, columnaPrecio_, destino_, {},
                              e.orden, parte_.alta, parte_.corte};
        if (!fusionarEnServidor(f, &error_))
            return;
    }
    bien_ = true;
}
