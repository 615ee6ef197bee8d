#pragma once
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "basedatos/BasesDD.h"
#include "report/CargaTablaTrabajo.h"
#include "report/MezclaEmpresas.h"

class ColaFilas;
class ProductosEnLectura;

// The companies merged in the program, in one pass to both outputs: each company's products
// streamed in the working table's key order on a session of its own (ProductosEnLectura), merged
// k ways (MezclaEmpresas), and every merged row handed at once to the workbook's writer and to
// the working table's load from memory (CargaTablaTrabajo), which runs on a session of its own
// while the sheet is written. The working table gets the very rows the merge into it would leave,
// and the sheet gets them in its order, with no read back.
class FusionEnPrograma {
public:
    // The load goes into the working table of database `base` on the host's server `anfitrion`.
    FusionEnPrograma(BasesDD anfitrion, const QString& base);
    ~FusionEnPrograma();
    FusionEnPrograma(const FusionEnPrograma&) = delete;
    FusionEnPrograma& operator=(const FusionEnPrograma&) = delete;

    // The next company in list order, on a new session of `propio` (the other arguments as
    // ProductosEnLectura takes them; its products are read once the merge starts); false with
    // the reason when that session does not open. A company left out of the report goes in as
    // `omitir`.
    bool anadir(BasesDD& propio, const DefinicionTexto& trabajo, bool directa, const QString& tabla,
                const QString& columnaPrecio, const QString& orden, QString* error);
    void omitir();
    // Every company added: starts the load, then reads each company's first product. False with
    // the reason when the server does not take the load or a company's products cannot be read
    // this way (a server of its own that lacks a collation or a function the read uses): nothing
    // is merged then, and the merge may go the other way, which reports what still fails.
    bool empezar(QString* error);
    // The first code of the company at `posicion` (1-based), "" when it has none.
    QString primeraClave(int posicion) const;
    // No merged rows at all.
    bool vacia() const { return !pendiente_; }

    // The pass: every merged row to the working table's load and, while it takes them, to
    // `libro` (the writer's queue; none when only the table is filled), at most `filasLibro` rows
    // of them (a longer sheet stops the writer's rows, and excedida() says so). `latido` runs after
    // each row and while either side lags; `seguir` false cuts the pass short. True once the
    // working table holds every row; false with the reason otherwise. Only one pass is ever made.
    bool repartir(ColaFilas* libro, qint64 filasLibro, const std::function<void()>& latido,
                  const std::function<bool()>& seguir, QString* error);
    bool excedida() const { return excedida_; }

private:
    bool siguiente(QVariantList& fila);
    // The pass itself: whether the working table got every row (motivo_ says why not).
    bool pasar(ColaFilas* libro, qint64 filasLibro, const std::function<void()>& latido,
               const std::function<bool()>& seguir);

    std::vector<std::unique_ptr<Conexion>> sesiones_;
    // In list order, null for a company left out; each starts its read with its first product.
    std::vector<std::unique_ptr<ProductosEnLectura>> productos_;
    std::unique_ptr<MezclaEmpresas> mezcla_;
    std::optional<QVariantList> pendiente_;  // the first merged row, read ahead
    CargaTablaTrabajo carga_;
    bool hecha_ = false;
    bool excedida_ = false;
    bool cargada_ = false;
    QString motivo_;
};

// Why the rows of a sheet stopped at the most it may hold.
QString TextoLibroExcedido();
