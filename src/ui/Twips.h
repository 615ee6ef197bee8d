#pragma once
#include <QRect>

class QWidget;

// Lengths of the window design are in twips (1/1440 inch); the screen works in pixels at its
// logical DPI (15 twips a pixel at 96 DPI).
int TwipsAPixeles(const QWidget* w, double twips);
double PixelesATwips(const QWidget* w, int pixeles);
QRect RectTwips(const QWidget* w, int izquierda, int arriba, int ancho, int alto);
