#include "report/clsLlenarTabla.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <climits>
#include <memory>
#include <thread>

#include "common/LetraColumna.h"
#include "components/BasesDD.h"
#include "components/Cifrado.h"
#include "components/DeAcceso.h"
#include "components/EscritorXlsx.h"
#include "components/LibroExcel.h"
#include "components/Sql.h"
#include "report/AvanceCompartido.h"
#include "report/ColaFilas.h"
#include "report/FilasTrabajo.h"
#include "report/FusionEnDos.h"
#include "report/FusionEmpresa.h"
#include "report/SolicitudReporte.h"
#include "report/TablaIntermedia.h"
#include "report/TrabajoEnHilo.h"

namespace {
// The progress line is refreshed by time, not per product.
constexpr qint64 MilisegundosEntreAvisos = 100;
}  // namespace

clsLlenarTabla::clsLlenarTabla(SolicitudReporte solicitud, ConexionesReporte conexiones, Progreso progreso,
                               OpcionesReporte opciones)
    : solicitud_(std::move(solicitud)), conexiones_(conexiones), opciones_(std::move(opciones)),
      columnaPrecio_(QStringLiteral("Precio") + solicitud_.nivelPrecio.trimmed()), progreso_(std::move(progreso))
{
    reloj_.start();
}

QString clsLlenarTabla::rutaArchivo() const
{
    return QDir(solicitud_.carpeta).filePath(solicitud_.archivo);
}

bool clsLlenarTabla::tocaAviso(bool forzar)
{
    if (!progreso_)
        return false;
    const qint64 ahora = reloj_.elapsed();
    if (!forzar && ultimoAviso_ >= 0 && ahora - ultimoAviso_ < MilisegundosEntreAvisos)
        return false;
    ultimoAviso_ = ahora;
    return true;
}

void clsLlenarTabla::avanzar(const QString& base, const QString& clave, bool forzar)
{
    if (!tocaAviso(forzar))
        return;
    // The line always names a code: until one is reached, it keeps its last text.
    if (!base.isEmpty() && !clave.isEmpty())
        ultimoTexto_ = base + QStringLiteral(".- ") + clave;
    if (!progreso_(ultimoTexto_))
        cancelado_ = true;   // the run stops at its next step

}

clsLlenarTabla::Paso clsLlenarTabla::resolverEmpresa(int id, Recordset& empresa, BasesDD& propio, QString* error)
{
    BasesDD& compartido = conexiones_.anfitrion;
    if (!compartido.AbrirTabla(empresa, conexiones_.principal, QStringLiteral("empresas where Id=?"),
                               QStringLiteral("BaseDeDatos,BaseDeDatos2,Servidor,Usuario,Conexion,Puerto"),
                               {id})) {
        if (compartido.ultimoError().isEmpty())
            return Paso::Omitida;   // no row for this company
        *error = compartido.ultimoError();
        return Paso::Fallo;
    }

    const QString base2 = empresa.campo(QStringLiteral("BaseDeDatos2")).toString();
    if (!base2.trimmed().isEmpty()) {
        // The company's database lies on its own server, with settings stored enciphered.
        const struct {
            QString campo;
            int selector;
            QString* destino;
        } cifrados[] = {{QStringLiteral("Servidor"), 1, &propio.cRuta},
                        {QStringLiteral("BaseDeDatos2"), 2, &propio.cMiBase},
                        {QStringLiteral("Usuario"), 3, &propio.cUsuario},
                        {QStringLiteral("Conexion"), 4, &propio.cPassword}};
        // Each value deciphers only in this company's row and field, the server only with the port
        // stored beside it.
        const int puerto = empresa.campo(QStringLiteral("Puerto")).toInt();
        for (const auto& c : cifrados) {
            QString motivo;
            const std::optional<QString> plano = conexiones_.acceso.DesEncripta(
                empresa.campo(c.campo).toString(), c.selector, &motivo, Cifrado::lugarEmpresa(id, c.selector, puerto));
            if (!plano) {
                *error = QStringLiteral("el campo %1 de la empresa %2 no se pudo descifrar (%3)")
                             .arg(c.campo)
                             .arg(id)
                             .arg(motivo);
                return Paso::Fallo;
            }
            *c.destino = *plano;
        }
        propio.cPuerto = puerto;
    } else {
        propio.cRuta = compartido.cRuta;
        propio.cUsuario = compartido.cUsuario;
        propio.cPassword = compartido.cPassword;
        propio.cPuerto = compartido.cPuerto;
        propio.cMiBase = empresa.campo(QStringLiteral("BaseDeDatos")).toString();
    }
    if (propio.cMiBase.isEmpty() || !propio.AbrirBdD(conexiones_.empresa, propio.cMiBase))
        return Paso::Omitida;   // the company database does not open

    return Paso::Siguiente;
}

bool clsLlenarTabla::enServidor(const BasesDD& propio) const
{
    // The server can read the company's products itself when they lie on the host's server and
    // the host's user reaches them.
    const BasesDD& compartido = conexiones_.anfitrion;
    return !opciones_.soloPorCliente && propio.cRuta == compartido.cRuta && propio.cPuerto == compartido.cPuerto &&
           propio.cUsuario == compartido.cUsuario && propio.cPassword == compartido.cPassword;
}

clsLlenarTabla::Paso clsLlenarTabla::fusionarEmpresa(int posicion, int id, Recordset& empresa,
                                                      TablaIntermedia& intermedia, QString* error)
{
    BasesDD propio;
    const Paso resuelta = resolverEmpresa(id, empresa, propio, error);
    if (resuelta != Paso::Siguiente)
        return resuelta;
    const bool porServidor = enServidor(propio);
    QString ultimaClave;
    auto fusionar = [&]() {
        const FusionEmpresa f{conexiones_.principal, conexiones_.empresa, propio.cMiBase, id, posicion, columnaPrecio_,
                              intermedia.destino(), [&](const QString& clave) {
                                  // Every company shows on the line, with its first code.
                                  avanzar(propio.cMiBase, clave, ultimaClave.isEmpty());
                                  ultimaClave = clave;
                                  return !cancelado_;
                              },
                              QString(), QString(), QVariant()};
        return porServidor ? fusionarEnServidor(f, error) : fusionarPorCliente(f, error);
    };
    bool bien = fusionar();
    if (!bien && intermedia.activa()) {
        // The copy in memory may be full: the rows go on in the working table, and this company
        // is merged again there, which gives the same rows.
        QString motivo;
        if (!intermedia.vaciar(&motivo)) {
            *error = motivo;
            return Paso::Fallo;
        }
        bien = fusionar();
    }
    if (!bien)
        return Paso::Fallo;
    if (porServidor)
        ++fusionesEnServidor_;
    if (!ultimaClave.isEmpty())
        avanzar(propio.cMiBase, ultimaClave, true);
    return Paso::Siguiente;
}

TrabajoEnHilo::Ajustes clsLlenarTabla::ajustesSegundaConexion() const
{
    const BasesDD& compartido = conexiones_.anfitrion;
    return {compartido.cRuta, compartido.cUsuario, compartido.cPassword, conexiones_.principal.base(),
            compartido.cPuerto};
}

clsLlenarTabla::Paso clsLlenarTabla::fusionarEnDos(TablaIntermedia& intermedia, QString* error)
{
    // Only when the server merges every company: the companies are looked up first, and any
    // that must go through the program leaves the merge to the one-pass way (Omitida).
    if (!intermedia.activa() || opciones_.soloPorCliente)
        return Paso::Omitida;
    QList<EmpresaParaMitad> empresas;
    const QList<int> lista = solicitud_.empresas;
    Recordset fila;
    for (int posicion = 1; posicion <= lista.size(); ++posicion) {
        BasesDD propio;
        const Paso paso = resolverEmpresa(lista[posicion - 1], fila, propio, error);
        if (paso == Paso::Fallo) {
            conexiones_.anfitrion.CierraTabla(fila);
            return Paso::Fallo;
        }
        if (paso == Paso::Omitida)
            continue;
        if (!enServidor(propio)) {
            conexiones_.anfitrion.CierraTabla(fila);
            return Paso::Omitida;
        }
        empresas << EmpresaParaMitad{posicion, lista[posicion - 1], propio.cMiBase,
                                     ordenProductos(conexiones_.empresa, columnaPrecio_), false};
    }
    conexiones_.anfitrion.CierraTabla(fila);
    if (empresas.isEmpty())
        return Paso::Omitida;
    const std::optional<ParteClaves> parte = partirClaves(conexiones_.principal, empresas.first().base, opciones_.corte);
    if (!parte || !intermedia.partir())
        return Paso::Omitida;
    for (EmpresaParaMitad& e : empresas)
        e.directa = parte->directa(comparacionClave(conexiones_.principal, e.base, QStringLiteral("productos")));

    QString motivo;
    AvanceCompartido avanceAlta;
    TrabajoEnHilo alta(ajustesSegundaConexion(),
                       [&, destino = intermedia.parteAlta(), columna = columnaPrecio_](Conexion& otra, QString* e) {
                           return fusionarParteAlta(otra, empresas, columna, destino, *parte, avanceAlta, e);
                       });
    alta.empezar();
    bool bien = true;
    for (const EmpresaParaMitad& e : std::as_const(empresas)) {
        QString ultimaClave;
        const FusionEmpresa f{conexiones_.principal, conexiones_.principal, e.base, e.id, e.posicion, columnaPrecio_,
                              intermedia.destino(),
                              [&](const QString& clave) {
                                  avanzar(e.base, clave, ultimaClave.isEmpty());
                                  ultimaClave = clave;
                                  return !cancelado_;
                              },
                              e.orden, e.directa ? parte->bajaDirecta : parte->baja, parte->corte};
        if (!(bien = fusionarEnServidor(f, &motivo)))
            break;
        if (!ultimaClave.isEmpty())
            avanzar(e.base, ultimaClave, true);
    }
    // The lower part is done: the line follows the upper part until it ends too.
    while (!alta.esperar(static_cast<int>(MilisegundosEntreAvisos))) {
        const auto [base, clave] = avanceAlta.tomar();
        avanzar(base, clave);
    }
    if (cancelado_) {
        *error = TextoFusionCortada();
        return Paso::Fallo;
    }
    if (bien && alta.bien()) {
        fusionesEnServidor_ = static_cast<int>(empresas.size());
        enDosPartes_ = true;
        return Paso::Siguiente;
    }
    // Whatever stopped either part (the copy full, a connection lost), the merge starts again in
    // one pass, which reports what still fails.
    if (!intermedia.reiniciar(error))
        return Paso::Fallo;
    return Paso::Omitida;
}

ResultadoReporte clsLlenarTabla::RellenarTabla()
{
    reloj_.start();
    Recordset empresa, trabajo;
    ResultadoReporte resultado;
    resultado.archivo = solicitud_.archivo;
    resultado.ruta = rutaArchivo();
    fusionesEnServidor_ = 0;
    enDosPartes_ = false;
    BasesDD& anfitrion = conexiones_.anfitrion;
    const auto terminar = [&](ResultadoReporte::Estado estado, const QString& motivo = QString()) {
        anfitrion.CierraTabla(empresa);
        anfitrion.CierraTabla(trabajo);
        // A run cut short tells nobody: the program is being closed.
        resultado.estado = cancelado_ ? ResultadoReporte::Estado::Cancelado : estado;
        resultado.motivo = motivo;
        resultado.fusionesEnServidor = fusionesEnServidor_;
        resultado.enDosPartes = enDosPartes_;
        return resultado;
    };

    TablaIntermedia intermedia(conexiones_.principal);
    intermedia.crear();
    const QList<int> lista = solicitud_.empresas;
    QString error;
    const Paso enDos = fusionarEnDos(intermedia, &error);
    bool bien = enDos != Paso::Fallo;
    for (int posicion = 1; enDos == Paso::Omitida && bien && posicion <= lista.size(); ++posicion)
        bien = !cancelado_ && fusionarEmpresa(posicion, lista[posicion - 1], empresa, intermedia, &error) != Paso::Fallo;
    if (!bien)
        return terminar(ResultadoReporte::Estado::Fallido, error);

    // The export reads the rows from the copy in memory and moves them into the working table
    // while the workbook is being finished; whatever its outcome, the working table gets them.
    QString motivo;
    intermedia_ = intermedia.activa() ? &intermedia : nullptr;
    const bool escrito = ExportarExcel(trabajo, &motivo);
    intermedia_ = nullptr;
    if (!cancelado_ && !intermedia.vaciar(&error)) {
        if (escrito)
            QFile::remove(rutaArchivo());
        return terminar(ResultadoReporte::Estado::Fallido, error);
    }
    if (excedeXls_)
        return terminar(ResultadoReporte::Estado::ExcedeXls);
    if (escrito && QFileInfo::exists(rutaArchivo()))
        return terminar(ResultadoReporte::Estado::Creado);
    return terminar(ResultadoReporte::Estado::NoCreado, motivo);
}

bool clsLlenarTabla::ExportarExcel(Recordset& rs, QString* error)
{
    std::unique_ptr<AplicacionExcel> excel = AplicacionExcel::crear(solicitud_.aplicativoExcel, error);
    if (!excel)
        return false;
    std::unique_ptr<LibroExcel> libro = excel->agregarLibro();
    HojaExcel& hoja = libro->hoja();

    hoja.ponerValor(1, 1, QStringLiteral("Reporte varelmo"));
    hoja.ponerTamano(Rango{1, 1, 1, 1}, 18);
    int columna = 3;
    for (int id : std::as_const(solicitud_.empresas)) {
        hoja.ponerValor(1, columna, QStringLiteral("Datos%1").arg(id));
        hoja.ponerNegrita(Rango{1, columna, 1, columna});
        if (conexiones_.anfitrion.AbrirTabla(rs, conexiones_.principal, QStringLiteral("empresas where Id=?"),
                                  QStringLiteral("Empresa"), {id}))
            hoja.ponerValor(2, columna, rs.campo(QStringLiteral("Empresa")).toString());
        else
            hoja.ponerValor(2, columna, QStringLiteral("datos%1").arg(id));
        hoja.ponerValor(3, columna, QStringLiteral("Costo"));
        hoja.ponerValor(3, columna + 1, QStringLiteral("Precio"));
        hoja.ponerNegrita(Rango{2, columna, 3, columna});
        hoja.ponerTamano(Rango{2, columna, 3, columna}, 18);
        hoja.ponerNegrita(Rango{3, columna + 1, 3, columna + 1});
        hoja.ponerTamano(Rango{3, columna + 1, 3, columna + 1}, 18);
        columna += 2;
    }
    hoja.ponerValor(3, 1, QStringLiteral("Clave"));
    hoja.ponerValor(3, 2, QStringLiteral("Descripción"));
    hoja.ponerNegrita(Rango{1, 1, 3, 2});
    hoja.ponerTamano(Rango{1, 1, 3, 2}, 18);
    hoja.ponerAnchoColumna(1, 15);
    hoja.ponerAnchoColumna(2, 60);

    // While the sheet is written the progress line names the file and the code the writer has
    // reached, and the window repaints.
    ColaFilas cola;
    const QString carpeta = QFileInfo(rutaArchivo()).absolutePath();
    const std::function<void()> latido = [this, &cola, carpeta] {
        if (!tocaAviso())
            return;
        QString clave = cola.claveEnEscritura();
        // With every row taken, the writer copies and compresses the sheet: the line follows it.
        if (const QString enCierre = cola.claveEnFraccion(LecturaTrabajoXlsx(carpeta).value_or(1.0));
            !enCierre.isEmpty())
            clave = enCierre;
        avanzar(solicitud_.archivo, clave, true);
    };
    FilasTrabajo filas(latido);
    QString motivo;
    if (!filas.abrir(conexiones_.principal, intermedia_ ? intermedia_->tablas() : QStringList{QStringLiteral("tbltempproductos")},
                     &motivo)) {
        if (error)
            *error = motivo;
        return false;
    }
    // With the copy in two parts, a second connection moves all its rows into the working table
    // while this one reads them for the sheet. Otherwise each range read from the copy goes into
    // the working table at once, on the server, while the writer is busy with the rows just read.
    std::unique_ptr<TrabajoEnHilo> traslado;
    if (intermedia_ && !intermedia_->parteAlta().isEmpty())
        traslado = std::make_unique<TrabajoEnHilo>(
            ajustesSegundaConexion(), [tablas = intermedia_->tablas()](Conexion& otra, QString* motivoTraslado) {
                return TablaIntermedia::moverConOtra(otra, tablas, motivoTraslado);
            });
    else if (intermedia_)
        filas.alLeerRango([this, &latido](int tabla, const QVariant& hasta, QString* motivoRango) {
            const bool movido = intermedia_->moverHasta(tabla, hasta, motivoRango);
            latido();
            return movido;
        });
    // An .xls sheet holds 65,536 rows and 256 columns; a report that does not fit is refused
    // whole, before anything is written, rather than cut short.
    excedeXls_ = rutaArchivo().endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive) &&
                 !cabeEnXls(static_cast<int>(qMin<qint64>(filas.cuenta() + 3, INT_MAX)), filas.numCampos());
    if (excedeXls_) {
        if (error)
            *error = QStringLiteral("el formato .xls no admite tantas filas o columnas");
        return false;
    }
    // The workbook is written on a thread of its own while this one reads the rows from the
    // database (whose connection belongs to it) and keeps the progress line moving, also while
    // the writer compresses the finished file.
    hoja.copiarFilas(4, 1, cola);
    // A report longer than a sheet goes on on further sheets, each laid out as the first: the
    // price block reaches down to the last row a sheet holds.
    const QString bloque = QStringLiteral("C4:") + LetraColumna(filas.numCampos() - 1) +
                           QString::number(qMin<qint64>(filas.cuenta() + 3, kMaxFilasHoja));
    if (const std::optional<Rango> r = Rango::desdeTexto(bloque))
        hoja.ponerFormatoNumero(*r, solicitud_.formatoPrecios);
    const QString ruta = rutaArchivo();
    bool guardado = false;
    QString motivoGuardado;
    if (traslado)
        traslado->empezar();
    std::thread escritor([&] {
        guardado = libro->guardarComo(ruta, &motivoGuardado);
        cola.cerrarLector();
    });
    QVariantList fila;
    while (!cancelado_ && filas.siguiente(fila) && cola.poner(std::move(fila), latido)) {
    }
    // Rows that stop before their end (a lost connection, the run cut short) make the writer's
    // save fail: no workbook short of rows is written, and an earlier one stays.
    if (cancelado_)
        cola.abortar(TextoFusionCortada());
    else if (!filas.error().isEmpty())
        cola.abortar(filas.error());
    else
        cola.terminar(latido);
    // Every row has left the database: what is left of the copy in memory goes into the working
    // table now, on the server, while the writer finishes and compresses the file.
    QString motivoVaciar;
    bool vaciada = true;
    if (traslado) {
        while (!traslado->esperar(static_cast<int>(MilisegundosEntreAvisos)))
            latido();
        // Should the second connection fail (it may not even open, on a server that limits the
        // connections), nothing of its work stays, and this connection moves the rows.
        vaciada = traslado->bien();
        if (vaciada)
            intermedia_->vaciadaAparte();
        else
            vaciada = intermedia_->vaciar(&motivoVaciar, latido);
    } else if (intermedia_ && filas.terminada() && !cancelado_) {
        vaciada = intermedia_->vaciar(&motivoVaciar, latido);
    }
    while (!cola.esperarLector(static_cast<int>(MilisegundosEntreAvisos)))
        latido();
    escritor.join();
    if (!guardado || !vaciada) {
        if (guardado)
            QFile::remove(ruta);
        if (error)
            *error = guardado ? motivoVaciar : motivoGuardado;
        return false;
    }
    return true;
}
