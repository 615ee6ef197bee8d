// Linked into every test built for Windows: the libraries are set up before the test's main, as
// the programs set them up first thing in theirs.
#include "plataforma/Proceso.h"

namespace {
const bool ajustadas = (AjustarBibliotecas(), true);
}
