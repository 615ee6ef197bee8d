#pragma once
#include <QString>

class BasesDD;
class Dialogos;
class Instalacion;

// The host installation and its connection settings.
//
// LeeIniDefecto is the settings reader of start-up: a key that is missing or empty is written with
// its default and read again. PrepararConexion finds the host installation named in the settings
// file, fills in the host's blank MySQL settings and loads them into the connection object.

QString LeeIniDefecto(const QString& seccion, const QString& clave, const QString& defecto,
                      const QString& archivo);

// True when the installation was found and `bases` holds its connection settings. False after the
// user has been told why through `dialogos` (installation missing, a stored value that does not
// decipher, host settings that cannot be stored): start-up then ends the program.
bool PrepararConexion(Instalacion& instalacion, BasesDD& bases, const QString& archivoIni,
                      bool leerBase, Dialogos& dialogos);

// The settings file's section of the program's own choices.
QString SeccionConfiguracion();
