#include "programa/ParaPluginsPortables.h"

#include <QDir>

#include "anfitrion/ArchivoIni.h"
#include "anfitrion/Cifrado.h"
#include "anfitrion/Instalacion.h"
#include "basedatos/BasesDD.h"
#include "basedatos/SesionSegura.h"
#include "dialogos/Dialogos.h"
#include "dialogos/EstiloMensaje.h"

namespace {
const QChar CR(u'\r');

void avisarInstalacionAusente(Dialogos& dialogos, const QString& archivoIni,
                              const QString& carpeta) {
    const QString texto = QStringLiteral("En el archivo de configuración de este programa") + CR +
                          CR + u'(' + QDir::toNativeSeparators(archivoIni) + u')' + CR + CR +
                          QStringLiteral("debe indicarse la ruta correcta de Talmira Premium.") +
                          CR + QStringLiteral("Ruta indicada e incorrecta: ") + CR + CR + carpeta;
    dialogos.cajaSistema(texto, estilos::Alto, QStringLiteral("Atención"));
    const Respuesta editar =
        dialogos.cajaSistema(QStringLiteral("¿Desea editar el archivo de configuración?"),
                             estilos::Pregunta, QStringLiteral("Editar INI"));
    if (editar == Respuesta::Si) dialogos.abrirDocumento(archivoIni);
}

void avisarIniIlegible(Dialogos& dialogos, const QString& archivoIni, const QString& motivo) {
    const QString texto =
        QStringLiteral("No se puede leer el archivo de configuración de este programa") + CR + CR +
        u'(' + QDir::toNativeSeparators(archivoIni) + u')' + CR + CR + motivo + u'.';
    dialogos.cajaSistema(texto, estilos::Alto, QStringLiteral("Atención"));
}

// The host's settings file is there but cannot be read (no permission, a folder, too large): read
// as empty, it would send the program to a server on the default port under the default user.
void avisarAjustesAnfitrionIlegibles(Dialogos& dialogos, const QString& ajustes,
                                     const QString& motivo) {
    const QString texto =
        QStringLiteral("No se puede leer el archivo de configuración de Talmira Premium") + CR +
        CR + u'(' + ajustes + u')' + CR + CR + motivo + u'.';
    dialogos.cajaSistema(texto, estilos::Alto, QStringLiteral("Atención"));
}

void avisarAjusteDelAnfitrion(Dialogos& dialogos, const Instalacion& instalacion,
                              const QString& problema, const QString& clave,
                              const QString& motivo) {
    const QString ajustes = instalacion.archivoAjustes();
    const QString texto = problema + QStringLiteral(" \"") + clave +
                          QStringLiteral("\" de la instalación de Talmira Premium") + CR + u'(' +
                          ajustes + u')' + CR + CR + motivo;
    dialogos.cajaSistema(texto, estilos::Alto, QStringLiteral("Atención"));
}

std::optional<QString> descifrar(Dialogos& dialogos, Instalacion& instalacion,
                                 const QString& clave) {
    QString error;
    const QString guardado = instalacion.DatosTMW(clave).trimmed();
    std::optional<QString> plano = instalacion.DesEncripta(guardado, Instalacion::SelectorAnfitrion,
                                                           &error, Cifrado::lugarAjuste(clave));
    // A value of the earlier form is refused like any other that does not decipher: bound to no
    // place, it may be the other setting's value, and only talmira-host resellar seals it again.
    if (!plano)
        avisarAjusteDelAnfitrion(dialogos, instalacion,
                                 QStringLiteral("No se pudo descifrar el valor"), clave, error);
    return plano;
}

// The deciphered value of `clave`, or `defecto` when the host stores it blank.
std::optional<QString> descifrarODefecto(Dialogos& dialogos, Instalacion& instalacion,
                                         const QString& clave, const QString& defecto) {
    if (instalacion.DatosTMW(clave).trimmed().isEmpty()) return defecto;
    return descifrar(dialogos, instalacion, clave);
}

// The installation named in the program's settings file, with a host settings file it can read;
// false once the user has been told what is wrong.
bool encontrarInstalacion(Dialogos& dialogos, Instalacion& instalacion, const QString& archivoIni) {
    // A settings file that is there but cannot be read (a folder, too large, no permission) would
    // otherwise read as empty and send the user after a wrong installation folder.
    if (const QString motivo = ArchivoIni::motivoIlegible(archivoIni); !motivo.isEmpty()) {
        avisarIniIlegible(dialogos, archivoIni, motivo);
        return false;
    }
    const QString carpeta =
        LeeIniDefecto(SeccionConfiguracion(), QStringLiteral("Ruta de Talmira Premium"),
                      QStringLiteral("C:\\talmirapremium"), archivoIni);
    if (instalacion.BuscarRegistroTMW(carpeta).isEmpty()) {
        avisarInstalacionAusente(dialogos, archivoIni, carpeta);
        return false;
    }
    const QString ajustesAnfitrion = QDir(carpeta).filePath(Instalacion::nombreArchivoAjustes());
    if (const QString motivo = ArchivoIni::motivoIlegible(ajustesAnfitrion); !motivo.isEmpty()) {
        avisarAjustesAnfitrionIlegibles(dialogos, QDir::toNativeSeparators(ajustesAnfitrion),
                                        motivo);
        return false;
    }
    return true;
}

// The port the host stores: none stored (blank, or the number 0) is the server's usual one; any
// other text must be a port, or the user is told what the host stores instead.
std::optional<int> puertoDelAnfitrion(Dialogos& dialogos, const Instalacion& instalacion) {
    const QString clave = QStringLiteral("MySQLPuerto");
    const QString texto = instalacion.DatosTMW(clave);
    bool esNumero = texto.trimmed().isEmpty();
    double numero = esNumero ? 0 : texto.trimmed().toDouble(&esNumero);
    if (esNumero && numero == 0) numero = 3306;
    if (!esNumero || numero < 1 || numero > 65535 || numero != static_cast<int>(numero)) {
        avisarAjusteDelAnfitrion(dialogos, instalacion,
                                 QStringLiteral("No es un puerto válido el valor"), clave, texto);
        return std::nullopt;
    }
    return static_cast<int>(numero);
}

// The host server's settings into `bases`. A blank value takes its default for this run only:
// nothing is written back into the host's file, so a value missing or garbled there never becomes
// a stored credential or port.
bool leerAjustesServidor(Dialogos& dialogos, Instalacion& instalacion, BasesDD& bases) {
    const std::optional<QString> contrasena =
        descifrarODefecto(dialogos, instalacion, QStringLiteral("MySQLPassword"), QString());
    if (!contrasena) return false;
    const std::optional<QString> nombreUsuario = descifrarODefecto(
        dialogos, instalacion, QStringLiteral("MySQLUsuario"), QStringLiteral("root"));
    if (!nombreUsuario) return false;
    const std::optional<int> puerto = puertoDelAnfitrion(dialogos, instalacion);
    if (!puerto) return false;
    bases.cPassword = *contrasena;
    bases.cUsuario = *nombreUsuario;
    bases.cPuerto = *puerto;
    // A blank server is the one of the host's older key.
    const QString nombreServidor = instalacion.DatosTMW(QStringLiteral("MySQLServer"));
    bases.cRuta = nombreServidor.trimmed().isEmpty()
                      ? instalacion.DatosTMW(QStringLiteral("servidor"))
                      : nombreServidor;
    const QString general = instalacion.DatosTMW(QStringLiteral("MySQLBaseGeneral")).trimmed();
    bases.baseGeneral = general.isEmpty() ? QStringLiteral("talmira") : general;
    return true;
}

// Every session, host and company alike, follows the host's TLS settings.
bool ponerTlsDelAnfitrion(Dialogos& dialogos, Instalacion& instalacion) {
    QString error;
    const std::optional<AjustesTls> tls = LeerAjustesTls(
        [&](const QString& k) { return instalacion.DatosTMW(k); }, instalacion.carpeta(), &error);
    if (!tls) {
        avisarAjusteDelAnfitrion(dialogos, instalacion,
                                 QStringLiteral("No se puede usar el ajuste de TLS"),
                                 QStringLiteral("MySQLSSL"), error);
        return false;
    }
    PonerTls(*tls);
    return true;
}
}  // namespace

QString SeccionConfiguracion() { return QStringLiteral("Configuración"); }

QString LeeIniDefecto(const QString& seccion, const QString& clave, const QString& defecto,
                      const QString& archivo) {
    const QString leido = ArchivoIni::leer(archivo, seccion, clave);
    if (!leido.isEmpty()) return leido;
    // One write and one read back: when the file cannot be written the default is still the answer.
    ArchivoIni::escribir(archivo, seccion, clave, defecto);
    const QString releido = ArchivoIni::leer(archivo, seccion, clave);
    return releido.isEmpty() ? defecto : releido;
}

bool PrepararConexion(Instalacion& instalacion, BasesDD& bases, const QString& archivoIni,
                      bool leerBase, Dialogos& dialogos) {
    if (!encontrarInstalacion(dialogos, instalacion, archivoIni) ||
        !leerAjustesServidor(dialogos, instalacion, bases) ||
        !ponerTlsDelAnfitrion(dialogos, instalacion))
        return false;
    if (leerBase)
        bases.cMiBase =
            LeeIniDefecto(SeccionConfiguracion(), QStringLiteral("Base de datos a usar"),
                          QStringLiteral("datos1"), archivoIni);
    return true;
}
