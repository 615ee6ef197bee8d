#pragma once
#include <QPushButton>

#include "ui/ImagenMarco.h"

// The restore bar of a collapsed window: a command button painted as a gradient by the skin.
//
// A click restores the window; a move with a button held, once the mouse has left the press point
// by the platform's drag distance, goes to `alArrastrar` with the button state and the desktop
// position. When that answers true the bar is being dragged and the release is no click.
class BotonDegradado : public QPushButton {
    Q_OBJECT
public:
    explicit BotonDegradado(QWidget* padre = nullptr);
    void setDibujo(DibujoControl dibujo);
    void setAlArrastrar(std::function<bool(int botones, const QPoint& global)> alArrastrar);

protected:
    void paintEvent(QPaintEvent* evento) override;
    void mousePressEvent(QMouseEvent* evento) override;
    void mouseMoveEvent(QMouseEvent* evento) override;
    void mouseReleaseEvent(QMouseEvent* evento) override;

private:
    DibujoControl dibujo_;
    std::function<bool(int, const QPoint&)> alArrastrar_;
    QPoint pulsado_;
    bool arrastrando_ = false;
};
