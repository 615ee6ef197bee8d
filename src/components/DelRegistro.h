#pragma once
#include <QString>
#include <memory>

class Instalacion;

// The host's stored settings: the keys of talmira.ini in the installation folder.
class DelRegistro {
public:
    explicit DelRegistro(std::shared_ptr<Instalacion> instalacion);
    // "" when no installation is at `carpeta`; otherwise the path of its settings file, and from
    // then on DatosTMW and GuardaDatosTMW address that installation.
    QString BuscarRegistroTMW(const QString& carpeta);
    QString DatosTMW(const QString& clave) const;
    bool GuardaDatosTMW(const QString& clave, const QString& valor, QString* error = nullptr);

private:
    std::shared_ptr<Instalacion> instalacion_;
};
