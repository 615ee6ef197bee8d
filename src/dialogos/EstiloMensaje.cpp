#include "dialogos/EstiloMensaje.h"

using namespace respuesta;

EstiloMensaje EstiloMensaje::desde(int estilo) {
    EstiloMensaje e;
    switch (estilo & 0xF) {
        case 1:
            e.botones = {Aceptar, Cancelar};
            break;
        case 2:
            e.botones = {Anular, Reintentar, Omitir};
            break;
        case 3:
            e.botones = {Si, No, Cancelar};
            break;
        case 4:
            e.botones = {Si, No};
            break;
        case 5:
            e.botones = {Reintentar, Cancelar};
            break;
        default:
            e.botones = {Aceptar};
            break;
    }
    switch (estilo & 0xF0) {
        case 16:
            e.icono = IconoMensaje::Critico;
            break;
        case 32:
            e.icono = IconoMensaje::Pregunta;
            break;
        case 48:
            e.icono = IconoMensaje::Exclamacion;
            break;
        case 64:
            e.icono = IconoMensaje::Informacion;
            break;
        default:
            break;
    }
    const int indice = (estilo & 0xF00) >> 8;
    e.porDefecto = e.botones.value(indice < e.botones.size() ? indice : 0);
    // Closing the box counts as its Cancel button, else as No, else as its only button.
    if (e.botones.contains(Cancelar))
        e.alEscapar = Cancelar;
    else if (e.botones.contains(No))
        e.alEscapar = No;
    else
        e.alEscapar = e.botones.last();
    return e;
}
