#include "archivos/CarpetaTrabajo.h"

#include <QDir>
#include <ctime>

#include "archivos/ErrorSistema.h"

namespace {
const QLatin1StringView ArchivoCerrojo("en-uso");
// A folder without its lock file older than this is taken as abandoned.
constexpr long long SegundosSinCerrojo = 3600;

QString rutaCerrojo(const QString& carpeta) { return carpeta + u'/' + ArchivoCerrojo; }

// Whether the folder at `ruta` (a folder of this user, last changed at `cambio`) was left by a
// process that no longer runs.
bool abandonada(const QString& ruta, long long cambio) {
    switch (CerrojoDeProceso::estado(rutaCerrojo(ruta))) {
        case CerrojoDeProceso::Estado::Libre:
            return true;
        case CerrojoDeProceso::Estado::Ausente:
            return std::time(nullptr) - cambio > SegundosSinCerrojo;
        case CerrojoDeProceso::Estado::Tomado:
            break;
    }
    return false;
}
}  // namespace

CarpetaTrabajo::CarpetaTrabajo(const QString& padre, const QString& prefijo)
    : carpeta_(padre + u'/' + prefijo + QStringLiteral("XXXXXX")) {
    if (!carpeta_.isValid()) {
        error_ = carpeta_.errorString();
        return;
    }
    int numero = 0;
    if (cerrojo_.tomar(rutaCerrojo(carpeta_.path()), &numero)) return;
    error_ = TextoErrorSistema(numero);
    carpeta_.remove();
}

CarpetaTrabajo::~CarpetaTrabajo() {
    // What the folder holds goes first: until then its lock tells other runs it is in use. The
    // lock file and the folder go last, once the lock is let go, since Windows removes no folder
    // while a file in it is open.
    if (cerrojo_.tomado()) {
        QDir dir(carpeta_.path());
        const QStringList nombres =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& nombre : nombres)
            if (nombre != ArchivoCerrojo && !dir.remove(nombre))
                QDir(dir.filePath(nombre)).removeRecursively();
    }
    cerrojo_.soltar();
    carpeta_.remove();
}

void CarpetaTrabajo::limpiarAbandonadas(const QString& padre, const QString& prefijo) {
    const QDir dir(padre);
    const QStringList nombres =
        dir.entryList({prefijo + QStringLiteral("??????")},
                      QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString& nombre : nombres) {
        const QString ruta = dir.filePath(nombre);
        const std::optional<long long> cambio = CambioDeCarpetaPropia(ruta);
        if (cambio && abandonada(ruta, *cambio)) QDir(ruta).removeRecursively();
    }
}
