#pragma once
#include <QPointer>
#include <QWidget>

#include "startup/Arranque.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class RejaFlexible;
class frmDescripcion;

// The main window: the company grid, the price level, the file name and "Generar archivo".
//
// Start-up (startup/) has already found the host and gathered the initial content; the window lays
// out its controls from the design in twips, shows that content, and turns a click on
// "Generar archivo" into a report run of report/.
class frmInicial : public QWidget {
    Q_OBJECT
public:
    explicit frmInicial(QWidget* padre = nullptr);

    // Puts the initial content into the controls, the version into the caption and the server
    // and database into lblMuestra.
    void mostrarDatos(const DatosIniciales& datos);

    // The click on cmdReporte.
    void cmdReporte_Click();
    // Toggles the tick of the grid's current row (space or double-click); the heading row never.
    void marcarDesmarcar();
    // Shows the one description window, creating it when it does not exist (F1).
    void mostrarDescripcion();
    // The description window, creating it hidden when it does not exist (the logo menu needs it).
    frmDescripcion* descripcion(bool crear = true);
    // A close asked for by the program (close control, Alt+F4): asks before closing.
    void cerrarDesdePrograma();

    // The caption of lblMuestra as the program set it (the label shows its carriage return as a
    // line break).
    QString textoMuestra() const { return textoMuestra_; }

    RejaFlexible* mfgEmpresas() const { return mfgEmpresas_; }
    QComboBox* cmbPrecios() const { return cmbPrecios_; }
    QLineEdit* txtArchivo() const { return txtArchivo_; }
    QLabel* Label4() const { return Label4_; }
    QPushButton* cmdReporte() const { return cmdReporte_; }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;
    void mouseDoubleClickEvent(QMouseEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;

private:
    // Keys every control of the window hands on first (F1, Alt+F4); true when handled.
    bool teclaDeVentana(QKeyEvent* evento);
    void descargar();
    QLabel* etiqueta(const QString& nombre, const QString& texto, int x, int y, int ancho, int alto);
    void ponerProgreso(const QString& texto);

    QLabel* lblMuestra_ = nullptr;
    QComboBox* cmbPrecios_ = nullptr;
    QLineEdit* txtArchivo_ = nullptr;
    RejaFlexible* mfgEmpresas_ = nullptr;
    QLabel* Label4_ = nullptr;
    QPushButton* cmdReporte_ = nullptr;
    QString textoMuestra_;
    QPointer<frmDescripcion> descripcion_;
    bool cierrePorPrograma_ = false;
    int filaMarcada_ = 0;
};
