#include "report/clsLlenarTabla.h"

#include <QFileInfo>
#include <climits>
#include <memory>

#include "anfitrion/Cifrado.h"
#include "anfitrion/Instalacion.h"
#include "basedatos/BasesDD.h"
#include "libro/LibroExcel.h"
#include "libro/LimitesXls.h"
#include "report/FusionEmpresa.h"
#include "report/HojaReporte.h"

namespace {
// The progress line is refreshed by time, not per product.
constexpr qint64 MilisegundosEntreAvisos = 100;
}  // namespace

clsLlenarTabla::clsLlenarTabla(SolicitudReporte solicitud, ConexionesReporte conexiones,
                               Progreso progreso, OpcionesReporte opciones)
    : solicitud_(std::move(solicitud)),
      conexiones_(conexiones),
      fusion_(conexiones, std::move(opciones),
              QStringLiteral("Precio") + solicitud_.nivelPrecio.trimmed()),
      progreso_(std::move(progreso)) {
    reloj_.start();
}

bool clsLlenarTabla::tocaAviso(bool forzar) {
    if (!progreso_) return false;
    const qint64 ahora = reloj_.elapsed();
    if (!forzar && ultimoAviso_ >= 0 && ahora - ultimoAviso_ < MilisegundosEntreAvisos)
        return false;
    ultimoAviso_ = ahora;
    return true;
}

bool clsLlenarTabla::avanzar(const QString& base, const QString& clave, bool forzar) {
    if (!tocaAviso(forzar)) return !cancelado_;
    // The line always names a code: until one is reached, it keeps its last text.
    if (!base.isEmpty() && !clave.isEmpty()) ultimoTexto_ = base + QStringLiteral(".- ") + clave;
    if (!progreso_(ultimoTexto_)) cancelado_ = true;  // the run stops at its next step
    return !cancelado_;
}

bool clsLlenarTabla::descifrarServidorPropio(int id, const Recordset& empresa, BasesDD& propio,
                                             QString* error) {
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
        const std::optional<QString> plano = conexiones_.instalacion.DesEncripta(
            empresa.campo(c.campo).toString(), c.selector, &motivo,
            Cifrado::lugarEmpresa(id, c.selector, puerto));
        if (!plano) {
            *error = QStringLiteral("el campo %1 de la empresa %2 no se pudo descifrar (%3)")
                         .arg(c.campo)
                         .arg(id)
                         .arg(motivo);
            return false;
        }
        *c.destino = *plano;
    }
    propio.cPuerto = puerto;
    return true;
}

FusionReporte::Empresa clsLlenarTabla::resolverEmpresa(int id, Recordset& empresa, BasesDD& propio,
                                                       QString* error) {
    BasesDD& compartido = conexiones_.anfitrion;
    if (!compartido.AbrirTabla(
            empresa, conexiones_.principal, QStringLiteral("empresas where Id=?"),
            QStringLiteral("BaseDeDatos,BaseDeDatos2,Servidor,Usuario,Conexion,Puerto"), {id})) {
        if (compartido.ultimoError().isEmpty()) {
            omitidas_.insert(id, QStringLiteral("no está en la tabla de empresas"));
            return FusionReporte::Empresa::Omitida;
        }
        *error = compartido.ultimoError();
        return FusionReporte::Empresa::Fallo;
    }

    const QString base2 = empresa.campo(QStringLiteral("BaseDeDatos2")).toString();
    if (!base2.trimmed().isEmpty()) {
        // The company's database lies on its own server, with settings stored enciphered.
        if (!descifrarServidorPropio(id, empresa, propio, error))
            return FusionReporte::Empresa::Fallo;
    } else {
        propio.cRuta = compartido.cRuta;
        propio.cUsuario = compartido.cUsuario;
        propio.cPassword = compartido.cPassword;
        propio.cPuerto = compartido.cPuerto;
        propio.cMiBase = empresa.campo(QStringLiteral("BaseDeDatos")).toString();
    }
    if (propio.cMiBase.isEmpty()) {
        omitidas_.insert(id, QStringLiteral("su fila de la tabla de empresas no indica la base de "
                                            "datos"));
        return FusionReporte::Empresa::Omitida;
    }
    if (!propio.AbrirBdD(conexiones_.empresa, propio.cMiBase)) {
        // The session's own text names the server and why the database did not open.
        const QString motivo = propio.ultimoError();
        omitidas_.insert(
            id, QStringLiteral("no se pudo abrir su base de datos «%1»").arg(propio.cMiBase) +
                    (motivo.isEmpty() ? QString() : QStringLiteral(": ") + motivo));
        return FusionReporte::Empresa::Omitida;
    }

    return FusionReporte::Empresa::Abierta;
}

ResultadoReporte clsLlenarTabla::RellenarTabla() {
    reloj_.start();
    QString error;
    if (!fusionar(&error)) return resultado(ResultadoReporte::Estado::Fallido, error);
    Recordset trabajo;
    QString motivo;
    const Exportacion exportada = exportar(trabajo, &motivo);
    conexiones_.anfitrion.CierraTabla(trabajo);
    // Whatever the export's outcome, the working table gets every row.
    if (!cancelado_ && !fusion_.vaciar(&error, [this] { avanzar(QString(), QString()); }))
        return resultado(ResultadoReporte::Estado::Fallido, error);
    if (exportada == Exportacion::ExcedeXls) return resultado(ResultadoReporte::Estado::ExcedeXls);
    if (exportada == Exportacion::Escrita && QFileInfo::exists(solicitud_.rutaArchivo()))
        return resultado(ResultadoReporte::Estado::Creado);
    return resultado(ResultadoReporte::Estado::NoCreado, motivo);
}

bool clsLlenarTabla::fusionar(QString* error) {
    Recordset empresa;
    return fusion_.fusionar(
        solicitud_.empresas,
        [&](int id, BasesDD& propio, QString* e) {
            const FusionReporte::Empresa paso = resolverEmpresa(id, empresa, propio, e);
            conexiones_.anfitrion.CierraTabla(empresa);
            return paso;
        },
        [this](const QString& base, const QString& clave, bool forzar) {
            return avanzar(base, clave, forzar);
        },
        error);
}

ResultadoReporte clsLlenarTabla::resultado(ResultadoReporte::Estado estado,
                                           const QString& motivo) const {
    ResultadoReporte r;
    r.archivo = solicitud_.archivo;
    r.ruta = solicitud_.rutaArchivo();
    // A run cut short tells nobody: the program is being closed or the user stopped it.
    r.estado = cancelado_ ? ResultadoReporte::Estado::Cancelado : estado;
    r.motivo = motivo;
    r.fusionesEnServidor = fusion_.fusionesEnServidor();
    r.enDosPartes = fusion_.enDosPartes();
    r.enUnaPasada = fusion_.enUnaPasada();
    r.omisiones = omisiones();
    return r;
}

QList<ResultadoReporte::Omision> clsLlenarTabla::omisiones() const {
    QList<ResultadoReporte::Omision> lista;
    for (int id : solicitud_.empresas) {
        if (const auto it = omitidas_.constFind(id); it != omitidas_.cend())
            lista << ResultadoReporte::Omision{id, *it};
        else if (const auto c = fusion_.clavesFuera().constFind(id);
                 c != fusion_.clavesFuera().cend())
            lista << ResultadoReporte::Omision{
                id, QStringLiteral("se dejaron fuera ") + c->texto() +
                        QStringLiteral(", que la tabla de trabajo no admite")};
    }
    return lista;
}

QList<EmpresaEnHoja> clsLlenarTabla::empresasEnHoja(Recordset& rs) {
    QList<EmpresaEnHoja> empresas;
    for (int id : std::as_const(solicitud_.empresas)) {
        const bool conFila = conexiones_.anfitrion.AbrirTabla(rs, conexiones_.principal,
                                                              QStringLiteral("empresas where Id=?"),
                                                              QStringLiteral("Empresa"), {id});
        empresas << EmpresaEnHoja{id, conFila ? rs.campo(QStringLiteral("Empresa")).toString()
                                              : QStringLiteral("datos%1").arg(id)};
    }
    return empresas;
}

bool clsLlenarTabla::ExportarExcel(Recordset& rs, QString* error) {
    return exportar(rs, error) == Exportacion::Escrita;
}

clsLlenarTabla::Exportacion clsLlenarTabla::exportar(Recordset& rs, QString* error) {
    std::unique_ptr<AplicacionExcel> excel =
        AplicacionExcel::crear(solicitud_.aplicativoExcel, error);
    if (!excel) return Exportacion::NoEscrita;
    std::unique_ptr<LibroExcel> libro = excel->agregarLibro();
    libro->ponerEscritorOoxml(solicitud_.escritorOoxml);
    HojaExcel& hoja = libro->hoja();
    EncabezarHoja(hoja, empresasEnHoja(rs));

    // While the sheet is written the progress line names the file and the code the writer has
    // reached, and the window repaints.
    const auto latido = [this] {
        if (tocaAviso()) avanzar(solicitud_.archivo, fusion_.claveEnEscritura(), true);
    };
    QString motivo;
    if (!fusion_.abrirFilas(latido, &motivo)) {
        if (error) *error = motivo;
        return Exportacion::NoEscrita;
    }
    // An .xls sheet holds 65,536 rows and 256 columns; a report that does not fit is refused
    // whole, rather than cut short: before anything is written when its rows are counted, or once
    // the merge in one pass has given the sheet more than it holds (no workbook is then shown).
    const std::optional<qint64> filas = fusion_.cuenta();
    if (esNombreXls(solicitud_.rutaArchivo())) {
        if (!cabeEnXls(static_cast<int>(qMin<qint64>(filas.value_or(0) + 3, INT_MAX)),
                       fusion_.numCampos())) {
            if (error) *error = QStringLiteral("el formato .xls no admite tantas filas o columnas");
            return Exportacion::ExcedeXls;
        }
        fusion_.limitarFilasLibro(kMaxFilasXls - 3);
    }
    hoja.copiarFilas(4, 1, fusion_.filas());
    // Rows not yet counted take the format down to the sheet's end: the writer stops at the last
    // row written, so the sheet is the same as with the count.
    FormatearPrecios(hoja, fusion_.numCampos(), filas.value_or(kMaxFilasHoja),
                     solicitud_.formatoPrecios);
    // The line turns to the workbook as its rows start (a last chance to stop before them).
    avanzar(solicitud_.archivo, fusion_.claveEnEscritura(), true);
    if (!fusion_.escribir(
            *libro, solicitud_.rutaArchivo(), latido, [this] { return !cancelado_; }, error))
        return fusion_.libroExcedido() ? Exportacion::ExcedeXls : Exportacion::NoEscrita;
    return Exportacion::Escrita;
}
