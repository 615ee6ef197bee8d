#pragma once
#include <QTableWidget>

// The company grid: a table whose row 0 is a fixed heading row and whose column 0 is a fixed
// column, addressed like the flexible grid it stands in for (Rows, Row, TextMatrix).
class RejaFlexible : public QTableWidget {
    Q_OBJECT
public:
    explicit RejaFlexible(QWidget* padre = nullptr);

    int Rows() const { return rowCount(); }
    void setRows(int filas);
    int Cols() const { return columnCount(); }
    void setCols(int columnas);
    // The current row: the row of the current cell, 0 when there is none.
    int Row() const;
    void setRow(int fila);
    QString TextMatrix(int fila, int columna) const;
    void setTextMatrix(int fila, int columna, const QString& texto);
    // Appends a row from a text whose tab characters separate the columns.
    void AddItem(const QString& texto);
    void setColWidthTwips(int columna, int twips);
    // 0 left and top, 4 centred.
    void setColAlignment(int columna, int alineacion);

protected:
    void mousePressEvent(QMouseEvent* evento) override;
    void paintEvent(QPaintEvent* evento) override;
    void focusInEvent(QFocusEvent* evento) override;
    void focusOutEvent(QFocusEvent* evento) override;

private:
    void darEstiloFijo(int fila, int columna);
    Qt::Alignment alineacionFija(int fila) const;
    QList<Qt::Alignment> alineaciones_;
};
