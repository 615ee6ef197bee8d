#include "components/DelRegistro.h"

#include <QDir>
#include <QFileInfo>

#include "components/ArchivoIni.h"
#include "components/Instalacion.h"

DelRegistro::DelRegistro(std::shared_ptr<Instalacion> instalacion)
    : instalacion_(std::move(instalacion)) {}

QString DelRegistro::BuscarRegistroTMW(const QString& carpeta) {
    const QString ajustes = QDir(carpeta).filePath(Instalacion::nombreArchivoAjustes());
    if (carpeta.trimmed().isEmpty() || !QFileInfo(ajustes).isFile()) return QString();
    instalacion_->ponerCarpeta(QFileInfo(carpeta).absoluteFilePath());
    return instalacion_->archivoAjustes();
}

QString DelRegistro::DatosTMW(const QString& clave) const {
    if (instalacion_->carpeta().isEmpty()) return QString();
    return ArchivoIni::leer(instalacion_->archivoAjustes(), Instalacion::seccionAjustes(), clave);
}

bool DelRegistro::GuardaDatosTMW(const QString& clave, const QString& valor, QString* error) {
    if (instalacion_->carpeta().isEmpty()) {
        if (error) *error = QStringLiteral("No se ha localizado la instalación de Talmira Premium");
        return false;
    }
    // talmira.ini keeps the host's enciphered credentials: a new one is for its owner only.
    return ArchivoIni::escribir(instalacion_->archivoAjustes(), Instalacion::seccionAjustes(),
                                clave, valor, error, ArchivoIni::Acceso::SoloDueno);
}
