#include "ui/Arrastre.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include "ui/DeControles.h"

namespace {
const QString Nombre = QStringLiteral("seguidorRaton");

// Moves a window with the mouse, keeping the point where it was taken under the pointer, until the
// left button goes up. It watches every mouse event of the application, since the press that
// started the drag may belong to any control of the window.
class SeguidorRaton : public QObject {
public:
    SeguidorRaton(QWidget* ventana, const QPoint& global)
        : QObject(ventana), ventana_(ventana), agarre_(global - ventana->pos()) {
        setObjectName(Nombre);
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (terminado_ || !ventana_) return QObject::eventFilter(objeto, evento);
        if (evento->type() == QEvent::MouseMove) {
            const auto* raton = static_cast<QMouseEvent*>(evento);
            if (raton->buttons() & Qt::LeftButton)
                ventana_->move(raton->globalPosition().toPoint() - agarre_);
        } else if (evento->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(evento)->button() == Qt::LeftButton) {
            terminado_ = true;
            setObjectName(QString());
            deleteLater();
        }
        return QObject::eventFilter(objeto, evento);
    }

private:
    QPointer<QWidget> ventana_;
    QPoint agarre_;
    bool terminado_ = false;
};
}  // namespace

bool ArrastrarVentana(int botones, QWidget* ventana, const QPoint& global) {
    if (botones != 1 || !ventana) return false;
    QWidget* marco = ventana->window();
    if (DeControles().MoverVentana(marco)) return true;
    if (!marco->findChild<QObject*>(Nombre, Qt::FindDirectChildrenOnly))
        new SeguidorRaton(marco, global);
    return true;
}
