#pragma once
#include <QString>

// The mark of a ticked company, in the grid and in the settings file ("Sí"), and of an unticked
// one in the settings file ("No").
inline QString TextoSi() { return QStringLiteral("Sí"); }
inline QString TextoNo() { return QStringLiteral("No"); }
