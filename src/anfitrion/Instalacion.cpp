#include "anfitrion/Instalacion.h"

#include <QDir>
#include <QFileInfo>

#include "anfitrion/ArchivoIni.h"

namespace {
// Why an operation that needs the installation fails before BuscarRegistroTMW found it.
void sinInstalacion(QString* error) {
    if (error) *error = QStringLiteral("No se ha localizado la instalación de Talmira Premium");
}
}  // namespace

QString Instalacion::nombreArchivoAjustes() { return QStringLiteral("talmira.ini"); }
QString Instalacion::seccionAjustes() { return QStringLiteral("Talmira"); }

void Instalacion::ponerCarpeta(const QString& carpeta) {
    if (carpeta != carpeta_) cifrado_.reset();
    carpeta_ = carpeta;
}

QString Instalacion::archivoAjustes() const {
    return QDir(carpeta_).filePath(nombreArchivoAjustes());
}

const Cifrado* Instalacion::cifrado(QString* error) {
    if (carpeta_.isEmpty()) {
        sinInstalacion(error);
        return nullptr;
    }
    if (!cifrado_) cifrado_ = Cifrado::abrir(carpeta_, error);
    return cifrado_ ? &*cifrado_ : nullptr;
}

QString Instalacion::BuscarRegistroTMW(const QString& carpeta) {
    const QString ajustes = QDir(carpeta).filePath(nombreArchivoAjustes());
    if (carpeta.trimmed().isEmpty() || !QFileInfo(ajustes).isFile()) return QString();
    ponerCarpeta(QFileInfo(carpeta).absoluteFilePath());
    return archivoAjustes();
}

QString Instalacion::DatosTMW(const QString& clave) const {
    if (carpeta_.isEmpty()) return QString();
    return ArchivoIni::leer(archivoAjustes(), seccionAjustes(), clave);
}

bool Instalacion::GuardaDatosTMW(const QString& clave, const QString& valor, QString* error) {
    if (carpeta_.isEmpty()) {
        sinInstalacion(error);
        return false;
    }
    // talmira.ini keeps the host's enciphered credentials: a new one is for its owner only.
    return ArchivoIni::escribir(archivoAjustes(), seccionAjustes(), clave, valor, error,
                                ArchivoIni::Acceso::SoloDueno);
}

std::optional<QString> Instalacion::Encripta(const QString& texto, int selector, QString* error,
                                             const QString& lugar) {
    const Cifrado* c = cifrado(error);
    if (!c) return std::nullopt;
    return c->cifrar(texto, selector, lugar);
}

std::optional<QString> Instalacion::DesEncripta(const QString& guardado, int selector,
                                                QString* error, const QString& lugar) {
    if (selector < SelectorAnfitrion || selector > 4) {
        if (error) *error = QStringLiteral("selector de cifrado %1 desconocido").arg(selector);
        return std::nullopt;
    }
    const Cifrado* c = cifrado(error);
    if (!c) return std::nullopt;
    std::optional<QString> plano = c->descifrar(guardado.trimmed(), selector, lugar);
    if (!plano && error) *error = c->porQueNoDescifra(guardado, selector, carpeta_);
    return plano;
}
