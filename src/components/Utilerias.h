#pragma once
#include <QString>
#include <memory>
#include <optional>

class Instalacion;
class QObject;

// General utilities: the host's cipher of its own user and password, text substitution and the
// skinned message box.
class Utilerias {
public:
    explicit Utilerias(std::shared_ptr<Instalacion> instalacion);

    // Stored form of a host credential; nullopt with the reason when the installation has no key.
    std::optional<QString> Encripta(const QString& texto, QString* error = nullptr,
                                    const QString& lugar = QString());
    // Plain text of a stored host credential; nullopt when it does not decipher.
    std::optional<QString> DesEncripta(const QString& guardado, QString* error = nullptr,
                                       const QString& lugar = QString());
    // `plantilla` with every "XXX" replaced by `valor`.
    QString CambXXX(const QString& plantilla, const QString& valor) const;
    // The modal message box in the program's skin; Windows flags in, Windows button code out. A
    // `boton` caption adds that button after the style's (respuesta::Adicional).
    int MsgBoxSkn(const QString& texto, int estilo, const QString& titulo, quint8 extra = 0,
                  const QString& boton = QString());

    QObject* ElMenu = nullptr;  // the main window, owner of the skinned boxes

private:
    std::shared_ptr<Instalacion> instalacion_;
};
