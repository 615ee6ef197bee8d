#pragma once
#include <QRect>

class QWidget;

// Lengths of the window design are in twips (1/1440 inch); the screen works in pixels at its
// logical DPI (15 twips a pixel at 96 DPI).
//
// A window whose design is larger than the screen's free area (a large scale factor on a small
// screen) is drawn smaller as a whole: its twips become pixels at its scale times the DPI, and its
// controls, which convert through it, follow. The scale is 1 unless PonerEscalaTwips set another.
int TwipsAPixeles(const QWidget* w, double twips);
double PixelesATwips(const QWidget* w, int pixeles);
QRect RectTwips(const QWidget* w, int izquierda, int arriba, int ancho, int alto);

void PonerEscalaTwips(QWidget* ventana, double escala);
// The scale of the window `w` lies in; 1 for a window never given one.
double EscalaTwips(const QWidget* w);
// The largest scale, at most 1, at which a window of size `natural` fits in `disponible`.
double EscalaQueCabe(const QSize& natural, const QSize& disponible);
