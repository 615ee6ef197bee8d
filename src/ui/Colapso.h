#pragma once
#include <QPointF>

class QAbstractButton;
class QWidget;

// The collapse of a borderless window into a restore bar, and its restore.
//
// ReducirVentana shrinks the window to the size of its restore button, which sits at the window's
// top-left corner and shows the caption, and puts it at the lower left of its screen; the window's
// geometry before the collapse is kept in the button's "tag" property as whole twips: width, tab,
// height, tab, left, tab, top. AmpliarVentana reads that text back and restores the window. A
// window whose minimum and maximum sizes are equal keeps them equal to its new size.

// Where the collapsed window goes on a screen `altoPantalla` twips high: left 200 twips, its bottom
// edge 500 twips above the screen's bottom (both lengths in twips).
QPointF LugarReducido(double altoPantalla, double altoBoton);

void ReducirVentana(QWidget* ventana, QAbstractButton* boton);
// When the screen has changed size since the collapse, the window comes back where it is wholly
// visible. A tag without a positive width and height (no collapse wrote it) leaves everything as it
// is.
void AmpliarVentana(QWidget* ventana, QAbstractButton* boton);
