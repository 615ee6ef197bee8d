#pragma once
#include <QAbstractButton>
#include <functional>

// A frame control of the skinned window (minimise, close, logo): a clickable picture that takes no
// keyboard focus. Its look comes from the skin painter, which hands it a drawing for each state.
enum class EstadoControl { Normal, Encima, Pulsado };

using DibujoControl = std::function<void(QPainter&, const QAbstractButton&, EstadoControl)>;

EstadoControl estadoDe(const QAbstractButton& control);

class ImagenMarco : public QAbstractButton {
    Q_OBJECT
public:
    explicit ImagenMarco(QWidget* padre = nullptr);
    void setDibujo(DibujoControl dibujo);

protected:
    void paintEvent(QPaintEvent* evento) override;

private:
    DibujoControl dibujo_;
};
