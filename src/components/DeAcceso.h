#pragma once
#include <QString>
#include <memory>
#include <optional>

class Instalacion;

// Deciphers the connection settings that a company row keeps for a database on its own server.
// Selector 1 is the server, 2 the database, 3 the user and 4 the password; `lugar` is the row and
// field the value is kept in (Cifrado::lugarEmpresa).
class DeAcceso {
public:
    explicit DeAcceso(std::shared_ptr<Instalacion> instalacion);
    std::optional<QString> DesEncripta(const QString& guardado, int selector,
                                       QString* error = nullptr, const QString& lugar = QString());

private:
    std::shared_ptr<Instalacion> instalacion_;
};
