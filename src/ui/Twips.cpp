#include "ui/Twips.h"

#include <QWidget>
#include <cmath>

namespace {
int dpi(const QWidget* w) { return w ? w->logicalDpiX() : 96; }
}  // namespace

int TwipsAPixeles(const QWidget* w, double twips) {
    return static_cast<int>(std::lround(twips * dpi(w) / 1440.0));
}

double PixelesATwips(const QWidget* w, int pixeles) { return pixeles * 1440.0 / dpi(w); }

QRect RectTwips(const QWidget* w, int izquierda, int arriba, int ancho, int alto) {
    return QRect(TwipsAPixeles(w, izquierda), TwipsAPixeles(w, arriba), TwipsAPixeles(w, ancho),
                 TwipsAPixeles(w, alto));
}
