#pragma once
#include <QPoint>

class QWidget;

// The user's drag of a borderless window by its background.
//
// With the button state exactly 1 (the left button alone) the window system's own move of the
// window starts (DeControles::MoverVentana); where the window system refuses it, the window follows
// the mouse itself until the left button is released. Any other button state does nothing.
// `global` is the mouse's position on the desktop at this move. True when a drag is under way.
bool ArrastrarVentana(int botones, QWidget* ventana, const QPoint& global);
