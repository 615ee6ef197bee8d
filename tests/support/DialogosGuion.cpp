#include "DialogosGuion.h"

#include <QStringList>

Respuesta DialogosGuion::responder(const CajaMostrada& caja) {
    mostradas << caja;
    return respuestas.isEmpty() ? caja.estilo.porDefecto() : respuestas.dequeue();
}

Respuesta DialogosGuion::cajaSistema(const QString& texto, const EstiloMensaje& estilo,
                                     const QString& titulo) {
    return responder({false, texto, estilo, titulo});
}

Respuesta DialogosGuion::cajaSkin(const QString& texto, const EstiloMensaje& estilo,
                                  const QString& titulo, const QString& boton) {
    return responder({true, texto, estilo, titulo, boton});
}

GuionDialogos::GuionDialogos() {
    auto guion = std::make_unique<DialogosGuion>();
    guion_ = guion.get();
    anteriores_ = ponerDialogos(std::move(guion));
}

GuionDialogos::~GuionDialogos() { ponerDialogos(std::move(anteriores_)); }

QString describir(const QList<CajaMostrada>& cajas) {
    QStringList partes;
    for (const CajaMostrada& c : cajas)
        partes << QStringLiteral("[%1|%2/%3/%4|%5]")
                      .arg(c.titulo)
                      .arg(static_cast<int>(c.estilo.icono))
                      .arg(static_cast<int>(c.estilo.botones))
                      .arg(c.estilo.predeterminado)
                      .arg(c.texto);
    return partes.join(u' ');
}
