#include "dialogos/Mensajes.h"

#include <cstdio>

#include "dialogos/Dialogos.h"

Respuesta MensajeConBoton(Dialogos& dialogos, const QString& texto, const EstiloMensaje& estilo,
                          const QString& titulo, const QString& boton) {
    if (dialogos.desatendido()) {
        // No box that nobody would answer: the text is kept on the standard error and a question
        // counts as answered No.
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(titulo), qUtf8Printable(texto));
        return Respuesta::Ninguna;
    }
    return dialogos.cajaSkin(texto, estilo, titulo, boton);
}

Respuesta Mensaje(Dialogos& dialogos, const QString& texto, const EstiloMensaje& estilo,
                  const QString& titulo) {
    return MensajeConBoton(dialogos, texto, estilo, titulo, QString());
}

bool Pregunta(Dialogos& dialogos, const QString& texto, const QString& titulo, bool noPorDefecto) {
    const EstiloMensaje& estilo = noPorDefecto ? estilos::PreguntaNo : estilos::Pregunta;
    return Mensaje(dialogos, texto, estilo, titulo) == Respuesta::Si;
}
