#include "report/SolicitudReporte.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>

#include "archivos/ErrorSistema.h"
#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"
#include "plataforma/Disco.h"
#include "report/Marcas.h"
#include "report/NombresTrabajo.h"
#include "report/Reporte.h"

QString SolicitudReporte::rutaArchivo() const { return QDir(carpeta).filePath(archivo); }

Validacion ValidarSolicitud(const QString& archivo, const QList<int>& empresas,
                            const ArchivosPropios& propios, QString* motivo) {
    if (archivo.trimmed().isEmpty()) return Validacion::ArchivoEnBlanco;
    if (empresas.isEmpty()) return Validacion::SinEmpresas;
    const QString problema = ProblemaNombreArchivo(archivo, propios);
    if (!problema.isEmpty()) {
        if (motivo) *motivo = problema;
        return Validacion::ArchivoInvalido;
    }
    const QString destino = ProblemaDestino(archivo.trimmed(), propios.carpeta);
    if (!destino.isEmpty()) {
        if (motivo) *motivo = destino;
        return Validacion::DestinoNoEscribible;
    }
    return Validacion::Valida;
}

QString TextoValidacion(Validacion validacion, const QString& archivo, const QString& motivo) {
    switch (validacion) {
        case Validacion::ArchivoEnBlanco:
            return QStringLiteral("No se indicó el nombre del archivo");
        case Validacion::SinEmpresas:
            return QStringLiteral("No está seleccionada ninguna empresa");
        case Validacion::ArchivoInvalido:
            return QStringLiteral("El nombre de archivo '%1' no es válido: %2")
                .arg(archivo, motivo);
        case Validacion::DestinoNoEscribible:
            return motivo;
        case Validacion::Valida:
            break;
    }
    return QString();
}

QString ProblemaNombreArchivo(const QString& archivo, const ArchivosPropios& nombres) {
    if (archivo.contains(u'/') || archivo.contains(u'\\'))
        return QStringLiteral(
                   "el nombre no puede llevar carpetas; el archivo se guarda en la "
                   "carpeta %1")
            .arg(QDir::toNativeSeparators(nombres.carpeta));
    if (archivo == QStringLiteral(".") || archivo == QStringLiteral(".."))
        return QStringLiteral("no es un nombre de archivo");
    // A leading dash reads as an option to any command the file is later handed to.
    if (archivo.startsWith(u'-')) return QStringLiteral("el nombre no puede empezar con un guion");
    for (const QChar c : archivo)
        if (c.unicode() < 32 || c == u'\x7f')
            return QStringLiteral("el nombre lleva caracteres de control");
    // Invisible format characters (a right-to-left override, a zero-width space) would make the
    // name shown differ from the file written.
    for (const char32_t c : archivo.toUcs4())
        if (QChar::category(c) == QChar::Other_Format)
            return QStringLiteral("el nombre lleva caracteres invisibles de formato");
    // Characters that a file name on the users' other systems cannot hold: a workbook named with
    // them could not be copied there or opened from a shared folder.
    const QString prohibidos = QStringLiteral("<>:\"|?*");
    for (const QChar c : archivo)
        if (prohibidos.contains(c))
            return QStringLiteral(
                "el nombre no puede llevar ninguno de los caracteres < > : \" | ? *");
    if (archivo.toUtf8().size() > 250) return QStringLiteral("el nombre es demasiado largo");
    // A copy of the program writes its workbooks beside itself: under the name of one of its own
    // files a workbook would replace it.
    const struct {
        QString archivo;
        const char16_t* que;
    } propios[] = {
        {QFileInfo(nombres.ini).fileName(), u"es el archivo de configuración del programa"},
        {QFileInfo(nombres.descripcion).fileName(), u"es el archivo de descripción del programa"},
        {QFileInfo(nombres.ejecutable).fileName(), u"es el propio programa"}};
    for (const auto& propio : propios)
        if (!propio.archivo.isEmpty() && archivo.compare(propio.archivo, Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(propio.que);
    return QString();
}

QString ProblemaDestino(const QString& archivo, const QString& carpeta) {
    const QString ruta = QDir::toNativeSeparators(QDir(carpeta).filePath(archivo));
    bool elArchivo = false;
    const int numero = ImpedimentoEscritura(ruta, &elArchivo);
    if (numero == 0) return QString();
    const QString inicio = QStringLiteral("El archivo '%1' no fue creado: ").arg(archivo);
    if (elArchivo && (numero == EACCES || numero == EPERM))
        return inicio + QStringLiteral("'%1' es de solo lectura y se deja como está").arg(ruta);
    // Held by another program without sharing writes (a workbook open in a spreadsheet program).
    if (elArchivo && numero == EBUSY)
        return inicio + QStringLiteral(
                            "'%1' está abierto en otro programa; ciérrelo y vuelva a generar el "
                            "reporte")
                            .arg(ruta);
    if (elArchivo)
        return inicio + QStringLiteral("no se puede escribir '%1' (%2)")
                            .arg(ruta, TextoErrorSistema(numero));
    return inicio + QStringLiteral("no se puede escribir en la carpeta '%1' (%2)")
                        .arg(QDir::toNativeSeparators(carpeta), TextoErrorSistema(numero));
}

QList<int> EmpresasMarcadas(const QList<MarcaEmpresa>& filas) {
    QList<int> ids;
    for (const MarcaEmpresa& fila : filas)
        if (fila.marca == TextoSi()) ids << fila.id.trimmed().toInt();
    return ids;
}

QString DefinicionTablaTrabajo(const QList<int>& ids) {
    // Costs and prices are doubles: a float keeps about seven digits and would change prices
    // such as 1,234,567.89.
    QString sql = QStringLiteral("CREATE TABLE if not exists ") +
                  citarIdentificador(nombres::TablaTrabajo()) + QStringLiteral(" (") +
                  QStringLiteral("`Clave` varchar(15) NOT NULL DEFAULT '',") +
                  QStringLiteral("`Descrip` varchar(60) DEFAULT '',");
    for (int id : ids)
        sql +=
            QStringLiteral("`Costo%1` double DEFAULT '0',`Precio%1` double DEFAULT '0',").arg(id);
    sql += QStringLiteral("`Aviso` varchar(50) DEFAULT '', PRIMARY KEY (`Clave`))");
    return sql;
}

bool QuitarTablaTrabajo(Conexion& principal, QString* error) {
    return principal.ejecutar(QStringLiteral("Drop table if exists ") + nombres::TablaTrabajo(), {},
                              error);
}

bool CrearTablaTrabajo(Conexion& principal, const QList<int>& ids, QString* error) {
    if (!QuitarTablaTrabajo(principal, error)) return false;
    if (principal.ejecutar(DefinicionTablaTrabajo(ids), {}, error)) return true;
    // The server caps the columns of a table (about 500 companies); say what was asked for.
    if (error)
        *error = QStringLiteral("no se pudo crear la tabla de trabajo para %1 empresas: %2")
                     .arg(ids.size())
                     .arg(*error);
    return false;
}

QString TextoReporteFallido(const QString& motivo) {
    return QStringLiteral("El reporte no pudo generarse: ") + motivo;
}
