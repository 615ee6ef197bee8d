#include "plataforma/NombreAlAzar.h"

#include <QRandomGenerator>

QString SufijoAlAzar(int largo) {
    static constexpr char letras[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString sufijo;
    for (int i = 0; i < largo; ++i)
        sufijo += QLatin1Char(letras[QRandomGenerator::global()->bounded(int(sizeof letras) - 1)]);
    return sufijo;
}
