#pragma once
#include <QString>
#include <optional>

#include "anfitrion/Cifrado.h"

// The host installation found at start-up: its folder, its settings file talmira.ini (the host's
// stored settings, by key) and the key that enciphers the stored credentials, the host's own
// (selector 0) and those a company row keeps for a database on its own server (selectors 1 to 4).
class Instalacion {
public:
    static QString nombreArchivoAjustes();  // "talmira.ini"
    static QString seccionAjustes();        // section of talmira.ini holding the host's settings
    // The selector of the host's own credentials; a company's are 1 (server) to 4 (password).
    static constexpr int SelectorAnfitrion = 0;

    void ponerCarpeta(const QString& carpeta);
    QString carpeta() const { return carpeta_; }
    QString archivoAjustes() const;
    // The installation's cipher, loaded on first use; nullptr with a Spanish reason when the
    // installation has no usable key.
    const Cifrado* cifrado(QString* error = nullptr);

    // "" when no installation is at `carpeta`; otherwise the path of its settings file, and from
    // then on DatosTMW and GuardaDatosTMW address that installation.
    QString BuscarRegistroTMW(const QString& carpeta);
    QString DatosTMW(const QString& clave) const;
    bool GuardaDatosTMW(const QString& clave, const QString& valor, QString* error = nullptr);

    // Stored form of `texto` for `selector` at `lugar` (Cifrado::lugarAjuste, lugarEmpresa);
    // nullopt with the reason when the installation has no key.
    std::optional<QString> Encripta(const QString& texto, int selector, QString* error = nullptr,
                                    const QString& lugar = QString());
    // Plain text of a stored value; nullopt with the reason when it does not decipher for that
    // selector and place.
    std::optional<QString> DesEncripta(const QString& guardado, int selector,
                                       QString* error = nullptr, const QString& lugar = QString());

private:
    QString carpeta_;
    std::optional<Cifrado> cifrado_;
};
