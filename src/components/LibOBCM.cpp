#include "components/LibOBCM.h"

#include "components/ArchivoIni.h"

QString LibOBCM::LeeIni(const QString& seccion, const QString& clave,
                        const QString& archivo) const {
    return ArchivoIni::leer(archivo, seccion, clave);
}

bool LibOBCM::EscribeIni(const QString& seccion, const QString& clave, const QString& valor,
                         const QString& archivo, QString* error) {
    return ArchivoIni::escribir(archivo, seccion, clave, valor, error);
}

bool LibOBCM::EscribeIniVarias(const QString& seccion,
                               const QList<std::pair<QString, QString>>& valores,
                               const QString& archivo, QString* error) {
    return ArchivoIni::escribirVarias(archivo, seccion, valores, error);
}

double LibOBCM::obVal(const QString& valor) const { return ::obVal(valor); }
