#include "ui/ImagenMarco.h"

#include <QPainter>

EstadoControl estadoDe(const QAbstractButton& control) {
    if (control.isDown()) return EstadoControl::Pulsado;
    return control.underMouse() ? EstadoControl::Encima : EstadoControl::Normal;
}

ImagenMarco::ImagenMarco(QWidget* padre) : QAbstractButton(padre) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
}

void ImagenMarco::setDibujo(DibujoControl dibujo) {
    dibujo_ = std::move(dibujo);
    update();
}

void ImagenMarco::paintEvent(QPaintEvent*) {
    if (!dibujo_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    dibujo_(p, *this, estadoDe(*this));
}
