#include "common/Mensajes.h"

#include <cstdio>

#include "common/Programa.h"
#include "components/Dialogos.h"
#include "components/EstiloMensaje.h"
#include "components/Utilerias.h"

namespace {
void informarError(int numero, const QString& descripcion) {
    dialogos().cajaSistema(QStringLiteral("Error %1, %2").arg(numero).arg(descripcion), 16,
                           QStringLiteral("Error"));
}

// The run-time's number and text for a call on an object variable that holds no object.
constexpr int ErrorSinObjeto = 91;
const char16_t* const TextoSinObjeto = u"Variable de objeto o bloque With no establecido";

quint8 mostrar(const QString& texto, int estilo, const QString& titulo, quint8 extra,
               const QString& boton) {
    if (programa().desatendido) {
        // No box that nobody would answer: the text is kept on the standard error and a question
        // counts as answered No.
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(titulo), qUtf8Printable(texto));
        return 0;
    }
    Utilerias* utilerias = programa().utilerias.get();
    if (!utilerias) {
        // Without the object neither the main window nor the box can be handed over; the user
        // sees one report and the question counts as answered No.
        informarError(ErrorSinObjeto, QString::fromUtf16(TextoSinObjeto));
        return 0;
    }
    utilerias->ElMenu = programa().ventanaPrincipal;
    const int codigo = utilerias->MsgBoxSkn(texto, estilo, titulo, extra, boton);
    if (codigo < 0 || codigo > 255) {
        informarError(6, QStringLiteral("Desbordamiento"));
        return 0;
    }
    return static_cast<quint8>(codigo);
}
}  // namespace

quint8 Mensaje(const QString& texto, int estilo, const QString& titulo, const QString&, int,
               quint8 extra) {
    return mostrar(texto, estilo, titulo, extra, QString());
}

quint8 MensajeConBoton(const QString& texto, int estilo, const QString& titulo,
                       const QString& boton) {
    return mostrar(texto, estilo, titulo, 0, boton);
}

bool Pregunta(const QString& texto, const QString& titulo, bool noPorDefecto) {
    const int estilo = 36 + (noPorDefecto ? 256 : 0);
    return Mensaje(texto, estilo, titulo, QString(), 0, 0) == respuesta::Si;
}
