#pragma once

class QWidget;

// Window placement memory: a window's caption, position and (on request) size in its own section
// of the settings file, in twips.
//
// The section is the window's "tag" property when that is not blank, otherwise its object name.
// Values are kept as whole numbers of any size, so a window on a large desktop reopens where it
// was; a saved place that lies on no screen any longer puts the window where it is fully visible
// on the primary screen, and a saved size smaller than the window can show is ignored.

// Writes "Ventana", "Linea", "Columna" and, with conTamano, "Ancho" and "Alto". False when the
// settings file could not be written.
bool GuardarPosicion(QWidget* ventana, bool conTamano);
// Reads them back and applies them. Never fails to its caller: missing or unreadable values
// leave the window at left 0, top 0 in its design size.
void LeerPosicion(QWidget* ventana, bool conTamano);
