#pragma once
#include <QDeadlineTimer>
#include <QTest>

// Waits, letting the window's events run, until the report a click started on `ventana` (a
// frmInicial) has ended and its outcome has been told; false when it runs past `limiteMs`.
template <class Ventana>
bool esperarReporte(const Ventana& ventana, int limiteMs = 300000) {
    const QDeadlineTimer limite(limiteMs);
    while (ventana.reporteEnCurso()) {
        if (limite.hasExpired()) return false;
        QTest::qWait(5);
    }
    return true;
}
