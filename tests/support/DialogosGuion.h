#pragma once
#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include "dialogos/Dialogos.h"

// The dialogs of a test: every box is recorded and answered from a queue of Windows result
// codes (or, when the queue is empty, with the box's default button); beeps and opened documents
// are counted. Installed for the lifetime of a GuionDialogos.
struct CajaMostrada {
    bool skin = false;  // the skinned box (Mensaje) rather than the platform's plain one
    QString texto;
    int estilo = 0;
    QString titulo;
    QString adicional;  // the caption of the box's extra button, if it has one
};

class DialogosGuion : public Dialogos {
public:
    int cajaSistema(const QString& texto, int estilo, const QString& titulo) override;
    int cajaSkin(const QString& texto, int estilo, const QString& titulo,
                 const QString& boton = QString()) override;
    void beep() override { ++pitidos; }
    bool abrirDocumento(const QString& ruta) override {
        abiertos << ruta;
        return true;
    }

    QQueue<int> respuestas;
    QList<CajaMostrada> mostradas;
    int pitidos = 0;
    QStringList abiertos;

private:
    int responder(const CajaMostrada& caja);
};

class GuionDialogos {
public:
    GuionDialogos();
    ~GuionDialogos();
    GuionDialogos(const GuionDialogos&) = delete;
    GuionDialogos& operator=(const GuionDialogos&) = delete;
    DialogosGuion* operator->() const { return guion_; }
    DialogosGuion& operator*() const { return *guion_; }

private:
    DialogosGuion* guion_;
    std::unique_ptr<Dialogos> anteriores_;
};
