#include "report/TurnoReporte.h"

#include <QElapsedTimer>

#include "basedatos/BasesDD.h"
#include "report/NombresTrabajo.h"

namespace {
// Each wait on the server is short, so the progress line keeps moving meanwhile.
constexpr double SegundosPorEspera = 0.2;
}  // namespace

bool TurnoReporte::intentar(double segundos, QString* error, bool* tomado) {
    Recordset r;
    if (!r.abrir(
            principal_,
            QStringLiteral("SELECT GET_LOCK(") + nombres::CerrojoTurno() + QStringLiteral(", ?)"),
            {segundos})) {
        if (error) *error = r.ultimoError();
        return false;
    }
    // 1 taken, 0 the wait ran out, NULL an error of the lock itself.
    const QVariant v = r.alFinal() ? QVariant() : r.valor(0);
    r.cerrar();
    if (v.isNull()) {
        if (error) *error = QStringLiteral("el servidor no dio el turno del reporte");
        return false;
    }
    *tomado = v.toInt() == 1;
    return true;
}

TurnoReporte::Resultado TurnoReporte::tomar(int esperaMs, const std::function<bool()>& esperando,
                                            QString* error) {
    if (tomado_) return Resultado::Tomado;
    QElapsedTimer reloj;
    reloj.start();
    bool tomado = false;
    if (!intentar(0, error, &tomado)) return Resultado::Fallo;
    while (!tomado) {
        if (reloj.elapsed() >= esperaMs) return Resultado::Agotado;
        if (esperando && !esperando()) return Resultado::Cancelado;
        if (!intentar(SegundosPorEspera, error, &tomado)) return Resultado::Fallo;
    }
    tomado_ = true;
    return Resultado::Tomado;
}

bool TurnoReporte::tomarSiLibre() {
    bool tomado = false;
    tomado_ = tomado_ || (intentar(0, nullptr, &tomado) && tomado);
    return tomado_;
}

void TurnoReporte::soltar() {
    if (!tomado_) return;
    tomado_ = false;
    principal_.ejecutar(QStringLiteral("DO RELEASE_LOCK(") + nombres::CerrojoTurno() + u')');
}

QString TextoEsperandoTurno() {
    return QStringLiteral("Esperando a que termine otro reporte en este servidor...");
}

QString TextoTurnoAgotado() {
    return QStringLiteral(
        "otro reporte en este servidor sigue usando la tabla de trabajo después de un minuto; "
        "inténtelo de nuevo cuando termine");
}
