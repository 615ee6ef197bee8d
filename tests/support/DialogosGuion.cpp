#include "DialogosGuion.h"

#include "dialogos/EstiloMensaje.h"

int DialogosGuion::responder(const CajaMostrada& caja) {
    mostradas << caja;
    return respuestas.isEmpty() ? EstiloMensaje::desde(caja.estilo).porDefecto
                                : respuestas.dequeue();
}

int DialogosGuion::cajaSistema(const QString& texto, int estilo, const QString& titulo) {
    return responder({false, texto, estilo, titulo});
}

int DialogosGuion::cajaSkin(const QString& texto, int estilo, const QString& titulo,
                            const QString& boton) {
    return responder({true, texto, estilo, titulo, boton});
}

GuionDialogos::GuionDialogos() {
    auto guion = std::make_unique<DialogosGuion>();
    guion_ = guion.get();
    anteriores_ = ponerDialogos(std::move(guion));
}

GuionDialogos::~GuionDialogos() { ponerDialogos(std::move(anteriores_)); }
