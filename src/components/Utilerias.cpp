#include "components/Utilerias.h"

#include "components/Dialogos.h"
#include "components/Instalacion.h"

namespace {
// Selector of the host's own credentials; companies use 1 to 4.
constexpr int SelectorAnfitrion = 0;
}  // namespace

Utilerias::Utilerias(std::shared_ptr<Instalacion> instalacion)
    : instalacion_(std::move(instalacion)) {}

std::optional<QString> Utilerias::Encripta(const QString& texto, QString* error,
                                           const QString& lugar) {
    const Cifrado* cifrado = instalacion_->cifrado(error);
    if (!cifrado) return std::nullopt;
    return cifrado->cifrar(texto, SelectorAnfitrion, lugar);
}

std::optional<QString> Utilerias::DesEncripta(const QString& guardado, QString* error,
                                              const QString& lugar) {
    const Cifrado* cifrado = instalacion_->cifrado(error);
    if (!cifrado) return std::nullopt;
    std::optional<QString> plano = cifrado->descifrar(guardado.trimmed(), SelectorAnfitrion, lugar);
    if (!plano && error)
        *error = cifrado->porQueNoDescifra(guardado, SelectorAnfitrion, instalacion_->carpeta());
    return plano;
}

QString Utilerias::CambXXX(const QString& plantilla, const QString& valor) const {
    QString texto = plantilla;
    return texto.replace(QStringLiteral("XXX"), valor);
}

int Utilerias::MsgBoxSkn(const QString& texto, int estilo, const QString& titulo, quint8,
                         const QString& boton) {
    return dialogos().cajaSkin(texto, estilo, titulo, boton);
}
