#pragma once
#include <QString>
#include <QStringList>

// Where the program keeps its settings file, reads its description file and saves its workbooks.
//
// Beside the executable whenever its folder can be written, as users of the earlier program know
// it: a copied folder carries everything with it. An installed program (a folder it cannot write,
// or the package's layout, with the description file in the package's data folder rather than
// beside the executable) uses the user's own places: the settings file in the user's configuration
// folder, the description file from the package's data folder, the workbooks in the user's
// documents folder.
struct LugaresPrograma {
    QString ajustes;      // the settings file
    QString descripcion;  // the description file
    QString libros;       // the folder the workbooks are saved in
    bool instalado = false;
};

// The user's places, as the desktop names them (XDG folders; on Windows the roaming application
// data and the Documents folder).
struct CarpetasUsuario {
    QString configuracion;  // ~/.config, %APPDATA%
    QString documentos;     // ~/Documents, or its name in the user's language
    QStringList datos;      // ~/.local/share, /usr/local/share, /usr/share
};
CarpetasUsuario CarpetasDelUsuario();
// The program's own path, whose name and folder give its settings and description file. The
// console companion (varelmo-consola.exe beside varelmo.exe, for scripts on Windows) speaks for the
// program beside it: it gives that program's path, so that both share settings and workbooks.
QString RutaDelPrograma();

// The folder of the program's own data in an installed tree, relative to the executable's folder:
// <prefix>/bin/varelmo reads <prefix>/share/varelmo/.
QString CarpetaDatosPaquete(const QString& carpetaEjecutable);

// Everything beside the executable, as a program in a folder of its own keeps it.
LugaresPrograma LugaresJunto(const QString& rutaEjecutable);

LugaresPrograma ElegirLugares(const QString& rutaEjecutable, bool carpetaEscribible,
                              const CarpetasUsuario& usuario);

// Makes the user's folders an installed program writes to: its folder under the configuration
// folder (the user's alone) and the documents folder.
void CrearCarpetasDelUsuario(const LugaresPrograma& lugares);
