#include "ui/RejaFlexible.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>

#include "ui/Twips.h"

namespace {
const QColor ColorFijo(212, 208, 200);
// Width of the frame that shows the grid has the keyboard focus.
constexpr int AnchoMarcoFoco = 2;
}  // namespace

RejaFlexible::RejaFlexible(QWidget* padre) : QTableWidget(padre) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    verticalHeader()->setDefaultSectionSize(TwipsAPixeles(this, 255));
    // The heading row never becomes the current row (a click on it, the Up key): the current row
    // stays a company's, so space and the double-click always have one to tick.
    connect(this, &QTableWidget::currentCellChanged, this,
            [this](int fila, int columna, int antes) {
                if (fila == 0 && rowCount() > 1)
                    setCurrentCell(antes >= 1 && antes < rowCount() ? antes : 1, qMax(columna, 1));
            });
}

void RejaFlexible::mousePressEvent(QMouseEvent* evento) {
    // A press below the last row or beside the columns keeps the current row as it is.
    if (!indexAt(evento->position().toPoint()).isValid()) {
        setFocus(Qt::MouseFocusReason);
        evento->accept();
        return;
    }
    QTableWidget::mousePressEvent(evento);
}

void RejaFlexible::paintEvent(QPaintEvent* evento) {
    QTableWidget::paintEvent(evento);
    if (!hasFocus()) return;
    // The keys (space, the arrows) act on this grid: a frame in the selection's colour says so.
    QPainter p(viewport());
    p.setPen(QPen(palette().color(QPalette::Active, QPalette::Highlight), AnchoMarcoFoco));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(viewport()->rect()).adjusted(1, 1, -1, -1));
}

void RejaFlexible::focusInEvent(QFocusEvent* evento) {
    QTableWidget::focusInEvent(evento);
    viewport()->update();
}

void RejaFlexible::focusOutEvent(QFocusEvent* evento) {
    QTableWidget::focusOutEvent(evento);
    viewport()->update();
}

void RejaFlexible::setRows(int filas) {
    const int antes = rowCount();
    setRowCount(filas);
    for (int f = antes; f < filas; ++f)
        for (int c = 0; c < columnCount(); ++c)
            if (!item(f, c)) darEstiloFijo(f, c);
}

void RejaFlexible::setCols(int columnas) {
    setColumnCount(columnas);
    alineaciones_.resize(columnas, Qt::AlignLeft | Qt::AlignVCenter);
    for (int f = 0; f < rowCount(); ++f)
        for (int c = 0; c < columnas; ++c)
            if (!item(f, c)) darEstiloFijo(f, c);
}

int RejaFlexible::Row() const {
    const int fila = currentRow();
    return fila < 0 ? 0 : fila;
}

void RejaFlexible::setRow(int fila) {
    if (fila >= 0 && fila < rowCount()) setCurrentCell(fila, columnCount() > 1 ? 1 : 0);
}

QString RejaFlexible::TextMatrix(int fila, int columna) const {
    const QTableWidgetItem* celda = item(fila, columna);
    return celda ? celda->text() : QString();
}

void RejaFlexible::setTextMatrix(int fila, int columna, const QString& texto) {
    if (fila < 0 || fila >= rowCount() || columna < 0 || columna >= columnCount()) return;
    if (!item(fila, columna)) darEstiloFijo(fila, columna);
    item(fila, columna)->setText(texto);
}

void RejaFlexible::AddItem(const QString& texto) {
    const int fila = rowCount();
    setRows(fila + 1);
    const QStringList partes = texto.split(u'\t');
    for (int c = 0; c < columnCount() && c < partes.size(); ++c) setTextMatrix(fila, c, partes[c]);
}

void RejaFlexible::setColWidthTwips(int columna, int twips) {
    setColumnWidth(columna, TwipsAPixeles(this, twips));
}

void RejaFlexible::setColAlignment(int columna, int alineacion) {
    if (columna < 0 || columna >= alineaciones_.size()) return;
    alineaciones_[columna] = alineacion == 4 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop);
    for (int f = 1; f < rowCount(); ++f) {
        if (QTableWidgetItem* celda = item(f, columna))
            celda->setTextAlignment(alineaciones_[columna]);
        if (QTableWidgetItem* fija = item(f, 0); fija && columna == 1)
            fija->setTextAlignment(alineacionFija(f));
    }
}

Qt::Alignment RejaFlexible::alineacionFija(int fila) const {
    // A row's Id sits at the height of the name beside it.
    const Qt::Alignment vertical = fila > 0 && alineaciones_.size() > 1
                                       ? alineaciones_[1] & Qt::AlignVertical_Mask
                                       : Qt::AlignVCenter;
    return Qt::AlignLeft | vertical;
}

void RejaFlexible::darEstiloFijo(int fila, int columna) {
    auto* celda = new QTableWidgetItem;
    if (fila == 0 || columna == 0) {
        // The heading row and the Id column are fixed: never selected, drawn as headings.
        celda->setFlags(Qt::ItemIsEnabled);
        celda->setBackground(ColorFijo);
        celda->setTextAlignment(alineacionFija(fila));
    } else {
        celda->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        celda->setTextAlignment(alineaciones_.value(columna, Qt::AlignLeft | Qt::AlignVCenter));
    }
    setItem(fila, columna, celda);
}
