#include "report/FusionEnPrograma.h"

#include "report/ColaFilas.h"
#include "report/FusionEmpresa.h"
#include "report/NombresTrabajo.h"
#include "report/ProductosEnLectura.h"

QString TextoLibroExcedido() {
    return QStringLiteral("el reporte tiene más filas de las que admite la hoja");
}

FusionEnPrograma::FusionEnPrograma(BasesDD anfitrion, const QString& base)
    : carga_(std::move(anfitrion), base, nombres::TablaTrabajo()) {}

FusionEnPrograma::~FusionEnPrograma() = default;

bool FusionEnPrograma::anadir(BasesDD& propio, const DefinicionTexto& trabajo, bool directa,
                              const QString& tabla, const QString& columnaPrecio,
                              const QString& orden, QString* error) {
    auto sesion = std::make_unique<Conexion>();
    if (!propio.AbrirBdD(*sesion, propio.cMiBase)) {
        *error = propio.ultimoError();
        return false;
    }
    productos_.push_back(std::make_unique<ProductosEnLectura>(*sesion, trabajo, directa, tabla,
                                                              columnaPrecio, orden));
    sesiones_.push_back(std::move(sesion));
    return true;
}

void FusionEnPrograma::omitir() { productos_.push_back(nullptr); }

bool FusionEnPrograma::empezar(QString* error) {
    // The load first: a server that refuses it leaves nothing read, to be given up.
    carga_.empezar();
    if (!carga_.esperarPedido(error)) return false;
    QList<ProductosEmpresa*> empresas;
    for (const auto& productos : productos_) empresas << productos.get();
    mezcla_ = std::make_unique<MezclaEmpresas>(empresas);
    QVariantList fila;
    if (mezcla_->siguiente(fila)) pendiente_ = std::move(fila);
    *error = mezcla_->error();
    return error->isEmpty();
}

QString FusionEnPrograma::primeraClave(int posicion) const {
    const auto i = static_cast<std::size_t>(posicion - 1);
    return i < productos_.size() && productos_[i] ? productos_[i]->primeraClave() : QString();
}

bool FusionEnPrograma::siguiente(QVariantList& fila) {
    if (!pendiente_) return mezcla_->siguiente(fila);
    fila = std::move(*pendiente_);
    pendiente_.reset();
    return true;
}

bool FusionEnPrograma::repartir(ColaFilas* libro, qint64 filasLibro,
                                const std::function<void()>& latido,
                                const std::function<bool()>& seguir, QString* error) {
    if (!hecha_) {
        hecha_ = true;
        cargada_ = pasar(libro, filasLibro, latido, seguir);
    }
    if (!cargada_ && error) *error = motivo_;
    return cargada_;
}

bool FusionEnPrograma::pasar(ColaFilas* libro, qint64 filasLibro,
                             const std::function<void()>& latido,
                             const std::function<bool()>& seguir) {
    QVariantList fila;
    qint64 filas = 0;
    bool sigue = true, cargando = true;
    while ((sigue = seguir()) && siguiente(fila)) {
        latido();  // the progress line moves while neither side lags
        if (libro && ++filas > filasLibro) {
            excedida_ = true;
            libro->abortar(TextoLibroExcedido());
            libro = nullptr;
        }
        // The writer may stop early (a full disk): the working table still gets every row.
        if (libro && !libro->poner(QVariantList(fila), latido)) libro = nullptr;
        if (!(cargando = carga_.poner(std::move(fila), latido))) break;
    }
    // Rows that stop before their end (a company's session lost, the run cut short) leave no
    // workbook short of rows and no working table short of them. The writer gets its last rows
    // before the load is waited for, so that both finish at once; should the load then fail, the
    // caller does not show the workbook.
    const QString cortada = !sigue ? TextoFusionCortada() : mezcla_->error();
    const bool enteras = cortada.isEmpty() && cargando;
    if (!cortada.isEmpty()) carga_.abortar(cortada);
    if (libro && enteras) libro->terminar(latido);
    const bool cargada = carga_.terminar(latido, &motivo_) && enteras;
    if (!cortada.isEmpty()) motivo_ = cortada;
    if (!cargada && motivo_.isEmpty()) motivo_ = TextoFusionCortada();
    if (libro && !enteras) libro->abortar(motivo_);
    return cargada;
}
