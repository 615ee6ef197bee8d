#pragma once
#include <QString>

// What the report names in the host database, each written here once: the working table, the
// copy in the server's memory the companies are merged in, the copy's two parts (tables of the
// host database, which a second connection reaches), and the server locks. A lock's name is an
// SQL expression of at most 64 characters, the same for every copy of the program on one host
// database, whatever that database's name spells.
namespace nombres {
inline QString TablaTrabajo() { return QStringLiteral("tbltempproductos"); }
inline QString CopiaFusion() { return QStringLiteral("tbltempproductos_fusion"); }
inline QString ParteBaja() { return QStringLiteral("tbltempproductos_fusion_baja"); }
inline QString ParteAlta() { return QStringLiteral("tbltempproductos_fusion_alta"); }
// Held while a report holds the parts of the copy.
inline QString CerrojoPartes() { return QStringLiteral("CONCAT('varelmo.', MD5(DATABASE()))"); }
// Held by the report whose turn it is (TurnoReporte).
inline QString CerrojoTurno() {
    return QStringLiteral("CONCAT('varelmo.reporte.', MD5(DATABASE()))");
}
}  // namespace nombres
