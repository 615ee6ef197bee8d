#include "report/FusionReporte.h"

#include <memory>
#include <thread>

#include "basedatos/BasesDD.h"
#include "libro/LibroExcel.h"
#include "report/AvanceCompartido.h"
#include "report/ClavesFuera.h"
#include "report/FusionEmpresa.h"
#include "report/FusionEnDos.h"
#include "report/FusionEnPrograma.h"
#include "report/NombresTrabajo.h"
#include "report/TrabajoEnHilo.h"

namespace {
// How long the window's thread waits at a time for another thread, between progress refreshes.
constexpr int MilisegundosPorEspera = 100;

// Whether the host's server has room for `sesiones` more sessions while it keeps at least half
// of its free ones for everybody else: a report of many companies must not take them all.
bool sesionesDeSobra(Conexion& principal, qsizetype sesiones) {
    // SHOW and @@ as every server's version takes them (the status's table moved in MySQL).
    Recordset maximo, conectadas;
    if (!maximo.abrir(principal, QStringLiteral("SELECT @@max_connections")) || maximo.alFinal() ||
        !conectadas.abrir(principal,
                          QStringLiteral("SHOW GLOBAL STATUS LIKE 'Threads_connected'")) ||
        conectadas.alFinal())
        return false;
    const qint64 libres = maximo.valor(0).toLongLong() - conectadas.valor(1).toLongLong();
    return sesiones <= libres / 2;
}

// The thread that saves the workbook from the queue of rows. Whatever way the scope is left, the
// queue is closed first (the writer then fails its save, if it had not finished) and the thread
// joined.
class HiloEscritor {
public:
    HiloEscritor(LibroExcel& libro, const QString& ruta, ColaFilas& cola)
        : cola_(cola), hilo_([this, &libro, ruta] {
              guardado_ = libro.preparar(ruta, &motivo_);
              cola_.cerrarLector();
          }) {}
    ~HiloEscritor() {
        if (!hilo_.joinable()) return;
        cola_.abortar(TextoFusionCortada());
        hilo_.join();
    }
    HiloEscritor(const HiloEscritor&) = delete;
    HiloEscritor& operator=(const HiloEscritor&) = delete;
    // Waits for the save to end, with `latido` between short waits; whether it saved, and why not.
    bool terminar(const std::function<void()>& latido, QString* motivo) {
        while (!cola_.esperarLector(MilisegundosPorEspera)) latido();
        hilo_.join();
        *motivo = motivo_;
        return guardado_;
    }

private:
    ColaFilas& cola_;
    bool guardado_ = false;
    QString motivo_;
    std::thread hilo_;  // last: it starts once the members it uses are made
};
}  // namespace

// How the companies of a merge go, chosen before any is merged.
struct FusionReporte::Plan {
    Plan(const QList<int>& empresasPedidas, const Resolver& buscar)
        : lista(empresasPedidas), resolver(buscar) {}

    const QList<int>& lista;
    const Resolver& resolver;
    // One company at a time, unless elegirManera finds the merge in two parts applies.
    Manera manera = &FusionReporte::fusionarUnaPorUna;
    // In two parts: every company looked up, in list order, and where the codes are cut.
    QList<EmpresaParaMitad> empresas;
    std::optional<ParteClaves> parte;
};

FusionReporte::FusionReporte(ConexionesReporte conexiones, OpcionesReporte opciones,
                             QString columnaPrecio)
    : conexiones_(conexiones),
      opciones_(std::move(opciones)),
      columnaPrecio_(std::move(columnaPrecio)),
      intermedia_(conexiones.principal) {}

FusionReporte::~FusionReporte() = default;

bool FusionReporte::enServidor(const BasesDD& propio) const {
    // The server can read the company's products itself when they lie on the host's server and
    // the host's user reaches them.
    return !opciones_.soloPorCliente && propio.mismoServidorYUsuario(conexiones_.anfitrion);
}

bool FusionReporte::fusionar(const QList<int>& lista, const Resolver& resolver,
                             const Avance& avance, QString* error) {
    fusionesEnServidor_ = 0;
    enDosPartes_ = false;
    clavesFuera_.clear();
    enPrograma_.reset();
    columnas_ = static_cast<int>(2 * lista.size() + 3);
    Plan plan(lista, resolver);
    if (!opciones_.enTablaPrimero && !opciones_.soloPorCliente && !opciones_.corte) {
        const Empresa enPrograma = prepararEnPrograma(plan, avance, error);
        if (enPrograma != Empresa::Omitida) return enPrograma == Empresa::Abierta;
        // The companies then go into the working table, looked up again.
        error->clear();
        clavesFuera_.clear();
    }
    intermedia_.crear();
    if (!elegirManera(plan, error)) return false;
    Empresa hecha = (this->*plan.manera)(plan, avance, error);
    if (hecha == Empresa::Fallo && plan.manera == &FusionReporte::fusionarEnDos &&
        *error != TextoFusionCortada()) {
        // Whatever stopped either part (the copy full, a connection lost), the copy goes back to
        // one part, empty, and the merge starts again one company at a time, which reports what
        // still fails.
        error->clear();
        if (!intermedia_.reiniciar(error)) return false;
        hecha = fusionarUnaPorUna(plan, avance, error);
    }
    return hecha == Empresa::Abierta;
}

bool FusionReporte::elegirManera(Plan& plan, QString* error) {
    // In two parts only when the server merges every company: the companies are looked up first,
    // and any that must go through the program leaves them to go one at a time.
    if (!intermedia_.activa() || opciones_.soloPorCliente) return true;
    QList<EmpresaParaMitad> empresas;
    const Empresa vistas = empresasParaMitad(plan.lista, plan.resolver, &empresas, error);
    if (vistas == Empresa::Fallo) return false;
    if (vistas == Empresa::Omitida || empresas.isEmpty()) return true;
    Conexion& principal = conexiones_.principal;
    std::optional<ParteClaves> parte =
        partirClaves(principal, empresas.first().base, opciones_.corte);
    if (!parte || !intermedia_.partir()) return true;
    for (EmpresaParaMitad& e : empresas)
        e.directa =
            parte->directa(comparacionClave(principal, e.base, QStringLiteral("productos")));
    plan.manera = &FusionReporte::fusionarEnDos;
    plan.empresas = std::move(empresas);
    plan.parte = std::move(parte);
    return true;
}

FusionReporte::Empresa FusionReporte::prepararEnPrograma(const Plan& plan, const Avance& avance,
                                                         QString* error) {
    Conexion& principal = conexiones_.principal;
    const std::optional<ComparacionClave> trabajo =
        comparacionClave(principal, principal.base(), nombres::TablaTrabajo());
    // A session for each company and one for the load.
    if (!trabajo || !sesionesDeSobra(principal, plan.lista.size() + 1)) return Empresa::Omitida;
    auto pasada = std::make_unique<FusionEnPrograma>(conexiones_.anfitrion, principal.base());
    QStringList bases;
    for (int posicion = 1; posicion <= plan.lista.size(); ++posicion) {
        const int id = plan.lista[posicion - 1];
        BasesDD propio;
        const Empresa resuelta = plan.resolver(id, propio, error);
        bases << propio.cMiBase;
        if (resuelta == Empresa::Fallo) return Empresa::Fallo;
        if (resuelta == Empresa::Omitida) {
            pasada->omitir();
            continue;
        }
        Conexion& empresa = conexiones_.empresa;
        const std::optional<QString> caben = revisar(id, error);
        if (!caben) return Empresa::Fallo;
        const bool directa = comparaComoTrabajo(
            comparacionClave(empresa, propio.cMiBase, QStringLiteral("productos")), *trabajo);
        // A company whose own session does not open (the server allows no more of them) leaves
        // the merge to go into the working table, one session for all.
        if (!pasada->anadir(propio, *trabajo, directa,
                            productosQueCaben(QStringLiteral("`productos`"), *caben),
                            columnaPrecio_, ordenProductos(empresa, columnaPrecio_), error))
            return Empresa::Omitida;
    }
    if (!pasada->empezar(error)) return Empresa::Omitida;
    // Every company shows on the line, with its first code.
    for (int posicion = 1; posicion <= plan.lista.size(); ++posicion)
        if (const QString clave = pasada->primeraClave(posicion);
            !clave.isEmpty() && !avance(bases[posicion - 1], clave, true)) {
            *error = TextoFusionCortada();
            return Empresa::Fallo;
        }
    enPrograma_ = std::move(pasada);
    return Empresa::Abierta;
}

FusionReporte::Empresa FusionReporte::fusionarUnaPorUna(const Plan& plan, const Avance& avance,
                                                        QString* error) {
    for (int posicion = 1; posicion <= plan.lista.size(); ++posicion)
        if (fusionarEmpresa(posicion, plan.lista[posicion - 1], plan.resolver, avance, error) ==
            Empresa::Fallo)
            return Empresa::Fallo;
    return Empresa::Abierta;
}

FusionReporte::Empresa FusionReporte::fusionarEmpresa(int posicion, int id,
                                                      const Resolver& resolver,
                                                      const Avance& avance, QString* error) {
    BasesDD propio;
    const Empresa resuelta = resolver(id, propio, error);
    if (resuelta != Empresa::Abierta) return resuelta;
    const std::optional<QString> caben = revisar(id, error);
    if (!caben) return Empresa::Fallo;
    const bool porServidor = enServidor(propio);
    QString ultimaClave;
    const auto fusionar = [&]() {
        const FusionEmpresa f{conexiones_.principal,
                              conexiones_.empresa,
                              propio.cMiBase,
                              id,
                              posicion,
                              columnaPrecio_,
                              intermedia_.destino(),
                              [&](const QString& clave) {
                                  // Every company shows on the line, with its first code.
                                  const bool sigue =
                                      avance(propio.cMiBase, clave, ultimaClave.isEmpty());
                                  ultimaClave = clave;
                                  return sigue;
                              },
                              QString(),
                              QString(),
                              QVariant(),
                              *caben};
        return porServidor ? fusionarEnServidor(f, error) : fusionarPorCliente(f, error);
    };
    bool bien = fusionar();
    if (!bien && intermedia_.activa() && *error != TextoFusionCortada()) {
        // The copy in memory may be full: the rows go on in the working table, and this company
        // is merged again there, which gives the same rows.
        // The line follows the codes moved while what was merged so far goes into the working
        // table.
        const auto latido = [&](const QString& clave) { avance(propio.cMiBase, clave, false); };
        if (!intermedia_.vaciar(error, latido)) return Empresa::Fallo;
        bien = fusionar();
    }
    if (!bien) return Empresa::Fallo;
    if (porServidor) ++fusionesEnServidor_;
    if (!ultimaClave.isEmpty() && !avance(propio.cMiBase, ultimaClave, true)) {
        *error = TextoFusionCortada();
        return Empresa::Fallo;
    }
    return Empresa::Abierta;
}

std::optional<QString> FusionReporte::revisar(int id, QString* error) {
    const std::optional<ClavesFuera> fuera = revisarClaves(conexiones_.empresa, error);
    if (!fuera) return std::nullopt;
    if (fuera->total() > 0) clavesFuera_.insert(id, *fuera);
    return fuera->condicion;
}

FusionReporte::Empresa FusionReporte::fusionarEnDos(const Plan& plan, const Avance& avance,
                                                    QString* error) {
    // The upper part on a second connection while this one merges the lower part.
    AvanceCompartido avanceAlta;
    TrabajoEnHilo alta(conexiones_.anfitrion, conexiones_.principal.base(),
                       [&, destino = intermedia_.parteAlta(), columna = columnaPrecio_](
                           Conexion& otra, QString* e) {
                           return fusionarParteAlta(otra, plan.empresas, columna, destino,
                                                    *plan.parte, avanceAlta, e);
                       });
    alta.empezar();
    QString motivo;
    bool sigue = true;
    const bool bien = fusionarParteBaja(plan.empresas, *plan.parte, avance, &sigue, &motivo);
    // The lower part is done: the line follows the upper part until it ends too.
    while (!alta.esperar(MilisegundosPorEspera)) {
        const auto [base, clave] = avanceAlta.tomar();
        sigue = avance(base, clave, false) && sigue;
    }
    if (!sigue) {
        *error = TextoFusionCortada();
        return Empresa::Fallo;
    }
    if (!bien || !alta.bien()) {
        *error = bien ? alta.error() : motivo;
        return Empresa::Fallo;
    }
    fusionesEnServidor_ = static_cast<int>(plan.empresas.size());
    enDosPartes_ = true;
    return Empresa::Abierta;
}

FusionReporte::Empresa FusionReporte::empresasParaMitad(const QList<int>& lista,
                                                        const Resolver& resolver,
                                                        QList<EmpresaParaMitad>* empresas,
                                                        QString* error) {
    for (int posicion = 1; posicion <= lista.size(); ++posicion) {
        BasesDD propio;
        const Empresa paso = resolver(lista[posicion - 1], propio, error);
        if (paso == Empresa::Fallo) return Empresa::Fallo;
        if (paso == Empresa::Omitida) continue;
        if (!enServidor(propio)) return Empresa::Omitida;
        const std::optional<QString> caben = revisar(lista[posicion - 1], error);
        if (!caben) return Empresa::Fallo;
        *empresas << EmpresaParaMitad{
            posicion,       lista[posicion - 1],
            propio.cMiBase, ordenProductos(conexiones_.empresa, columnaPrecio_),
            false,          *caben};
    }
    return Empresa::Abierta;
}

bool FusionReporte::fusionarParteBaja(const QList<EmpresaParaMitad>& empresas,
                                      const ParteClaves& parte, const Avance& avance, bool* sigue,
                                      QString* motivo) {
    Conexion& principal = conexiones_.principal;
    for (const EmpresaParaMitad& e : empresas) {
        QString ultimaClave;
        const FusionEmpresa f{principal,
                              principal,
                              e.base,
                              e.id,
                              e.posicion,
                              columnaPrecio_,
                              intermedia_.destino(),
                              [&](const QString& clave) {
                                  *sigue = avance(e.base, clave, ultimaClave.isEmpty());
                                  ultimaClave = clave;
                                  return *sigue;
                              },
                              e.orden,
                              e.directa ? parte.bajaDirecta : parte.baja,
                              parte.corte,
                              e.caben};
        if (!fusionarEnServidor(f, motivo)) return false;
        if (!ultimaClave.isEmpty() && !(*sigue = avance(e.base, ultimaClave, true))) return true;
    }
    return true;
}

bool FusionReporte::abrirFilas(const std::function<void()>& latido, QString* error) {
    if (enPrograma_) return true;  // the merge gives them as it goes
    return filas_.abrir(conexiones_.principal, intermedia_.tablas(), latido, error);
}

std::optional<qint64> FusionReporte::cuenta() const {
    if (!enPrograma_) return filas_.cuenta();
    if (enPrograma_->vacia()) return 0;
    return std::nullopt;
}

int FusionReporte::numCampos() const { return enPrograma_ ? columnas_ : filas_.numCampos(); }

bool FusionReporte::libroExcedido() const { return enPrograma_ && enPrograma_->excedida(); }

bool FusionReporte::vaciar(QString* error, const std::function<void()>& latido) {
    if (!enPrograma_) return intermedia_.vaciar(error);
    // Only the working table still lacks the rows (the workbook was not written): the merge goes
    // to it alone.
    return enPrograma_->repartir(
        nullptr, 0, latido ? latido : [] {}, [] { return true; }, error);
}

QString FusionReporte::claveEnEscritura() const {
    // With every row taken, the writer may still be closing the workbook: the line follows it.
    if (QString enCierre = cola_.claveEnFraccion(cierre_.load()); !enCierre.isEmpty())
        return enCierre;
    return cola_.claveEnEscritura();
}

bool FusionReporte::pasarFilas(const std::function<void()>& latido,
                               const std::function<bool()>& seguir) {
    QVariantList fila;
    bool sigue = true;
    while ((sigue = seguir()) && filas_.siguiente(fila) && cola_.poner(std::move(fila), latido)) {
    }
    // Rows that stop before their end (a lost connection, the run cut short) make the writer's
    // save fail: no workbook short of rows is written, and an earlier one stays.
    if (!sigue)
        cola_.abortar(TextoFusionCortada());
    else if (!filas_.error().isEmpty())
        cola_.abortar(filas_.error());
    else
        cola_.terminar(latido);
    return sigue && filas_.terminada() && filas_.error().isEmpty();
}

bool FusionReporte::escribir(LibroExcel& libro, const QString& ruta, std::function<void()> latido,
                             const std::function<bool()>& seguir, QString* error) {
    if (!latido) latido = [] {};  // the waits below beat it
    if (enPrograma_) return escribirEnUnaPasada(libro, ruta, latido, seguir, error);
    // The workbook is written on a thread of its own while this one reads the rows from the
    // database (whose connection belongs to it) and keeps the progress line moving.
    // With the copy in two parts (tables a second connection reaches), that connection moves
    // every row into the working table while this one reads them for the sheet.
    std::unique_ptr<TrabajoEnHilo> traslado;
    if (!intermedia_.parteAlta().isEmpty()) {
        traslado = std::make_unique<TrabajoEnHilo>(
            conexiones_.anfitrion, conexiones_.principal.base(),
            [tablas = intermedia_.tablas()](Conexion& otra, QString* e) {
                return TablaIntermedia::moverConOtra(otra, tablas, e);
            });
        traslado->empezar();
    }
    cierre_ = 1.0;
    libro.ponerAvanceCierre([this](double fraccion) { cierre_ = fraccion; });
    HiloEscritor escritor(libro, ruta, cola_);
    const bool leidas = pasarFilas(latido, seguir);
    // Every row has left the database: what the working table still lacks goes in now, on the
    // server, while the writer finishes the file. Should the second connection fail (it may not
    // even open, on a server that limits the connections), nothing of its work stays, and this
    // connection moves the rows.
    QString motivoVaciar;
    bool vaciada = !leidas;
    if (traslado) {
        while (!traslado->esperar(MilisegundosPorEspera)) latido();
        if (traslado->bien()) intermedia_.vaciadaAparte();
    }
    vaciada = vaciada || intermedia_.vaciar(&motivoVaciar, [&latido](const QString&) { latido(); });
    QString motivoGuardado;
    const bool guardado = escritor.terminar(latido, &motivoGuardado);
    // Only a report whose working table is whole shows its workbook, in one rename: the earlier
    // file stays whatever failed before, and nothing removes the new one once it is in place.
    if (guardado && vaciada && seguir()) return libro.reemplazar(error);
    libro.descartar();
    if (error) *error = !guardado ? motivoGuardado : vaciada ? TextoFusionCortada() : motivoVaciar;
    return false;
}

bool FusionReporte::escribirEnUnaPasada(LibroExcel& libro, const QString& ruta,
                                        const std::function<void()>& latido,
                                        const std::function<bool()>& seguir, QString* error) {
    cierre_ = 1.0;
    libro.ponerAvanceCierre([this](double fraccion) { cierre_ = fraccion; });
    HiloEscritor escritor(libro, ruta, cola_);
    QString motivoCarga;
    const bool cargada = enPrograma_->repartir(&cola_, filasLibro_, latido, seguir, &motivoCarga);
    QString motivoGuardado;
    const bool guardado = escritor.terminar(latido, &motivoGuardado);
    // As in the other ways: only a report whose working table is whole shows its workbook.
    if (guardado && cargada && seguir()) return libro.reemplazar(error);
    libro.descartar();
    if (error) *error = !cargada ? motivoCarga : !guardado ? motivoGuardado : TextoFusionCortada();
    return false;
}
