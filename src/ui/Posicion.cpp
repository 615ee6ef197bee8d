#include "ui/Posicion.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <optional>

#include "anfitrion/ArchivoIni.h"
#include "ui/Twips.h"

namespace {
QString seccionDe(const QWidget* ventana) {
    const QString etiqueta = ventana->property("tag").toString();
    if (!etiqueta.trimmed().isEmpty()) return etiqueta;
    return ventana->objectName().trimmed();
}

// A whole number of twips, or nothing when the text is not one.
std::optional<qint64> entero(const QString& texto) {
    bool bien = false;
    const double valor = texto.trimmed().toDouble(&bien);
    if (!bien || !std::isfinite(valor) || std::fabs(valor) > 1e12) return std::nullopt;
    return static_cast<qint64>(std::llround(valor));
}

QString numero(double twips) { return QString::number(std::llround(twips)); }

// The screen most of `marco` lies on; the primary screen when it lies on none.
const QScreen* pantallaDe(const QRect& marco) {
    const QScreen* elegida = nullptr;
    qint64 mayor = 0;
    for (const QScreen* pantalla : QGuiApplication::screens()) {
        const QRect comun = pantalla->availableGeometry().intersected(marco);
        const qint64 area = comun.isEmpty() ? 0 : qint64(comun.width()) * comun.height();
        if (area > mayor) {
            mayor = area;
            elegida = pantalla;
        }
    }
    return elegida ? elegida : QGuiApplication::primaryScreen();
}
}  // namespace

bool GuardarPosicion(const QString& archivoIni, QWidget* ventana, bool conTamano, QString* error) {
    const QString seccion = seccionDe(ventana);
    if (seccion.isEmpty()) return true;
    const QRect marco = ventana->frameGeometry();
    bool bien = true;
    const auto escribir = [&](const QString& clave, const QString& valor) {
        QString motivo;
        if (!ArchivoIni::escribir(archivoIni, seccion, clave, valor, &motivo)) {
            if (bien && error) *error = motivo;
            bien = false;
        }
    };
    escribir(QStringLiteral("Ventana"), ventana->windowTitle());
    escribir(QStringLiteral("Linea"), numero(PixelesATwips(ventana, marco.y())));
    escribir(QStringLiteral("Columna"), numero(PixelesATwips(ventana, marco.x())));
    if (conTamano) {
        // The size is the window's own area: the frame the window system adds is not known yet
        // when the window reads its placement back, before it is first shown.
        escribir(QStringLiteral("Ancho"), numero(PixelesATwips(ventana, ventana->width())));
        escribir(QStringLiteral("Alto"), numero(PixelesATwips(ventana, ventana->height())));
    }
    return bien;
}

void LeerPosicion(const QString& archivoIni, QWidget* ventana, bool conTamano) {
    const QString seccion = seccionDe(ventana);
    qint64 arriba = 0, izquierda = 0, ancho = 0, alto = 0;
    const auto leer = [&](const QString& clave) {
        return ArchivoIni::leer(archivoIni, seccion, clave);
    };
    if (!seccion.isEmpty()) {
        arriba = static_cast<qint64>(obVal(leer(QStringLiteral("Linea"))));
        izquierda = static_cast<qint64>(obVal(leer(QStringLiteral("Columna"))));
        if (conTamano) {
            // A width or height that is no number (an empty one too) puts the window back at the
            // top-left corner, in its design size.
            const std::optional<qint64> a = entero(leer(QStringLiteral("Ancho")));
            const std::optional<qint64> h = entero(leer(QStringLiteral("Alto")));
            if (!a || !h) arriba = izquierda = 0;
            ancho = a.value_or(0);
            alto = h.value_or(0);
        }
    }

    QSize tamano = ventana->size();
    if (conTamano && ancho > 0 && alto > 0) {
        const QSize guardado(TwipsAPixeles(ventana, static_cast<double>(ancho)),
                             TwipsAPixeles(ventana, static_cast<double>(alto)));
        const QSize minimo = ventana->minimumSizeHint().expandedTo(ventana->minimumSize());
        if (guardado.width() >= minimo.width() && guardado.height() >= minimo.height())
            tamano = guardado;
    }
    const QPoint lugar(TwipsAPixeles(ventana, static_cast<double>(izquierda)),
                       TwipsAPixeles(ventana, static_cast<double>(arriba)));
    ventana->move(lugar);
    if (tamano != ventana->size()) ventana->resize(tamano);
    AjustarAPantalla(ventana);
}

void AjustarAPantalla(QWidget* ventana) {
    const QRect marco = ventana->frameGeometry();
    const QSize bordes = marco.size() - ventana->size();
    if (ventana->minimumSize() != ventana->maximumSize())
        if (const QScreen* pantalla = pantallaDe(marco)) {
            const QSize cabe = ventana->size()
                                   .boundedTo(pantalla->availableGeometry().size() - bordes)
                                   .expandedTo(ventana->minimumSize());
            if (cabe != ventana->size()) ventana->resize(cabe);
        }
    ventana->move(PosicionVisible(QRect(marco.topLeft(), ventana->size() + bordes)));
}

QPoint PosicionVisible(const QRect& marco) {
    const QScreen* elegida = pantallaDe(marco);
    if (!elegida) return marco.topLeft();
    const QRect zona = elegida->availableGeometry();
    return QPoint(qMax(zona.left(), qMin(marco.x(), zona.right() + 1 - marco.width())),
                  qMax(zona.top(), qMin(marco.y(), zona.bottom() + 1 - marco.height())));
}
