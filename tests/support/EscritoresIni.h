#pragma once
#include <QString>

// Writers of one settings file in several processes at once: the test program starts copies of
// itself, each acting as one writer instead of running its tests.
namespace soporte {
// When the arguments are a writer's ("--escritor-ini <archivo> <sección> <clave> <veces>
// <pausa ms>"), stores "<clave> <n>" under <clave> for n = 1 to <veces>, each write pausing
// <pausa ms> between reading the file and replacing it, and returns the exit code: 0 when every
// write succeeded. Returns -1 for any other arguments: the program runs its tests.
int escritorIni(int argc, char** argv);
// Starts `procesos` writers of this program at once, the i-th writing the key "Proceso <i>", and
// waits for all of them. "" when every one succeeded; else what went wrong.
QString escritoresIni(const QString& archivo, const QString& seccion, int procesos, int veces,
                      int pausaMs);
}  // namespace soporte
