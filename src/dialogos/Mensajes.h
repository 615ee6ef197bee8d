#pragma once
#include <QString>

// The message and the Yes/No question of the report and closing paths, shown in the program's
// skin through the dialog seam; each returns the code of the button pressed (respuesta::). When
// nobody is there to answer (Dialogos::desatendido: the session is ending) the text goes to the
// standard error and a question counts as answered No.
int Mensaje(const QString& texto, int estilo, const QString& titulo);

// Mensaje with one more button after the style's, captioned `boton`; pressing it answers
// respuesta::Adicional.
int MensajeConBoton(const QString& texto, int estilo, const QString& titulo, const QString& boton);

// Yes/No with the question icon (style 36, or 292 with No as the default button); true only for
// Yes.
bool Pregunta(const QString& texto, const QString& titulo, bool noPorDefecto);
