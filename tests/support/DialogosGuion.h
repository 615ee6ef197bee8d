#pragma once
#include <QList>
#include <QMetaType>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <memory>

#include "dialogos/Dialogos.h"
#include "programa/Contexto.h"

// The dialogs of a test: every box is recorded and answered from a queue of answers (or, when the
// queue is empty, with the box's default button); beeps and opened documents are counted.
// In course for the lifetime of a GuionDialogos: a test's context (contextoDePrueba) speaks to it.
struct CajaMostrada {
    bool skin = false;  // the skinned box (Mensaje) rather than the platform's plain one
    QString texto;
    EstiloMensaje estilo;
    QString titulo;
    QString adicional;  // the caption of the box's extra button, if it has one
};

class DialogosGuion : public Dialogos {
public:
    Respuesta cajaSistema(const QString& texto, const EstiloMensaje& estilo,
                          const QString& titulo) override;
    Respuesta cajaSkin(const QString& texto, const EstiloMensaje& estilo, const QString& titulo,
                       const QString& boton = QString()) override;
    void beep() override { ++pitidos; }
    bool abrirDocumento(const QString& ruta) override {
        abiertos << ruta;
        return true;
    }

    QQueue<Respuesta> respuestas;
    QList<CajaMostrada> mostradas;
    int pitidos = 0;
    QStringList abiertos;

private:
    Respuesta responder(const CajaMostrada& caja);
};

// The boxes shown, one "[title|icon/buttons/default|text]" each, for a failure's message.
QString describir(const QList<CajaMostrada>& cajas);

class GuionDialogos {
public:
    GuionDialogos();
    ~GuionDialogos();
    GuionDialogos(const GuionDialogos&) = delete;
    GuionDialogos& operator=(const GuionDialogos&) = delete;
    DialogosGuion* operator->() const { return guion_.get(); }
    DialogosGuion& operator*() const { return *guion_; }

private:
    std::unique_ptr<DialogosGuion> guion_;
    DialogosGuion* anterior_;
};

// A context for a test whose messages go to the script of the GuionDialogos in course when they
// are shown (made before or after the context), or to the terminal while none is.
std::unique_ptr<Contexto> contextoDePrueba();

Q_DECLARE_METATYPE(Respuesta)
Q_DECLARE_METATYPE(EstiloMensaje)
