#pragma once
#include <QString>

// Where an installed program keeps a user's settings: the user's folder for the settings of the
// programs (~/.config on Linux; %APPDATA%, the roaming application data, on Windows) and, inside
// it, the program's own folder by the system's custom ("varelmo" on Linux, "Varelmo" on Windows).
QString CarpetaAjustesDelUsuario();
QString NombreCarpetaAjustes();
// The folder of the system's trusted certificate authorities, as OpenSSL reads it (one file per
// certificate); empty where the system keeps them in a store OpenSSL does not read (Windows).
QString CarpetaAutoridadesDelSistema();
