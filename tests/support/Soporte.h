#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// Small helpers shared by the test programs.
namespace soporte {
// Folder holding the built programs (varelmo, talmira-host).
QString carpetaBinarios();
// Folder of the test sources (scripts such as leer_libro.py live there).
QString carpetaPruebas();
// The bytes of a file; empty when it cannot be read.
QByteArray contenido(const QString& ruta);
// Writes `bytes` as the whole file; false when it cannot.
bool guardar(const QString& ruta, const QByteArray& bytes);
// Every entry of a folder, hidden ones too, by name: what a failed write may have left behind.
QStringList entradas(const QString& carpeta);
// `texto` sealed in the earlier stored form, with the key of the installation in `carpeta`:
// base64 of a random nonce and a secret box under the subkey of `selector`, bound to no place.
// Empty when the key cannot be read.
QString selladoAnterior(const QString& carpeta, int selector, const QString& texto);
}  // namespace soporte
