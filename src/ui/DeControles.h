#pragma once

class QTableWidget;
class QWidget;

// Control helpers: the banded colouring of grid rows and the user's drag of a borderless window.
class DeControles {
public:
    // Colours one row of a grid: even and odd company rows get alternate bands.
    void ColorReja(QTableWidget* reja, int fila) const;
    // Starts the window system's own move of `ventana`, following the mouse while the left button
    // is held. False when the window system refuses it.
    bool MoverVentana(QWidget* ventana) const;
};
