#pragma once
#include <QString>

// Files: whether one exists, and opening one for the user.
class DeArchivos {
public:
    bool HayArchivo(const QString& ruta) const;
    // Opens the file in the desktop's program for it and returns at once. The two numbers are
    // accepted for the callers' sake and select nothing here.
    void AbreDocumento(const QString& ruta, int modo = 0, int ventana = 1) const;
};
