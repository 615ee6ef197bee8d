#include <QApplication>
#include <QSessionManager>
#include <cstdio>
#include <memory>

#include "basedatos/Biblioteca.h"
#include "dialogos/Dialogos.h"
#include "plataforma/Proceso.h"
#include "plataforma/SenalesDeCierre.h"
#include "programa/Arranque.h"
#include "programa/Contexto.h"
#include "programa/Escritorio.h"
#include "programa/LugaresPrograma.h"
#include "programa/ReporteSinVentana.h"
#include "ui/CajaSkin.h"
#include "ui/PintarSkin.h"
#include "ui/frmInicial.h"

int main(int argc, char** argv) {
    AjustarBibliotecas();
    IniciarBibliotecaBaseDatos();
    CallarMensajesDeQt();
    ProhibirVolcadosDeMemoria();
    PrepararConsola();
    const QStringList argumentos = ArgumentosDelPrograma(argc, argv);
    if (argumentos.contains(QStringLiteral("--help")) ||
        argumentos.contains(QStringLiteral("-h"))) {
        std::fputs(qUtf8Printable(AyudaLineaDeOrdenes()), stdout);
        return 0;
    }
    if (argumentos.contains(QStringLiteral("--version"))) {
        // The version the window's caption shows.
        std::printf("%s %s\n", qUtf8Printable(TituloPrograma()),
                    qUtf8Printable(TextoVersion().trimmed()));
        return 0;
    }
    if (argumentos.contains(QStringLiteral("--reporte"))) {
        QCoreApplication app(argc, argv);
        return EjecutarReporteSinVentana(argumentos);
    }
    if (!argumentos.isEmpty()) {
        std::fprintf(stderr, "varelmo: opción desconocida: %s\n\n%s",
                     qUtf8Printable(argumentos.first()), qUtf8Printable(AyudaLineaDeOrdenes()));
        return 2;
    }

    if (!HayEscritorio()) return SalidaSinEscritorio;
    const std::unique_ptr<QApplication> app = [&] {
        const GuardiaEscritorio guardia;
        return std::make_unique<QApplication>(argc, argv);
    }();
    // Every window, the start-up boxes too, shows the logo as its icon; the desktop matches the
    // windows with the menu entry.
    QApplication::setWindowIcon(IconoPrograma());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.varelmo.ReporteVarelmo"));
    // Logging out, a shutdown or a signal from the system close the window without asking; a
    // signal that comes during start-up waits in the event loop until the window exists.
    SenalesDeCierre senales;
    Contexto contexto;
    contexto.dialogos = std::make_shared<DialogosVentanas>();
    if (!ArrancarPrograma(contexto, RutaDelPrograma())) return 1;
    QString error;
    const std::optional<DatosIniciales> datos = CargarDatosIniciales(contexto, &error);
    if (!datos) {
        contexto.dialogos->cajaSistema(error, estilos::Alto, QStringLiteral("Atención"));
        return 1;
    }
    frmInicial ventana(contexto);
    ventana.mostrarDatos(*datos);
    QObject::connect(&senales, &SenalesDeCierre::recibida, &ventana,
                     &frmInicial::terminarPorSistema);
    QObject::connect(app.get(), &QGuiApplication::commitDataRequest, &ventana,
                     &frmInicial::terminarPorSistema);
    ventana.show();
    return app->exec();
}
