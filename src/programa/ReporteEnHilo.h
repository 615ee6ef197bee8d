#pragma once
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

#include "report/Reporte.h"

class QThread;

// A report run on a thread of its own, so that the window that asked for it keeps painting and
// answering its window system while the report works, without pumping its events.
//
// The request's sessions pass to that thread for the run: nothing else touches them until
// `terminado`. The progress line comes back as `avance` (at the report's own pace, a few times a
// second) and the outcome as `terminado`, both delivered on the thread that started the run.
class ReporteEnHilo : public QObject {
    Q_OBJECT
public:
    explicit ReporteEnHilo(QObject* padre = nullptr);
    // A run still going is cut short and waited for.
    ~ReporteEnHilo() override;

    void iniciar(const SolicitudReporte& solicitud, ConexionesReporte conexiones);
    bool enCurso() const { return hilo_ != nullptr; }
    // Cuts the run short at its next progress refresh: no workbook written, an earlier one kept.
    void detener() { detener_ = true; }
    bool detenido() const { return detener_; }

signals:
    void avance(const QString& linea);
    void terminado(const ResultadoReporte& resultado);

private:
    void alTerminar();

    std::unique_ptr<QThread> hilo_;
    std::atomic<bool> detener_{false};
    ResultadoReporte resultado_;
};
