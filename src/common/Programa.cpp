#include "common/Programa.h"

#include <QDir>
#include <QFileInfo>

#include "common/LugaresPrograma.h"
#include "components/DeAcceso.h"
#include "components/DeArchivos.h"
#include "components/DelRegistro.h"
#include "components/Instalacion.h"
#include "components/LibOBCM.h"
#include "components/Utilerias.h"

namespace {
std::unique_ptr<Programa>& actual() {
    static std::unique_ptr<Programa> p = std::make_unique<Programa>();
    return p;
}
}  // namespace

Programa::Programa() = default;
Programa::~Programa() = default;

void Programa::ponerEjecutable(const QString& rutaEjecutable) {
    const QFileInfo info(rutaEjecutable);
    carpetaPrograma = QDir::cleanPath(info.absolutePath());
    nombrePrograma = info.completeBaseName();
    archivoPrograma = info.fileName();
    ponerLugares(LugaresJunto(rutaEjecutable));
}

void Programa::ponerLugares(const LugaresPrograma& lugares) {
    ArchivoIni = lugares.ajustes;
    ArchivoDescripcion = lugares.descripcion;
    carpetaLibros = lugares.libros;
}

void Programa::crearComponentes() {
    instalacion = std::make_shared<Instalacion>();
    libOBCM = std::make_unique<LibOBCM>();
    basesDD = std::make_unique<BasesDD>();
    utilerias = std::make_unique<Utilerias>(instalacion);
    deArchivos = std::make_unique<DeArchivos>();
    delRegistro = std::make_unique<DelRegistro>(instalacion);
    deAcceso = std::make_unique<DeAcceso>(instalacion);
}

void Programa::liberarComponentes() {
    libOBCM.reset();
    basesDD.reset();
    utilerias.reset();
    deArchivos.reset();
    delRegistro.reset();
    deAcceso.reset();
}

Programa& programa() { return *actual(); }

void reiniciarPrograma() { actual() = std::make_unique<Programa>(); }
