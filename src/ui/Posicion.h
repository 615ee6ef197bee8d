#pragma once
#include <QRect>
#include <QString>

class QWidget;

// Window placement memory: a window's caption, position and (on request) size in its own section
// of the settings file, in twips.
//
// The section is the window's "tag" property when that is not blank, otherwise its object name.
// Values are kept as whole numbers of any size, so a window on a large desktop reopens where it
// was, as long as it lies wholly on a screen; otherwise it comes back as much on the screen as
// fits (PosicionVisible), and a saved size smaller than the window can show is ignored.

// Writes "Ventana", "Linea", "Columna" and, with conTamano, "Ancho" and "Alto" into the settings
// file `archivoIni`. False, with the first reason in `error`, when it could not be written.
bool GuardarPosicion(const QString& archivoIni, QWidget* ventana, bool conTamano,
                     QString* error = nullptr);
// Reads them back and applies them. Never fails to its caller: missing or unreadable values
// leave the window at left 0, top 0 in its design size (with conTamano, a width or height that is
// no number too).
void LeerPosicion(const QString& archivoIni, QWidget* ventana, bool conTamano);

// Where the frame `marco` goes to lie as much on the screen it is most on (the primary screen
// when on none) as fits: wholly when it fits, otherwise with its top-left corner at the screen's,
// so the title band is always on screen.
QPoint PosicionVisible(const QRect& marco);
// Puts a window's frame as much on its screen as fits (PosicionVisible); a window the user may
// resize that is larger than the screen's free area is first made as small as that area.
void AjustarAPantalla(QWidget* ventana);
