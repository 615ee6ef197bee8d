#include "ui/RejaFlexible.h"

#include <QHeaderView>

#include "ui/Twips.h"

namespace {
const QColor ColorFijo(212, 208, 200);
}

RejaFlexible::RejaFlexible(QWidget* padre) : QTableWidget(padre)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    verticalHeader()->setDefaultSectionSize(TwipsAPixeles(this, 255));
}

void RejaFlexible::setRows(int filas)
{
    const int antes = rowCount();
    setRowCount(filas);
    for (int f = antes; f < filas; ++f)
        for (int c = 0; c < columnCount(); ++c)
            if (!item(f, c))
                darEstiloFijo(f, c);
}

void RejaFlexible::setCols(int columnas)
{
    setColumnCount(columnas);
    alineaciones_.resize(columnas, Qt::AlignLeft | Qt::AlignVCenter);
    for (int f = 0; f < rowCount(); ++f)
        for (int c = 0; c < columnas; ++c)
            if (!item(f, c))
                darEstiloFijo(f, c);
}

int RejaFlexible::Row() const
{
    const int fila = currentRow();
    return fila < 0 ? 0 : fila;
}

void RejaFlexible::setRow(int fila)
{
    if (fila >= 0 && fila < rowCount())
        setCurrentCell(fila, columnCount() > 1 ? 1 : 0);
}

QString RejaFlexible::TextMatrix(int fila, int columna) const
{
    const QTableWidgetItem* celda = item(fila, columna);
    return celda ? celda->text() : QString();
}

void RejaFlexible::setTextMatrix(int fila, int columna, const QString& texto)
{
    if (fila < 0 || fila >= rowCount() || columna < 0 || columna >= columnCount())
        return;
    if (!item(fila, columna))
        darEstiloFijo(fila, columna);
    item(fila, columna)->setText(texto);
}

void RejaFlexible::AddItem(const QString& texto)
{
    const int fila = rowCount();
    setRows(fila + 1);
    const QStringList partes = texto.split(u'\t');
    for (int c = 0; c < columnCount() && c < partes.size(); ++c)
        setTextMatrix(fila, c, partes[c]);
}

void RejaFlexible::setColWidthTwips(int columna, int twips)
{
    setColumnWidth(columna, TwipsAPixeles(this, twips));
}

void RejaFlexible::setColAlignment(int columna, int alineacion)
{
    if (columna < 0 || columna >= alineaciones_.size())
        return;
    alineaciones_[columna] = alineacion == 4 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop);
    for (int f = 1; f < rowCount(); ++f)
        if (QTableWidgetItem* celda = item(f, columna))
            celda->setTextAlignment(alineaciones_[columna]);
}

void RejaFlexible::darEstiloFijo(int fila, int columna)
{
    auto* celda = new QTableWidgetItem;
    if (fila == 0 || columna == 0) {
        // The heading row and the Id column are fixed: never selected, drawn as headings.
        celda->setFlags(Qt::ItemIsEnabled);
        celda->setBackground(ColorFijo);
        celda->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    } else {
        celda->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        celda->setTextAlignment(alineaciones_.value(columna, Qt::AlignLeft | Qt::AlignVCenter));
    }
    setItem(fila, columna, celda);
}
