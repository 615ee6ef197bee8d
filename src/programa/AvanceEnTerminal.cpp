#include "programa/AvanceEnTerminal.h"

#include <cstdio>

#include "plataforma/Proceso.h"

AvanceEnTerminal::AvanceEnTerminal(bool silencio) : activo_(!silencio && ErrorEnTerminal()) {}

AvanceEnTerminal::~AvanceEnTerminal() { borrar(); }

void AvanceEnTerminal::mostrar(const QString& linea) {
    if (!activo_ || linea == ultima_) return;
    const qsizetype sobra = ultima_.size() - linea.size();
    escribir(u'\r' + linea + QString(sobra > 0 ? sobra : 0, u' '));
    ultima_ = linea;
}

void AvanceEnTerminal::borrar() {
    if (!activo_ || ultima_.isEmpty()) return;
    escribir(u'\r' + QString(ultima_.size(), u' ') + u'\r');
    ultima_.clear();
}

void AvanceEnTerminal::escribir(const QString& texto) {
    std::fputs(qUtf8Printable(texto), stderr);
    std::fflush(stderr);
}
