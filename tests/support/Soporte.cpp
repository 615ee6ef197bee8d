#include "Soporte.h"

#include <QDir>
#include <QFile>

namespace soporte {
QString carpetaBinarios() { return QStringLiteral(VARELMO_BIN_DIR); }
QString carpetaPruebas() { return QStringLiteral(VARELMO_TESTS_DIR); }

QByteArray contenido(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool guardar(const QString& ruta, const QByteArray& bytes) {
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QStringList entradas(const QString& carpeta) {
    return QDir(carpeta).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                   QDir::Name);
}
}  // namespace soporte
