#pragma once
#include <QList>

// The look of a message box (its buttons, its icon, which button is the default) and the answer it
// gives: the button pressed.
enum class Respuesta { Ninguna, Aceptar, Cancelar, Anular, Reintentar, Omitir, Si, No, Adicional };
// Adicional: the program's own button, added after the style's with a caption of the caller's.

enum class BotonesMensaje {
    Aceptar,
    AceptarCancelar,
    AnularReintentarOmitir,
    SiNoCancelar,
    SiNo,
    ReintentarCancelar
};

enum class IconoMensaje { Ninguno, Critico, Pregunta, Exclamacion, Informacion };

struct EstiloMensaje {
    BotonesMensaje botones = BotonesMensaje::Aceptar;
    IconoMensaje icono = IconoMensaje::Ninguno;
    int predeterminado = 0;  // the default button, counted from the left; past the last, the first

    // The answers of the buttons, left to right.
    QList<Respuesta> respuestas() const;
    Respuesta porDefecto() const;
    // The answer when the box is closed without a button: its Cancel, else its No, else its only
    // button.
    Respuesta alEscapar() const;

    friend bool operator==(const EstiloMensaje&, const EstiloMensaje&) = default;
};

// The styles the program shows.
namespace estilos {
inline constexpr EstiloMensaje Aviso{};  // OK, no icon: a workbook written
inline constexpr EstiloMensaje Alto{BotonesMensaje::Aceptar, IconoMensaje::Critico};
inline constexpr EstiloMensaje Advertencia{BotonesMensaje::Aceptar, IconoMensaje::Exclamacion};
inline constexpr EstiloMensaje Pregunta{BotonesMensaje::SiNo, IconoMensaje::Pregunta};
// The same question with No as the default button, for what cannot be undone.
inline constexpr EstiloMensaje PreguntaNo{BotonesMensaje::SiNo, IconoMensaje::Pregunta, 1};
}  // namespace estilos
