#pragma once
#include <QString>
#include <functional>

class Conexion;

// The turn of one report on a host database.
//
// The working table tbltempproductos is one for each host database, so two copies of the program
// (two desks, or a scheduled --reporte and a person) reporting on the same host take turns: a
// report holds a lock of the server, named after the host database, from the moment it drops the
// working table until its workbook is written. The server frees the lock when the connection
// that holds it ends, so a report that died never blocks the next one.
class TurnoReporte {
public:
    explicit TurnoReporte(Conexion& principal) : principal_(principal) {}
    ~TurnoReporte() { soltar(); }
    TurnoReporte(const TurnoReporte&) = delete;
    TurnoReporte& operator=(const TurnoReporte&) = delete;

    enum class Resultado { Tomado, Agotado, Cancelado, Fallo };
    // Takes the turn, waiting up to `esperaMs` milliseconds while another report holds it;
    // `esperando` runs between short waits and answers false to stop waiting (Cancelado). Fallo
    // with the server's error in `error`.
    Resultado tomar(int esperaMs, const std::function<bool()>& esperando, QString* error);
    void soltar();
    bool tomado() const { return tomado_; }

    // The turn taken only when nobody holds it, for dropping the working table at a close that
    // must not take it from under another report.
    bool tomarSiLibre();

private:
    bool intentar(double segundos, QString* error, bool* tomado);

    Conexion& principal_;
    bool tomado_ = false;
};

// How long a report waits for its turn before it gives up: a minute.
inline constexpr int EsperaTurnoMs = 60000;

// "Esperando a que termine otro reporte en este servidor...": the progress line while waiting.
QString TextoEsperandoTurno();
// Why a report gave up waiting for its turn.
QString TextoTurnoAgotado();
