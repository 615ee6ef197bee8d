#pragma once
#include <QList>
#include <QMap>
#include <QString>
#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

#include "report/ClavesFuera.h"
#include "report/ColaFilas.h"
#include "report/FilasTrabajo.h"
#include "report/Reporte.h"
#include "report/TablaIntermedia.h"

class BasesDD;
class FusionEnPrograma;
class LibroExcel;
struct EmpresaParaMitad;
struct ParteClaves;

// The fast path of a report, behind one seam: "merge these companies into the working table" and
// "give the workbook's writer the rows in code order".
//
// Inside it, the way the companies go, chosen once before any is merged:
// - merged in the program in one pass to both outputs (FusionEnPrograma), each company streamed
//   on a session of its own, when the server takes the working table's load from the program and
//   has sessions to spare for every company;
// - otherwise merged into the working table first and read back for the writer, through the copy
//   in the server's memory, with the lock of its parts (TablaIntermedia): in two parts of the codes
//   at once, the upper one on a second connection (FusionEnDos), when the server can merge every
//   company, or else one company at a time, by the server or through the program (FusionEmpresa),
//   which is also how a merge in two parts that failed starts again.
// Then the queue of rows and the thread that writes the workbook. Every thread it starts has ended
// when the call that started it returns, on every path, an exception's too.
class FusionReporte {
public:
    enum class Empresa { Abierta, Omitida, Fallo };
    // Looks a company up (its row, its settings) and opens its database on the company
    // connection: Omitida when it has no row or its database does not open; Fallo with `error`.
    using Resolver = std::function<Empresa(int id, BasesDD& propio, QString* error)>;
    // The company database and the code a merge has reached; `forzar` for a company's first and
    // last codes, which the progress line always shows. False stops the merge.
    using Avance = std::function<bool(const QString& base, const QString& clave, bool forzar)>;

    FusionReporte(ConexionesReporte conexiones, OpcionesReporte opciones, QString columnaPrecio);
    ~FusionReporte();

    // Merges the companies of `lista`, in its order, into the working table (or its copy); false
    // with the reason.
    bool fusionar(const QList<int>& lista, const Resolver& resolver, const Avance& avance,
                  QString* error);
    int fusionesEnServidor() const { return fusionesEnServidor_; }
    // The companies some of whose products the working table could not hold, by Id.
    const QMap<int, ClavesFuera>& clavesFuera() const { return clavesFuera_; }
    bool enDosPartes() const { return enDosPartes_; }
    // Merged in the program in one pass to the sheet and the working table.
    bool enUnaPasada() const { return enPrograma_ != nullptr; }

    // Opens the merged rows in code order; `latido` runs after each row read (they are read as
    // escribir hands them to the writer). False with the server's error.
    bool abrirFilas(const std::function<void()>& latido, QString* error);
    // The number of rows; nothing when it is known only once they are written (in one pass, a
    // merge that has rows).
    std::optional<qint64> cuenta() const;
    int numCampos() const;
    // The most rows the sheet may take: in one pass, a longer report stops the writer's rows (the
    // working table still gets them all) and libroExcedido() says so.
    void limitarFilasLibro(qint64 filas) { filasLibro_ = filas; }
    bool libroExcedido() const;
    // The rows as the writer takes them: the source a sheet copies from.
    FuenteFilas& filas() { return cola_; }
    // Saves `libro` at `ruta` on a thread of its own while this one reads the rows and hands them
    // over; once all are read, the working table gets them while the writer finishes, and only
    // then is the workbook renamed into place. `latido` runs while this thread waits or hands rows
    // over; `seguir` answers false to cut the run short. False with the reason; no workbook short
    // of rows is ever shown, and an earlier one stays.
    bool escribir(LibroExcel& libro, const QString& ruta, std::function<void()> latido,
                  const std::function<bool()>& seguir, QString* error);
    // The code the writer has reached, for the progress line.
    QString claveEnEscritura() const;
    // Every merged row into the working table, when the workbook was not written, `latido`
    // running meanwhile; false with the server's error.
    bool vaciar(QString* error, const std::function<void()>& latido = {});

private:
    bool enServidor(const BasesDD& propio) const;
    // How the companies go (FusionReporte.cpp): the list and its lookup, and the way chosen.
    struct Plan;
    // A way of merging a plan's companies: Abierta once all are merged, Fallo with the reason.
    using Manera = Empresa (FusionReporte::*)(const Plan& plan, const Avance& avance,
                                              QString* error);
    // Chooses the way for `plan`: in two parts when the copy in memory is in use, the server can
    // merge every company and the codes can be cut (the copy is then split in its two parts);
    // one company at a time otherwise. False with `error` when looking a company up failed.
    bool elegirManera(Plan& plan, QString* error);
    // Prepares the merge in the program in one pass: Abierta when it is ready, Omitida when it
    // cannot go that way (the merge then goes into the working table), Fallo with the reason.
    Empresa prepararEnPrograma(const Plan& plan, const Avance& avance, QString* error);
    // The rows of the merge in one pass to the writer and the working table, as escribir.
    bool escribirEnUnaPasada(LibroExcel& libro, const QString& ruta,
                             const std::function<void()>& latido,
                             const std::function<bool()>& seguir, QString* error);
    // The ways: every company merged by the server in two parts at once, or one company at a
    // time (fusionarEmpresa).
    Empresa fusionarEnDos(const Plan& plan, const Avance& avance, QString* error);
    Empresa fusionarUnaPorUna(const Plan& plan, const Avance& avance, QString* error);
    Empresa fusionarEmpresa(int posicion, int id, const Resolver& resolver, const Avance& avance,
                            QString* error);
    // The companies of `lista` looked up for the merge in two parts, into `empresas`: Abierta when
    // the server can merge them all, Omitida when one must go through the program.
    Empresa empresasParaMitad(const QList<int>& lista, const Resolver& resolver,
                              QList<EmpresaParaMitad>* empresas, QString* error);
    // The lower part of every company, on this connection, while the second one merges the upper
    // part; false with `motivo` when a company failed; `sigue` false when the run was cut short.
    bool fusionarParteBaja(const QList<EmpresaParaMitad>& empresas, const ParteClaves& parte,
                           const Avance& avance, bool* sigue, QString* motivo);
    // The condition of the products of company `id` (open on the company connection) that the
    // working table can hold, its left-out ones noted; nothing with the server's error.
    std::optional<QString> revisar(int id, QString* error);
    // Hands every row read to the writer's queue, `latido` running while the queue is full;
    // whether all were read (the queue is ended, or aborted with the reason).
    bool pasarFilas(const std::function<void()>& latido, const std::function<bool()>& seguir);

    ConexionesReporte conexiones_;
    OpcionesReporte opciones_;
    QString columnaPrecio_;
    TablaIntermedia intermedia_;
    FilasTrabajo filas_;
    ColaFilas cola_;
    std::unique_ptr<FusionEnPrograma> enPrograma_;
    int columnas_ = 0;  // of the working table
    qint64 filasLibro_ = std::numeric_limits<qint64>::max();
    // How far the writer has closed the workbook (AvanceCierre), set on its thread; 1 while it
    // reports nothing.
    std::atomic<double> cierre_{1.0};
    QMap<int, ClavesFuera> clavesFuera_;
    int fusionesEnServidor_ = 0;
    bool enDosPartes_ = false;
};
