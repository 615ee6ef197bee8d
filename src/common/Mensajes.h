#pragma once
#include <QString>

// The message and the Yes/No question of the report and closing paths, shown in the program's skin.
//
// Mensaje hands the text to the utilities object's skinned box and returns the Windows code of the
// button pressed; when that object is missing or fails it reports the failure itself in the plain
// system box ("Error <number>, <description>") and returns 0. It never raises to its caller.
quint8 Mensaje(const QString& texto, int estilo, const QString& titulo,
               const QString& archivoAyuda = QString(), int contextoAyuda = 0, quint8 extra = 0);

// Mensaje with one more button after the style's, captioned `boton`; pressing it answers
// respuesta::Adicional.
quint8 MensajeConBoton(const QString& texto, int estilo, const QString& titulo,
                       const QString& boton);

// Yes/No with the question icon (style 36, or 292 with No as the default button); true only for
// Yes.
bool Pregunta(const QString& texto, const QString& titulo, bool noPorDefecto);
