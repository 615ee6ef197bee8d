#include "components/DeAcceso.h"

#include "components/Instalacion.h"

DeAcceso::DeAcceso(std::shared_ptr<Instalacion> instalacion)
    : instalacion_(std::move(instalacion)) {}

std::optional<QString> DeAcceso::DesEncripta(const QString& guardado, int selector, QString* error,
                                             const QString& lugar) {
    if (selector < 1 || selector > 4) {
        if (error) *error = QStringLiteral("selector de cifrado %1 desconocido").arg(selector);
        return std::nullopt;
    }
    const Cifrado* cifrado = instalacion_->cifrado(error);
    if (!cifrado) return std::nullopt;
    std::optional<QString> plano = cifrado->descifrar(guardado.trimmed(), selector, lugar);
    if (!plano && error)
        *error = cifrado->porQueNoDescifra(guardado, selector, instalacion_->carpeta());
    return plano;
}
