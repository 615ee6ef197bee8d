#include "report/clsLlenarTabla.h"

#include <QDir>
#include <climits>

#include "common/LetraColumna.h"
#include "common/Mensajes.h"
#include "common/Programa.h"
#include "components/BasesDD.h"
#include "components/DeAcceso.h"
#include "components/DeArchivos.h"
#include "components/LibroExcel.h"
#include "components/Sql.h"
#include "components/Utilerias.h"
#include "report/SolicitudReporte.h"

namespace {
// Rows per INSERT: large enough to cut the round trips, small enough for the server's packet.
constexpr int FilasPorLote = 500;
// The progress line is refreshed by time, not per product.
constexpr qint64 MilisegundosEntreAvisos = 100;
// Longest description the working table holds.
constexpr int LargoDescripcion = 60;

const char16_t* const AvisoFaltante = u"No existe en alguna empresa";

// The first `largo` characters of `texto`, counted as the server counts them (code points), so a
// character outside the basic plane is never split into half a surrogate pair.
QString cortarTexto(const QString& texto, int largo)
{
    qsizetype unidades = 0;
    for (int caracteres = 0; unidades < texto.size() && caracteres < largo; ++caracteres)
        unidades += texto.at(unidades).isHighSurrogate() && unidades + 1 < texto.size() &&
                            texto.at(unidades + 1).isLowSurrogate()
                        ? 2
                        : 1;
    return texto.left(unidades);
}

// The working table's rows, streamed into the sheet.
class FilasDeRecordset : public FuenteFilas {
public:
    FilasDeRecordset(Recordset& rs, std::function<void()> latido) : rs_(rs), latido_(std::move(latido)) {}
    bool siguiente(QVariantList& fila) override
    {
        if (rs_.alFinal())
            return false;
        fila.clear();
        const int n = rs_.numCampos();
        fila.reserve(n);
        for (int i = 0; i < n; ++i)
            fila << rs_.valor(i);
        rs_.siguiente();
        if (latido_)
            latido_();
        return true;
    }

private:
    Recordset& rs_;
    std::function<void()> latido_;
};
}  // namespace

clsLlenarTabla::clsLlenarTabla(QString nivelPrecio, QString archivo, Progreso progreso)
    : columnaPrecio_(QStringLiteral("Precio") + nivelPrecio.trimmed()), archivo_(std::move(archivo)),
      progreso_(std::move(progreso))
{
    reloj_.start();
}

QString clsLlenarTabla::rutaArchivo() const
{
    return QDir(programa().carpetaPrograma).filePath(archivo_);
}

void clsLlenarTabla::avanzar(const QString& base, const QString& clave, bool forzar)
{
    if (!progreso_)
        return;
    const qint64 ahora = reloj_.elapsed();
    if (!forzar && ultimoAviso_ >= 0 && ahora - ultimoAviso_ < MilisegundosEntreAvisos)
        return;
    ultimoAviso_ = ahora;
    if (!base.isEmpty())
        ultimoTexto_ = base + QStringLiteral(".- ") + clave;
    progreso_(ultimoTexto_);
}

clsLlenarTabla::Paso clsLlenarTabla::fusionarEmpresa(int posicion, int id, Recordset& empresa,
                                                      Recordset& productos, QString* error)
{
    Programa& p = programa();
    BasesDD& compartido = *p.basesDD;
    if (!compartido.AbrirTabla(empresa, p.ConexionPrincipal, QStringLiteral("empresas where Id=?"),
                               QStringLiteral("BaseDeDatos,BaseDeDatos2,Servidor,Usuario,Conexion,Puerto"),
                               {id})) {
        if (compartido.ultimoError().isEmpty())
            return Paso::Omitida;   // no row for this company
        *error = compartido.ultimoError();
        return Paso::Fallo;
    }

    BasesDD propio;
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
        for (const auto& c : cifrados) {
            QString motivo;
            const std::optional<QString> plano =
                p.deAcceso->DesEncripta(empresa.campo(c.campo).toString(), c.selector, &motivo);
            if (!plano) {
                *error = QStringLiteral("el campo %1 de la empresa %2 no se pudo descifrar (%3)")
                             .arg(c.campo)
                             .arg(id)
                             .arg(motivo);
                return Paso::Fallo;
            }
            *c.destino = *plano;
        }
        propio.cPuerto = empresa.campo(QStringLiteral("Puerto")).toInt();
    } else {
        propio.cRuta = compartido.cRuta;
        propio.cUsuario = compartido.cUsuario;
        propio.cPassword = compartido.cPassword;
        propio.cPuerto = compartido.cPuerto;
        propio.cMiBase = empresa.campo(QStringLiteral("BaseDeDatos")).toString();
    }
    if (propio.cMiBase.isEmpty() || !propio.AbrirBdD(p.ConexionEmpresa, propio.cMiBase))
        return Paso::Omitida;   // the company database does not open

    avanzar(propio.cMiBase, QString(), true);
    const bool hay = propio.AbrirTabla(productos, p.ConexionEmpresa, QStringLiteral("productos order by Clave"),
                                       QStringLiteral("Clave,Descrip,Costo,") + columnaPrecio_);
    if (!hay && !propio.ultimoError().isEmpty()) {
        *error = propio.ultimoError();
        return Paso::Fallo;
    }

    const QString costo = citarIdentificador(QStringLiteral("Costo%1").arg(id));
    const QString precio = citarIdentificador(QStringLiteral("Precio%1").arg(id));
    const QString cabecera = QStringLiteral("INSERT INTO `tbltempproductos` (`Clave`,`Descrip`,%1,%2,`Aviso`) VALUES ")
                                 .arg(costo, precio);
    // A code already in the table keeps its description and warning; this company only writes
    // its own pair, as a lookup followed by an update of the found row would.
    const QString alDuplicar = QStringLiteral(" ON DUPLICATE KEY UPDATE %1=VALUES(%1),%2=VALUES(%2)").arg(costo, precio);
    // A code first met in the first company gets the column's empty default, never NULL (a null
    // QString would be bound as NULL).
    const QString aviso = posicion > 1 ? QString::fromUtf16(AvisoFaltante) : QStringLiteral("");

    Conexion& principal = p.ConexionPrincipal;
    if (!principal.ejecutar(QStringLiteral("START TRANSACTION"), {}, error))
        return Paso::Fallo;
    QVariantList valores;
    valores.reserve(FilasPorLote * 5);
    int enLote = 0;
    QString ultimaClave;
    auto vaciar = [&]() {
        if (enLote == 0)
            return true;
        QString sql = cabecera;
        sql.reserve(cabecera.size() + enLote * 12 + alDuplicar.size());
        for (int i = 0; i < enLote; ++i)
            sql += i ? QStringLiteral(",(?,?,?,?,?)") : QStringLiteral("(?,?,?,?,?)");
        sql += alDuplicar;
        const bool bien = principal.ejecutar(sql, valores, error);
        valores.clear();
        enLote = 0;
        return bien;
    };
    for (; !productos.alFinal(); productos.siguiente()) {
        ultimaClave = productos.valor(0).toString();
        QVariant descripcion = productos.valor(1);
        if (!descripcion.isNull())
            descripcion = cortarTexto(descripcion.toString(), LargoDescripcion);
        valores << productos.valor(0) << descripcion << productos.valor(2) << productos.valor(3) << aviso;
        avanzar(propio.cMiBase, ultimaClave);
        if (++enLote == FilasPorLote && !vaciar()) {
            principal.ejecutar(QStringLiteral("ROLLBACK"));
            return Paso::Fallo;
        }
    }
    if (!vaciar() || !principal.ejecutar(QStringLiteral("COMMIT"), {}, error)) {
        principal.ejecutar(QStringLiteral("ROLLBACK"));
        return Paso::Fallo;
    }
    if (!ultimaClave.isEmpty())
        avanzar(propio.cMiBase, ultimaClave, true);
    return Paso::Siguiente;
}

bool clsLlenarTabla::RellenarTabla()
{
    Programa& p = programa();
    reloj_.start();
    Recordset empresa, productos, trabajo;
    QString error;
    const QList<int> lista = p.listaSeleccion;
    for (int posicion = 1; posicion <= lista.size(); ++posicion) {
        if (fusionarEmpresa(posicion, lista[posicion - 1], empresa, productos, &error) == Paso::Fallo) {
            p.basesDD->CierraTabla(productos);
            p.basesDD->CierraTabla(empresa);
            Mensaje(TextoReporteFallido(error), 16, QStringLiteral("Alerta"));
            return false;
        }
    }

    QString motivo;
    const bool escrito = ExportarExcel(trabajo, &motivo);
    p.basesDD->CierraTabla(productos);
    p.basesDD->CierraTabla(empresa);
    p.basesDD->CierraTabla(trabajo);

    Utilerias& u = *p.utilerias;
    if (excedeXls_) {
        Mensaje(u.CambXXX(QStringLiteral("El archivo 'XXX' no fue creado: el formato .xls admite hasta 65,536 filas y "
                                         "256 columnas; use un nombre terminado en .xlsx"),
                          archivo_),
                16, QStringLiteral("Alerta"));
        return false;
    }
    if (escrito && p.deArchivos->HayArchivo(rutaArchivo())) {
        Mensaje(u.CambXXX(QStringLiteral("Archivo 'XXX' creado"), archivo_), 0, QStringLiteral("Aviso"));
        return true;
    }
    Mensaje(u.CambXXX(QStringLiteral("El archivo 'XXX' no fue creado, debido a un error de automatización"),
                      archivo_),
            16, QStringLiteral("Alerta"));
    return false;
}

bool clsLlenarTabla::ExportarExcel(Recordset& rs, QString* error)
{
    Programa& p = programa();
    std::unique_ptr<AplicacionExcel> excel = AplicacionExcel::crear(p.AplicativoExcel, error);
    if (!excel)
        return false;
    std::unique_ptr<LibroExcel> libro = excel->agregarLibro();
    HojaExcel& hoja = libro->hoja();

    hoja.ponerValor(1, 1, QStringLiteral("Reporte varelmo"));
    hoja.ponerTamano(Rango{1, 1, 1, 1}, 18);
    int columna = 3;
    for (int id : std::as_const(p.listaSeleccion)) {
        hoja.ponerValor(1, columna, QStringLiteral("Datos%1").arg(id));
        hoja.ponerNegrita(Rango{1, columna, 1, columna});
        if (p.basesDD->AbrirTabla(rs, p.ConexionPrincipal, QStringLiteral("empresas where Id=?"),
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

    if (!p.basesDD->AbrirTabla(rs, p.ConexionPrincipal, QStringLiteral("tbltempproductos order by Clave")) &&
        !p.basesDD->ultimoError().isEmpty()) {
        if (error)
            *error = p.basesDD->ultimoError();
        return false;
    }
    // An .xls sheet holds 65,536 rows and 256 columns; a report that does not fit is refused
    // whole, before anything is written, rather than cut short.
    excedeXls_ = rutaArchivo().endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive) &&
                 !cabeEnXls(static_cast<int>(qMin<qint64>(rs.cuenta() + 3, INT_MAX)), rs.numCampos());
    if (excedeXls_) {
        if (error)
            *error = QStringLiteral("el formato .xls no admite tantas filas o columnas");
        return false;
    }
    // While the sheet is written the progress line keeps its last text, and the window repaints.
    FilasDeRecordset filas(rs, [this] { avanzar(QString(), QString()); });
    hoja.copiarFilas(4, 1, filas);
    const QString bloque = QStringLiteral("C4:") + LetraColumna(rs.numCampos() - 1) +
                           QString::number(rs.cuenta() + 3);
    if (const std::optional<Rango> r = Rango::desdeTexto(bloque))
        hoja.ponerFormatoNumero(*r, p.FormatoPrecios);
    return libro->guardarComo(rutaArchivo(), error);
}
