#include "DialogosGuion.h"

#include <QStringList>
#include <utility>

Respuesta DialogosGuion::responder(const CajaMostrada& caja) {
    mostradas << caja;
    return respuestas.isEmpty() ? caja.estilo.porDefecto() : respuestas.dequeue();
}

Respuesta DialogosGuion::cajaSistema(const QString& texto, const EstiloMensaje& estilo,
                                     const QString& titulo) {
    return responder({false, texto, estilo, titulo});
}

Respuesta DialogosGuion::cajaSkin(const QString& texto, const EstiloMensaje& estilo,
                                  const QString& titulo, const QString& boton) {
    return responder({true, texto, estilo, titulo, boton});
}

namespace {
DialogosGuion* enCurso = nullptr;

// What a test's context speaks to: the script in course at the time of each box.
class DialogosDePrueba : public Dialogos {
public:
    Respuesta cajaSistema(const QString& texto, const EstiloMensaje& estilo,
                          const QString& titulo) override {
        return actual().cajaSistema(texto, estilo, titulo);
    }
    Respuesta cajaSkin(const QString& texto, const EstiloMensaje& estilo, const QString& titulo,
                       const QString& boton) override {
        return actual().cajaSkin(texto, estilo, titulo, boton);
    }
    void beep() override { actual().beep(); }
    bool abrirDocumento(const QString& ruta) override { return actual().abrirDocumento(ruta); }

private:
    Dialogos& actual() { return enCurso ? static_cast<Dialogos&>(*enCurso) : consola_; }
    DialogosConsola consola_;
};
}  // namespace

GuionDialogos::GuionDialogos()
    : guion_(std::make_unique<DialogosGuion>()), anterior_(std::exchange(enCurso, guion_.get())) {}

GuionDialogos::~GuionDialogos() { enCurso = anterior_; }

std::unique_ptr<Contexto> contextoDePrueba() {
    auto contexto = std::make_unique<Contexto>();
    contexto->dialogos = std::make_shared<DialogosDePrueba>();
    return contexto;
}

QString describir(const QList<CajaMostrada>& cajas) {
    QStringList partes;
    for (const CajaMostrada& c : cajas)
        partes << QStringLiteral("[%1|%2/%3/%4|%5]")
                      .arg(c.titulo)
                      .arg(static_cast<int>(c.estilo.icono))
                      .arg(static_cast<int>(c.estilo.botones))
                      .arg(c.estilo.predeterminado)
                      .arg(c.texto);
    return partes.join(u' ');
}
