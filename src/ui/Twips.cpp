#include "ui/Twips.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {
const char* const PropiedadEscala = "escalaTwips";

double dpi(const QWidget* w) { return w ? w->logicalDpiX() * EscalaTwips(w) : 96.0; }
}  // namespace

int TwipsAPixeles(const QWidget* w, double twips) {
    return static_cast<int>(std::lround(twips * dpi(w) / 1440.0));
}

double PixelesATwips(const QWidget* w, int pixeles) { return pixeles * 1440.0 / dpi(w); }

QRect RectTwips(const QWidget* w, int izquierda, int arriba, int ancho, int alto) {
    return QRect(TwipsAPixeles(w, izquierda), TwipsAPixeles(w, arriba), TwipsAPixeles(w, ancho),
                 TwipsAPixeles(w, alto));
}

void PonerEscalaTwips(QWidget* ventana, double escala) {
    if (ventana) ventana->setProperty(PropiedadEscala, escala);
}

double EscalaTwips(const QWidget* w) {
    const QWidget* ventana = w ? w->window() : nullptr;
    if (!ventana) return 1.0;
    bool bien = false;
    const double escala = ventana->property(PropiedadEscala).toDouble(&bien);
    return bien && std::isfinite(escala) && escala > 0 ? escala : 1.0;
}

double EscalaQueCabe(const QSize& natural, const QSize& disponible) {
    if (natural.isEmpty() || disponible.isEmpty()) return 1.0;
    return std::min({1.0, double(disponible.width()) / natural.width(),
                     double(disponible.height()) / natural.height()});
}
