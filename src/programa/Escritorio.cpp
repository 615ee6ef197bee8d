#include "programa/Escritorio.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#include "programa/ReporteSinVentana.h"

namespace {
QtMessageHandler anterior = nullptr;

void avisar(const QString& causa) {
    std::fprintf(stderr,
                 "varelmo: la ventana del programa necesita una sesión de escritorio (%s); sin "
                 "ella, el reporte se genera con --reporte.\n\n%s",
                 qUtf8Printable(causa), qUtf8Printable(AyudaLineaDeOrdenes()));
}

// Qt's fatal note while the application object is being built is the platform that could not
// start: the user gets the program's own words instead of an abort.
void alFallar(QtMsgType tipo, const QMessageLogContext& contexto, const QString& texto) {
    if (tipo != QtFatalMsg) {
        if (anterior) anterior(tipo, contexto, texto);
        return;
    }
    const QString pantalla = qEnvironmentVariable("DISPLAY");
    avisar(pantalla.isEmpty() ? QStringLiteral("no se pudo abrir la pantalla")
                              : QStringLiteral("no se pudo abrir la pantalla «%1»").arg(pantalla));
    std::fflush(stderr);
    std::_Exit(SalidaSinEscritorio);
}
}  // namespace

bool HayEscritorio() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        avisar(QStringLiteral("no está definida DISPLAY ni WAYLAND_DISPLAY"));
        return false;
    }
#endif
    return true;
}

GuardiaEscritorio::GuardiaEscritorio() { anterior = qInstallMessageHandler(alFallar); }

GuardiaEscritorio::~GuardiaEscritorio() {
    qInstallMessageHandler(anterior);
    anterior = nullptr;
}
