#pragma once
#include <QString>
#include <optional>

#include "components/Cifrado.h"

// The host installation found at start-up: its folder, its settings file talmira.ini and the key
// that enciphers its stored credentials. Shared by the host-settings, utility and access objects.
class Instalacion {
public:
    static QString nombreArchivoAjustes();  // "talmira.ini"
    static QString seccionAjustes();        // section of talmira.ini holding the host's settings

    void ponerCarpeta(const QString& carpeta);
    QString carpeta() const { return carpeta_; }
    QString archivoAjustes() const;
    // The installation's cipher, loaded on first use; nullptr with a Spanish reason when the
    // installation has no usable key.
    const Cifrado* cifrado(QString* error = nullptr);

private:
    QString carpeta_;
    std::optional<Cifrado> cifrado_;
};
