#pragma once
#include <QList>

// The Windows message-box flags in a style value, and the result codes of its buttons.
namespace respuesta {
constexpr int Aceptar = 1, Cancelar = 2, Anular = 3, Reintentar = 4, Omitir = 5, Si = 6, No = 7;
// The program's own button added after the style's (no Windows box has it).
constexpr int Adicional = 100;
}  // namespace respuesta

enum class IconoMensaje { Ninguno, Critico, Pregunta, Exclamacion, Informacion };

struct EstiloMensaje {
    QList<int> botones;  // result codes of the buttons, left to right
    IconoMensaje icono = IconoMensaje::Ninguno;
    int porDefecto = respuesta::Aceptar;  // result code of the default button
    int alEscapar = respuesta::Aceptar;   // result when the box is closed without a button

    // 0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/Cancel;
    // 16 critical, 32 question, 48 exclamation, 64 information; 256/512 second/third button
    // default.
    static EstiloMensaje desde(int estilo);
};
