#pragma once
#include <QString>

// The system's reasons for a failed file operation, in the user's words (Spanish), whatever
// language the system itself speaks.

// The reason for the error number `numero` (an errno): "no queda espacio en el disco", ...;
// the system's own text for numbers without one of ours.
QString TextoErrorSistema(int numero);
// The same for a failed read: a file this user may not read says so, not that it may not be
// written.
QString TextoErrorLectura(int numero);

// Why a write to `archivo` failed, in the user's words: its own error text, or, where Qt could
// not tell (a write cut short by a size limit), the error number `numero` taken right after.
class QFileDevice;
QString MotivoEscritura(const QFileDevice& archivo, int numero);

// `texto` with every reason of the system's own (as strerror, and so QFile::errorString, give
// them) put in our words.
QString TraducirErroresSistema(QString texto);
