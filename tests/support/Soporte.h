#pragma once
#include <QString>

// Small helpers shared by the test programs.
namespace soporte {
// Folder holding the built programs (varelmo, talmira-host).
QString carpetaBinarios();
// Folder of the test sources (scripts such as leer_libro.py live there).
QString carpetaPruebas();
}  // namespace soporte
