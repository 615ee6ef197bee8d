#pragma once
#include <QDialog>

#include "dialogos/Dialogos.h"
#include "dialogos/EstiloMensaje.h"

class QPushButton;

// The modal message box drawn in the program's skin: a title band, the icon of the style, the text
// and the buttons of the style, the default one focused. ejecutar() answers the
// button pressed, or the style's closing answer when the box is closed otherwise. An `adicional`
// caption adds a last button that answers Respuesta::Adicional.
class CajaSkin : public QDialog {
    Q_OBJECT
public:
    CajaSkin(QWidget* padre, const QString& texto, const EstiloMensaje& estilo,
             const QString& titulo, const QString& adicional = QString());
    Respuesta ejecutar();
    // The button that gives `respuesta` (for tests driving the box).
    QPushButton* boton(Respuesta respuesta) const;

protected:
    void paintEvent(QPaintEvent* evento) override;
    // Centred on the window it speaks for, wholly on the screen.
    void showEvent(QShowEvent* evento) override;
    void reject() override;

private:
    EstiloMensaje estilo_;
    QString titulo_;
    QList<QPushButton*> botones_;
};

// The real dialogs of the window program: the platform's message box, the skinned box, the beep
// and the desktop's opening of documents.
class DialogosVentanas : public Dialogos {
public:
    Respuesta cajaSistema(const QString& texto, const EstiloMensaje& estilo,
                          const QString& titulo) override;
    Respuesta cajaSkin(const QString& texto, const EstiloMensaje& estilo, const QString& titulo,
                       const QString& boton = QString()) override;
    void beep() override;
    bool abrirDocumento(const QString& ruta) override;
};
