#include "dialogos/Dialogos.h"

#include <cstdio>

namespace {
std::unique_ptr<Dialogos>& actuales() {
    static std::unique_ptr<Dialogos> instancia = std::make_unique<DialogosConsola>();
    return instancia;
}

Respuesta escribir(const QString& texto, const EstiloMensaje& estilo, const QString& titulo) {
    // Carriage returns separate lines in the program's texts; the terminal wants line feeds.
    QString linea = texto;
    linea.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(titulo), qUtf8Printable(linea));
    return estilo.porDefecto();
}
}  // namespace

Dialogos& dialogos() { return *actuales(); }

std::unique_ptr<Dialogos> ponerDialogos(std::unique_ptr<Dialogos> nuevos) {
    std::unique_ptr<Dialogos> anteriores = std::move(actuales());
    actuales() = nuevos ? std::move(nuevos) : std::make_unique<DialogosConsola>();
    return anteriores;
}

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
