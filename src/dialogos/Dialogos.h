#pragma once
#include <QString>

#include "dialogos/EstiloMensaje.h"

// Where the program meets the user with a message, a beep or a document to open.
//
// The window program shows real dialogs, the headless report writes to the terminal, and the tests
// answer from a script. Start-up puts the run's instance in its context (Contexto::dialogos), and
// every message box of the program passes through it, so none of them can block a test.
class Dialogos {
public:
    virtual ~Dialogos() = default;
    // The platform's plain message box; the answer is the button pressed.
    virtual Respuesta cajaSistema(const QString& texto, const EstiloMensaje& estilo,
                                  const QString& titulo) = 0;
    // The message box drawn in the program's skin. A non-empty `boton` adds one more button after
    // the style's, with that caption, which answers Respuesta::Adicional.
    virtual Respuesta cajaSkin(const QString& texto, const EstiloMensaje& estilo,
                               const QString& titulo, const QString& boton = QString()) = 0;
    virtual void beep() = 0;
    // Opens a file for the user in the desktop's own program, without waiting for it.
    virtual bool abrirDocumento(const QString& ruta) = 0;

    // Nobody is there to answer any more (the session is ending, the system asked the program to
    // end): the program's messages go to the standard error instead of a box (Mensaje).
    bool desatendido() const { return desatendido_; }
    void ponerDesatendido() { desatendido_ = true; }

private:
    bool desatendido_ = false;
};

// Answers every box with its default button and writes it to the terminal (headless runs).
class DialogosConsola : public Dialogos {
public:
    Respuesta cajaSistema(const QString& texto, const EstiloMensaje& estilo,
                          const QString& titulo) override;
    Respuesta cajaSkin(const QString& texto, const EstiloMensaje& estilo, const QString& titulo,
                       const QString& boton = QString()) override;
    void beep() override;
    bool abrirDocumento(const QString& ruta) override;
};
