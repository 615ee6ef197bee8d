#include "Soporte.h"

namespace soporte {
QString carpetaBinarios() { return QStringLiteral(VARELMO_BIN_DIR); }
QString carpetaPruebas() { return QStringLiteral(VARELMO_TESTS_DIR); }
}  // namespace soporte
