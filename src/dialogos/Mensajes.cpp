#include "dialogos/Mensajes.h"

#include <cstdio>

#include "dialogos/Dialogos.h"
#include "dialogos/EstiloMensaje.h"

int MensajeConBoton(const QString& texto, int estilo, const QString& titulo, const QString& boton) {
    if (dialogos().desatendido()) {
        // No box that nobody would answer: the text is kept on the standard error and a question
        // counts as answered No.
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(titulo), qUtf8Printable(texto));
        return 0;
    }
    return dialogos().cajaSkin(texto, estilo, titulo, boton);
}

int Mensaje(const QString& texto, int estilo, const QString& titulo) {
    return MensajeConBoton(texto, estilo, titulo, QString());
}

bool Pregunta(const QString& texto, const QString& titulo, bool noPorDefecto) {
    const int estilo = 36 + (noPorDefecto ? 256 : 0);
    return Mensaje(texto, estilo, titulo) == respuesta::Si;
}
