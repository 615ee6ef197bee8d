#include "ui/DeControles.h"

#include <QColor>
#include <QTableWidget>
#include <QWidget>
#include <QWindow>

namespace {
const QColor BandaClara(255, 255, 255);
const QColor BandaOscura(255, 244, 232);
}  // namespace

void DeControles::ColorReja(QTableWidget* reja, int fila) const {
    if (!reja || fila < 1 || fila >= reja->rowCount()) return;
    const QColor color = (fila % 2 == 1) ? BandaClara : BandaOscura;
    // Column 0 is the fixed column and keeps its own look.
    for (int columna = 1; columna < reja->columnCount(); ++columna) {
        QTableWidgetItem* celda = reja->item(fila, columna);
        if (!celda) {
            celda = new QTableWidgetItem;
            reja->setItem(fila, columna, celda);
        }
        celda->setBackground(color);
    }
}

bool DeControles::MoverVentana(QWidget* ventana) const {
    if (!ventana) return false;
    QWindow* ventanaSistema = ventana->window()->windowHandle();
    return ventanaSistema && ventanaSistema->startSystemMove();
}
