#include "ui/BotonDegradado.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

BotonDegradado::BotonDegradado(QWidget* padre) : QPushButton(padre) {
    setAttribute(Qt::WA_Hover);
    // Enter, as Space, presses the bar when it has the focus.
    setAutoDefault(true);
}

void BotonDegradado::setDibujo(DibujoControl dibujo) {
    dibujo_ = std::move(dibujo);
    update();
}

void BotonDegradado::setAlArrastrar(std::function<bool(int, const QPoint&)> alArrastrar) {
    alArrastrar_ = std::move(alArrastrar);
}

void BotonDegradado::paintEvent(QPaintEvent* evento) {
    if (!dibujo_) {
        QPushButton::paintEvent(evento);
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    dibujo_(p, *this, estadoDe(*this));
}

void BotonDegradado::mousePressEvent(QMouseEvent* evento) {
    arrastrando_ = false;
    pulsado_ = evento->globalPosition().toPoint();
    QPushButton::mousePressEvent(evento);
}

void BotonDegradado::mouseMoveEvent(QMouseEvent* evento) {
    if (arrastrando_) return;
    const QPoint global = evento->globalPosition().toPoint();
    if (alArrastrar_ &&
        (global - pulsado_).manhattanLength() >= QApplication::startDragDistance() &&
        alArrastrar_(static_cast<int>(evento->buttons()), global)) {
        arrastrando_ = true;
        setDown(false);
        return;
    }
    QPushButton::mouseMoveEvent(evento);
}

void BotonDegradado::mouseReleaseEvent(QMouseEvent* evento) {
    if (arrastrando_) {
        arrastrando_ = false;
        setDown(false);
        evento->accept();
        return;
    }
    QPushButton::mouseReleaseEvent(evento);
}
