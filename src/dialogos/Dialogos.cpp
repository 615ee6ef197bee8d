#include "dialogos/Dialogos.h"

#include <cstdio>

namespace {
Respuesta escribir(const QString& texto, const EstiloMensaje& estilo, const QString& titulo) {
    // Carriage returns separate lines in the program's texts; the terminal wants line feeds.
    QString linea = texto;
    linea.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(titulo), qUtf8Printable(linea));
    return estilo.porDefecto();
}
}  // namespace

Respuesta DialogosConsola::cajaSistema(const QString& texto, const EstiloMensaje& estilo,
                                       const QString& titulo) {
    return escribir(texto, estilo, titulo);
}

Respuesta DialogosConsola::cajaSkin(const QString& texto, const EstiloMensaje& estilo,
                                    const QString& titulo, const QString&) {
    return escribir(texto, estilo, titulo);
}

void DialogosConsola::beep() {}

bool DialogosConsola::abrirDocumento(const QString& ruta) {
    std::fprintf(stderr, "%s\n", qUtf8Printable(ruta));
    return false;
}
