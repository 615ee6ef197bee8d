#pragma once
#include <QString>

// Where an installed program keeps a user's settings: the user's folder for the settings of the
// programs (~/.config on Linux; %APPDATA%, the roaming application data, on Windows) and, inside
// it, the program's own folder by the system's custom ("varelmo" on Linux, "Varelmo" on Windows).
QString CarpetaAjustesDelUsuario();
QString NombreCarpetaAjustes();
