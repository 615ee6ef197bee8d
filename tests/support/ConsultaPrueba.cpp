#include "ConsultaPrueba.h"

#include <QLocale>
#include <QStringList>

#include "ServidorPrueba.h"
#include "basedatos/BasesDD.h"

namespace consulta {

bool filas(const QString& base, const QString& sql, QList<QVariantList>* resultado,
           const QVariantList& valores, QString* error) {
    BasesDD b = ServidorPrueba::comoRoot();
    Conexion c;
    if (!b.AbrirBdD(c, base)) {
        if (error) *error = b.ultimoError();
        return false;
    }
    Recordset rs;
    if (!rs.abrir(c, sql, valores)) {
        if (error) *error = rs.ultimoError();
        return false;
    }
    resultado->clear();
    for (; !rs.alFinal(); rs.siguiente()) {
        QVariantList fila;
        for (int i = 0; i < rs.numCampos(); ++i) fila << rs.valor(i);
        *resultado << fila;
    }
    return true;
}

QString texto(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return QStringLiteral("NULL");
    switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        default:
            return v.toString();
    }
}

QString textoFila(const QVariantList& fila) {
    QStringList partes;
    for (const QVariant& v : fila) partes << texto(v);
    return partes.join(u'|');
}

QStringList tablaTrabajo(const QString& base, QString* error) {
    QList<QVariantList> filasLeidas;
    QStringList textos;
    if (!filas(base, QStringLiteral("SELECT * FROM `tbltempproductos` ORDER BY `Clave`"),
               &filasLeidas, {}, error))
        return {QStringLiteral("<error>")};
    for (const QVariantList& f : std::as_const(filasLeidas)) textos << textoFila(f);
    return textos;
}

}  // namespace consulta
