#include "dialogos/EstiloMensaje.h"

QList<Respuesta> EstiloMensaje::respuestas() const {
    switch (botones) {
        case BotonesMensaje::AceptarCancelar:
            return {Respuesta::Aceptar, Respuesta::Cancelar};
        case BotonesMensaje::AnularReintentarOmitir:
            return {Respuesta::Anular, Respuesta::Reintentar, Respuesta::Omitir};
        case BotonesMensaje::SiNoCancelar:
            return {Respuesta::Si, Respuesta::No, Respuesta::Cancelar};
        case BotonesMensaje::SiNo:
            return {Respuesta::Si, Respuesta::No};
        case BotonesMensaje::ReintentarCancelar:
            return {Respuesta::Reintentar, Respuesta::Cancelar};
        case BotonesMensaje::Aceptar:
            break;
    }
    return {Respuesta::Aceptar};
}

Respuesta EstiloMensaje::porDefecto() const {
    const QList<Respuesta> todas = respuestas();
    return todas.value(predeterminado >= 0 && predeterminado < todas.size() ? predeterminado : 0);
}

Respuesta EstiloMensaje::alEscapar() const {
    const QList<Respuesta> todas = respuestas();
    if (todas.contains(Respuesta::Cancelar)) return Respuesta::Cancelar;
    if (todas.contains(Respuesta::No)) return Respuesta::No;
    return todas.last();
}
