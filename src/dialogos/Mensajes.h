#pragma once
#include <QString>

#include "dialogos/EstiloMensaje.h"

class Dialogos;

// The message and the Yes/No question of the report and closing paths, shown in the program's
// skin through `dialogos`; each answers the button pressed. When nobody is there to answer
// (Dialogos::desatendido: the session is ending) the text goes to the standard error and the
// answer is Respuesta::Ninguna, which no question takes for Yes.
Respuesta Mensaje(Dialogos& dialogos, const QString& texto, const EstiloMensaje& estilo,
                  const QString& titulo);

// Mensaje with one more button after the style's, captioned `boton`; pressing it answers
// Respuesta::Adicional.
Respuesta MensajeConBoton(Dialogos& dialogos, const QString& texto, const EstiloMensaje& estilo,
                          const QString& titulo, const QString& boton);

// Yes/No with the question icon, No the default button when `noPorDefecto`; true only for Yes.
bool Pregunta(Dialogos& dialogos, const QString& texto, const QString& titulo, bool noPorDefecto);
