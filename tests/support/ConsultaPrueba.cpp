#include "ConsultaPrueba.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include "ServidorPrueba.h"
#include "components/BasesDD.h"

namespace consulta {

bool filas(const QString& base, const QString& sql, QList<QVariantList>* resultado,
           const QVariantList& valores, QString* error) {
    BasesDD b;
    b.cRuta = ServidorPrueba::host();
    b.cPuerto = ServidorPrueba::puerto();
    b.cUsuario = QStringLiteral("root");
    Conexion c;
    if (!b.AbrirBdD(c, base)) {
        if (error) *error = b.ultimoError();
        return false;
    }
    QSqlQuery q(c.db());
    bool bien = false;
    if (valores.isEmpty()) {
        bien = q.exec(sql);
    } else if (q.prepare(sql)) {
        for (const QVariant& v : valores) q.addBindValue(v);
        bien = q.exec();
    }
    if (!bien) {
        if (error) *error = q.lastError().text();
        return false;
    }
    resultado->clear();
    while (q.next()) {
        QVariantList fila;
        for (int i = 0; i < q.record().count(); ++i) fila << q.value(i);
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
