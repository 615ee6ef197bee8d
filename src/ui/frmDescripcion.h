#pragma once
#include <QMargins>
#include <QWidget>

#include "programa/LugaresPrograma.h"

class Dialogos;
class QMenu;
class QMenuBar;
class QPlainTextEdit;

// The description window: the program's description file as plain text, and the menu of general
// options ("Uno") that the main window also pops up from its logo. It remembers its placement in
// the settings file of `lugares`, which outlive it.
class frmDescripcion : public QWidget {
    Q_OBJECT
public:
    frmDescripcion(const LugaresPrograma& lugares, Dialogos& dialogos, QWidget* padre = nullptr);

    QMenu* mnUno() const { return mnUno_; }
    QPlainTextEdit* rtbTexto() const { return rtbTexto_; }
    // Times the description file was read (tests).
    int lecturas() const { return lecturas_; }

protected:
    void showEvent(QShowEvent* evento) override;
    void changeEvent(QEvent* evento) override;
    void moveEvent(QMoveEvent* evento) override;
    void resizeEvent(QResizeEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;

private:
    void activar();
    void cargarDescripcion();
    void ajustarTexto();

    Dialogos& dialogos() const { return dialogos_; }
    const LugaresPrograma& lugares_;  // the run's, which outlive the window
    Dialogos& dialogos_;
    QMenuBar* barra_ = nullptr;
    QMenu* mnUno_ = nullptr;
    QPlainTextEdit* rtbTexto_ = nullptr;
    bool PrimeraActivacion = true;
    bool ajustada_ = false;     // fitted to the screen once framed
    QMargins bordesAjustados_;  // the window system's frame it was last fitted with
    int lecturas_ = 0;
};
