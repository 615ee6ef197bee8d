// The merge of the companies' products in the program, k ways, where the hosts of tst_fusion do not
// reach: a company skipped, a company whose rows stop. tst_fusion compares it with the report's
// merge on a random host.
#include <QtTest>

#include "report/MezclaEmpresas.h"

namespace {
// A company's products from "peso clave costo" texts; its description is "d" and the code, its
// price the cost plus a half. "falla" as the last text stops the rows with an error.
class Productos : public ProductosEmpresa {
public:
    explicit Productos(QStringList textos) : textos_(std::move(textos)) {}
    bool siguiente() override {
        if (textos_.isEmpty()) return false;
        partes_ = textos_.takeFirst().split(u' ');
        if (partes_.first() == QStringLiteral("falla")) {
            error_ = QStringLiteral("se perdió la conexión");
            return false;
        }
        peso_ = partes_[0].toUtf8();
        return true;
    }
    QByteArrayView peso() const override { return peso_; }
    QVariant clave() const override { return partes_[1]; }
    QVariant descrip() const override { return u'd' + partes_[1]; }
    QVariant costo() const override { return partes_[2].toDouble(); }
    QVariant precio() const override { return partes_[2].toDouble() + 0.5; }
    QString error() const override { return error_; }

private:
    QStringList textos_, partes_;
    QByteArray peso_;
    QString error_;
};
}  // namespace

class TstMezcla : public QObject {
    Q_OBJECT
private slots:
    void mezcla_data() {
        QTest::addColumn<QList<QStringList>>("empresas");  // "omitida" alone: a skipped company
        QTest::addColumn<QStringList>("filas");  // Clave Descrip Costo Precio... Aviso, by "|"
        QTest::addColumn<QString>("error");
        const QString f = QStringLiteral("No existe en alguna empresa");
        QTest::newRow("la primera empresa omitida: todo marcado")
            << QList<QStringList>{{"omitida"}, {"a a 1"}} << QStringList{"a|da|0|0|1|1.5|" + f}
            << QString();
        QTest::newRow("una empresa que se corta: ninguna fila más")
            << QList<QStringList>{{"a a 1", "falla"}, {"b b 2"}} << QStringList{}
            << QStringLiteral("se perdió la conexión");
    }
    void mezcla() {
        QFETCH(QList<QStringList>, empresas);
        QFETCH(QStringList, filas);
        QFETCH(QString, error);
        std::vector<std::unique_ptr<Productos>> productos;
        QList<ProductosEmpresa*> lista;
        for (const QStringList& e : std::as_const(empresas)) {
            productos.push_back(std::make_unique<Productos>(e));
            lista << (e == QStringList{QStringLiteral("omitida")} ? nullptr
                                                                  : productos.back().get());
        }
        MezclaEmpresas mezcla(lista);
        QStringList obtenidas;
        for (QVariantList fila; mezcla.siguiente(fila);) {
            QStringList campos;
            for (const QVariant& v : std::as_const(fila)) campos << v.toString();
            obtenidas << campos.join(u'|');
        }
        QCOMPARE(obtenidas, filas);
        QCOMPARE(mezcla.error(), error);
    }
};

QTEST_GUILESS_MAIN(TstMezcla)
#include "tst_mezcla.moc"
