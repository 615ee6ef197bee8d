#include "ui/Colapso.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "anfitrion/ArchivoIni.h"
#include "ui/Twips.h"

namespace {
constexpr double MargenIzquierdo = 200;
constexpr double MargenInferior = 500;
constexpr double MargenTitulo = 800;
// Larger lengths than any desktop has are cut here, before they become pixels.
constexpr double TwipsMaximos = 1e7;
const QString PrefijoTitulo = QStringLiteral("   ");
// The screen's geometry at the collapse, to tell on restore whether it changed size.
const char* const PantallaAlReducir = "pantallaAlReducir";

qint64 twips(const QWidget* w, int pixeles) { return std::llround(PixelesATwips(w, pixeles)); }

int pixeles(const QWidget* w, double twips) {
    if (!std::isfinite(twips)) return 0;
    return TwipsAPixeles(w, std::clamp(twips, -TwipsMaximos, TwipsMaximos));
}

void ponerTamano(QWidget* ventana, QSize tamano) {
    if (ventana->minimumSize() == ventana->maximumSize())
        ventana->setFixedSize(tamano);
    else
        ventana->resize(tamano);
}

// Where the restored window goes: where it was, unless the screen it was on has changed size; then
// inside the available area of the screen it lies on (or of the bar's screen).
QPoint lugarAlAmpliar(const QWidget* ventana, const QRect& destino, const QRect& pantallaAntes) {
    const QScreen* pantalla = QGuiApplication::screenAt(destino.center());
    if (pantalla && pantalla->geometry() == pantallaAntes) return destino.topLeft();
    if (!pantalla) pantalla = ventana->screen();
    if (!pantalla) return destino.topLeft();
    const QRect zona = pantalla->availableGeometry();
    return QPoint(
        qBound(zona.left(), destino.x(), qMax(zona.left(), zona.right() + 1 - destino.width())),
        qBound(zona.top(), destino.y(), qMax(zona.top(), zona.bottom() + 1 - destino.height())));
}
}  // namespace

QPointF LugarReducido(double altoPantalla, double altoBoton) {
    return QPointF(MargenIzquierdo, altoPantalla - altoBoton - MargenInferior);
}

void ReducirVentana(QWidget* ventana, QAbstractButton* boton) {
    if (!ventana || !boton) return;
    const QStringList geometria{QString::number(twips(ventana, ventana->width())),
                                QString::number(twips(ventana, ventana->height())),
                                QString::number(twips(ventana, ventana->x())),
                                QString::number(twips(ventana, ventana->y()))};
    boton->setProperty("tag", geometria.join(u'\t'));

    const QScreen* pantalla = ventana->screen();
    const QRect zona = pantalla ? pantalla->geometry() : QRect();
    boton->setProperty(PantallaAlReducir, zona);

    // The caption is measured in the window's font at the button's size; the window's own font is
    // left alone.
    const QString texto = PrefijoTitulo + ventana->windowTitle();
    QFont medida = ventana->font();
    if (boton->font().pointSizeF() > 0)
        medida.setPointSizeF(boton->font().pointSizeF());
    else
        medida.setPixelSize(boton->font().pixelSize());
    const double anchoTexto =
        PixelesATwips(ventana, 1) * QFontMetricsF(medida, ventana).horizontalAdvance(texto);

    boton->setText(texto);
    boton->resize(pixeles(ventana, anchoTexto + MargenTitulo), boton->height());
    boton->move(0, 0);
    boton->show();
    boton->raise();

    const QPointF lugar =
        LugarReducido(static_cast<double>(twips(ventana, zona.y() + zona.height())),
                      static_cast<double>(twips(ventana, boton->height())));
    ponerTamano(ventana, boton->size());
    ventana->move(pixeles(ventana, static_cast<double>(twips(ventana, zona.x())) + lugar.x()),
                  pixeles(ventana, lugar.y()));
}

void AmpliarVentana(QWidget* ventana, QAbstractButton* boton) {
    if (!ventana || !boton) return;
    const QStringList piezas = boton->property("tag").toString().split(u'\t');
    const auto pieza = [&piezas](qsizetype i) {
        const double valor = i < piezas.size() ? obVal(piezas[i]) : 0.0;
        return std::isfinite(valor) ? valor : 0.0;
    };
    const QSize tamano(pixeles(ventana, pieza(0)), pixeles(ventana, pieza(1)));
    if (tamano.width() <= 0 || tamano.height() <= 0) return;
    boton->hide();
    const QRect destino(QPoint(pixeles(ventana, pieza(2)), pixeles(ventana, pieza(3))), tamano);
    ponerTamano(ventana, tamano);
    ventana->move(lugarAlAmpliar(ventana, destino, boton->property(PantallaAlReducir).toRect()));
}
