#include "Sql.h"

QString citarIdentificador(const QString& nombre) {
    QString citado = nombre;
    citado.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + citado + QLatin1Char('`');
}
