#include "ui/EntradaTexto.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

void EntradaTexto::Resalta(QLineEdit* caja) const {
    if (!caja) return;
    // After the focus change has been handled, or the click that gave the focus would undo it.
    QTimer::singleShot(0, caja, [caja] { caja->selectAll(); });
}

void EntradaTexto::Enter(int& codigoCaracter) const {
    if (codigoCaracter != 13) return;
    codigoCaracter = 0;
    if (QWidget* foco = QApplication::focusWidget()) {
        QKeyEvent tabulador(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(foco, &tabulador);
    }
}
