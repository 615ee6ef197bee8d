#include "programa/Arranque.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cmath>
#include <optional>

#include "anfitrion/ArchivoIni.h"
#include "basedatos/BasesDD.h"
#include "plataforma/Disco.h"
#include "programa/Contexto.h"
#include "programa/LugaresPrograma.h"
#include "programa/ParaPluginsPortables.h"

namespace {
QString leer(const Contexto& c, const QString& clave, const QString& defecto) {
    return LeeIniDefecto(SeccionConfiguracion(), clave, defecto, c.lugares.ajustes);
}

QString conMotivo(const QString& que, const QString& motivo) {
    return motivo.isEmpty() ? que : que + QStringLiteral(": ") + motivo;
}

// A count of price levels as the earlier program took it: any numeric text (blanks around it, a
// decimal part, an exponent) rounded to the nearest whole number, halves to the even one, within
// the range of a 16-bit integer; nothing for a text that is no number or lies outside that range.
std::optional<int> nivelesDeTexto(const QString& texto) {
    bool esNumero = false;
    const double valor = texto.trimmed().toDouble(&esNumero);
    if (!esNumero || !std::isfinite(valor)) return std::nullopt;
    const double entero = std::nearbyint(valor);  // the default rounding: halves to even
    if (entero < -32768 || entero > 32767) return std::nullopt;
    return static_cast<int>(entero);
}
// "1" .. the number of price levels of the database of "Base de datos a usar", opened on the
// company connection; nothing with the reason.
std::optional<QStringList> nivelesDePrecio(Contexto& p, QString* error) {
    BasesDD& bases = p.basesDD;
    if (!bases.AbrirBdD(p.ConexionEmpresa, bases.cMiBase)) {
        if (error)
            *error = conMotivo(
                QStringLiteral("No se pudo abrir la base de datos \"%1\"").arg(bases.cMiBase),
                bases.ultimoError());
        return std::nullopt;
    }
    const std::optional<QString> precios =
        bases.LeerConfig(QStringLiteral("Precios"), p.ConexionEmpresa);
    const std::optional<int> cuenta = precios ? nivelesDeTexto(*precios) : std::nullopt;
    if (!cuenta) {
        if (error)
            *error = conMotivo(
                QStringLiteral("La base de datos \"%1\" no indica un número de precios válido")
                    .arg(bases.cMiBase),
                precios ? QStringLiteral("\"%1\"").arg(*precios) : bases.ultimoError());
        return std::nullopt;
    }
    QStringList niveles;
    for (int nivel = 1; nivel <= *cuenta; ++nivel) niveles << QString::number(nivel);
    return niveles;
}

// The host's companies in Id order, each with its saved tick, read on the host connection (opened
// here); nothing with the reason. A company seen for the first time gets its "Empresa <Id>" key
// with the default; all of them go into the settings file in one write, which takes the same time
// for 20,000 companies as for one.
std::optional<QList<EmpresaInicial>> empresasConMarca(Contexto& p, QString* error) {
    BasesDD& bases = p.basesDD;
    if (!bases.AbrirBdD(p.ConexionPrincipal)) {
        if (error)
            *error = conMotivo(
                QStringLiteral("No se pudo abrir la base de datos \"%1\"").arg(bases.baseGeneral),
                bases.ultimoError());
        return std::nullopt;
    }
    Recordset tabla;
    if (!bases.AbrirTabla(tabla, p.ConexionPrincipal, QStringLiteral("empresas order by Id"),
                          QStringLiteral("Id,Empresa")) &&
        !bases.ultimoError().isEmpty()) {
        if (error)
            *error = conMotivo(QStringLiteral("No se pudo leer la tabla de empresas"),
                               bases.ultimoError());
        return std::nullopt;
    }
    QList<EmpresaInicial> empresas;
    QList<std::pair<QString, QString>> faltantes;
    for (; !tabla.alFinal(); tabla.siguiente()) {
        EmpresaInicial empresa;
        empresa.id = tabla.campo(QStringLiteral("ID")).toInt();
        empresa.nombre = tabla.campo(QStringLiteral("Empresa")).toString();
        const QString clave = QStringLiteral("Empresa %1").arg(empresa.id);
        const QString marca = ArchivoIni::leer(p.lugares.ajustes, SeccionConfiguracion(), clave);
        if (marca.isEmpty()) faltantes.push_back({clave, TextoNo()});
        empresa.marcada = marca == TextoSi();
        empresas << empresa;
    }
    ArchivoIni::escribirVarias(p.lugares.ajustes, SeccionConfiguracion(), faltantes);
    return empresas;
}
}  // namespace

QString TextoVersion() {
    return QStringLiteral("   v %1.%2.%3")
        .arg(VARELMO_VERSION_MAJOR)
        .arg(VARELMO_VERSION_MINOR)
        .arg(VARELMO_VERSION_PATCH);
}

QString TituloPrograma() { return QStringLiteral("Reporte varelmo"); }

QString TituloConVersion(const QString& tituloDisenado) {
    return tituloDisenado.trimmed() + TextoVersion();
}

QString TextoMuestra(const BasesDD& bases) {
    return QStringLiteral(" Servidor: ") + bases.cRuta + QChar(u'\r') +
           QStringLiteral("  Base de datos: ") + bases.cMiBase;
}

bool ArrancarPrograma(Contexto& c, const QString& rutaEjecutable) {
    c.ponerEjecutable(rutaEjecutable);
    const QString carpeta = QDir::cleanPath(QFileInfo(rutaEjecutable).absolutePath());
    c.lugares = ElegirLugares(rutaEjecutable, CarpetaEscribible(carpeta), CarpetasDelUsuario());
    if (c.lugares.instalado) CrearCarpetasDelUsuario(c.lugares);
    // A relative folder in the settings file counts from the settings file's own folder.
    QDir::setCurrent(QFileInfo(c.lugares.ajustes).absolutePath());
    return PrepararConexion(c.instalacion, c.basesDD, c.lugares.ajustes, true, *c.dialogos);
}

std::optional<DatosIniciales> CargarDatosIniciales(Contexto& p, QString* error) {
    DatosIniciales datos;
    const std::optional<QStringList> precios = nivelesDePrecio(p, error);
    if (!precios) return std::nullopt;
    datos.precios = *precios;
    const QString precio = leer(p, QStringLiteral("Precio"), QStringLiteral("1"));
    datos.precioSeleccionado = static_cast<int>(datos.precios.indexOf(precio));
    datos.archivo =
        leer(p, QStringLiteral("Archivo de Excel"), p.nombrePrograma + QStringLiteral(".xls"));
    p.AplicativoExcel =
        leer(p, QStringLiteral("Aplicativo de Excel"), QStringLiteral("Excel.Application"));
    p.FormatoPrecios =
        leer(p, QStringLiteral("Formato para precios"), QStringLiteral("##,###,##0.00"));
    const std::optional<QList<EmpresaInicial>> empresas = empresasConMarca(p, error);
    if (!empresas) return std::nullopt;
    datos.empresas = *empresas;
    return datos;
}

void CallarMensajesDeQt() {
    if (qEnvironmentVariableIntValue("VARELMO_MENSAJES_QT") == 1) return;
    static const QtMessageHandler anterior = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(
        [](QtMsgType tipo, const QMessageLogContext& contexto, const QString& texto) {
            if ((tipo == QtCriticalMsg || tipo == QtFatalMsg) && anterior)
                anterior(tipo, contexto, texto);
        });
}
