#include "ui/PintarSkin.h"

#include <QEvent>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

#include "ui/BotonDegradado.h"
#include "ui/ImagenMarco.h"
#include "ui/Twips.h"

// The resource lives in a static library: it has to be registered by name before its first use.
static void registrarRecursos() { Q_INIT_RESOURCE(skin); }

namespace {
// Parts of the bitmap; each is drawn at half its size on a 96 DPI screen, so it is sharp at twice.
const QRect ParteLogo(0, 0, 48, 48);
const QRect ParteBanda(48, 0, 4, 56);
const QRect ParteBarra[3] = {QRect(52, 0, 4, 50), QRect(56, 0, 4, 50), QRect(60, 0, 4, 50)};
const QRect ParteCuerpo(64, 0, 4, 112);
const QRect ParteAdorno(100, 0, 104, 56);
const QPoint OrigenPie(100, 56);
enum Muestra { Borde, Acento, Titulo, SombraTitulo, Brillo, CerrarEncima, Glifo, LuzBorde };

constexpr int AltoPieTwips = 90;
constexpr int AnchoControlTwips = 345;
constexpr int AltoControlTwips = 330;
constexpr int LadoLogoTwips = 360;
constexpr int MargenTwips = 60;

class MarcoSkin : public QObject {
public:
    MarcoSkin(const QImage& mapa, QWidget* ventana, const ControlesMarco& controles)
        : QObject(ventana),
          mapa_(mapa.convertToFormat(QImage::Format_RGB32)),
          ventana_(ventana),
          controles_(controles) {
        setObjectName(QStringLiteral("marcoSkin"));
        ventana->installEventFilter(this);
    }

    void preparar() {
        const auto control = [this](ImagenMarco* c, DibujoControl dibujo, const QString& nombre) {
            if (!c) return;
            c->setDibujo(std::move(dibujo));
            c->setAccessibleName(nombre);
            c->show();
            c->raise();
        };
        control(
            controles_.MinimizarVentana,
            [this](QPainter& p, const QAbstractButton& b, EstadoControl e) {
                pintarMinimizar(p, b, e);
            },
            QStringLiteral("Minimizar"));
        control(
            controles_.CerrarVentana,
            [this](QPainter& p, const QAbstractButton& b, EstadoControl e) {
                pintarCerrar(p, b, e);
            },
            QStringLiteral("Cerrar"));
        control(
            controles_.imgLogoVentana,
            [this](QPainter& p, const QAbstractButton& b, EstadoControl e) { pintarLogo(p, b, e); },
            QStringLiteral("Opciones"));
        if (BotonDegradado* barra = controles_.RestaurarForma) {
            barra->setDibujo([this](QPainter& p, const QAbstractButton& b, EstadoControl e) {
                pintarBarra(p, b, e);
            });
            barra->setAccessibleName(QStringLiteral("Restaurar la ventana"));
            barra->setGeometry(0, 0, ventana_->width(), px(AltoBarraTwips));
            barra->hide();
        }
        colocar();
        ventana_->update();
    }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (objeto == ventana_) {
            switch (evento->type()) {
                case QEvent::Paint: {
                    QPainter p(ventana_);
                    pintarVentana(p);
                    break;
                }
                case QEvent::Resize:
                    colocar();
                    break;
                case QEvent::WindowTitleChange:
                    ventana_->update(0, 0, ventana_->width(), px(AltoBandaTwips));
                    break;
                default:
                    break;
            }
        }
        return QObject::eventFilter(objeto, evento);
    }

private:
    int px(int twips) const { return TwipsAPixeles(ventana_, twips); }
    QColor muestra(Muestra m) const {
        const int i = static_cast<int>(m);
        return mapa_.pixelColor(68 + 8 * (i % 4) + 4, 8 * (i / 4) + 4);
    }
    void parte(QPainter& p, const QRectF& destino, const QRect& origen) const {
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(destino, mapa_, origen);
        p.restore();
    }

    // The controls along the band: the logo at the left, close and minimise at the right.
    void colocar() {
        const int banda = px(AltoBandaTwips);
        const QSize control(px(AnchoControlTwips), px(AltoControlTwips));
        const int arriba = (banda - control.height()) / 2 - 1;
        int derecha = ventana_->width() - px(MargenTwips);
        for (ImagenMarco* c : {controles_.CerrarVentana, controles_.MinimizarVentana}) {
            if (!c) continue;
            derecha -= control.width();
            c->setGeometry(QRect(QPoint(derecha, arriba), control));
            derecha -= px(30);
        }
        if (controles_.imgLogoVentana) {
            const int lado = px(LadoLogoTwips);
            controles_.imgLogoVentana->setGeometry(px(90), (banda - lado) / 2 - 1, lado, lado);
        }
    }

    void pintarVentana(QPainter& p) const {
        const QRect todo = ventana_->rect();
        const int banda = px(AltoBandaTwips);
        const int pie = px(AltoPieTwips);
        parte(p, QRect(0, banda, todo.width(), todo.height() - banda - pie), ParteCuerpo);
        parte(p, QRect(0, 0, todo.width(), banda), ParteBanda);
        const int adorno = ParteAdorno.width() / 2;
        parte(p, QRect(todo.width() - adorno, 0, adorno, banda), ParteAdorno);
        parte(p, QRect(0, todo.height() - pie, todo.width() - adorno, pie),
              QRect(OrigenPie, QSize(1, 2 * pie)));
        parte(p, QRect(todo.width() - adorno, todo.height() - pie, adorno, pie),
              QRect(OrigenPie, QSize(ParteAdorno.width(), 2 * pie)));

        const int acento = qMax(2, px(30));
        p.fillRect(QRect(0, banda - acento, todo.width(), acento), muestra(Acento));
        p.fillRect(QRect(0, todo.height() - pie, todo.width(), 1), muestra(Acento).darker(115));

        // The caption, after the logo, cut short before the controls.
        QFont letra = ventana_->font();
        letra.setBold(true);
        letra.setPointSizeF(letra.pointSizeF() > 0 ? letra.pointSizeF() + EscalaTwips(ventana_)
                                                   : 9 * EscalaTwips(ventana_));
        p.setFont(letra);
        const int izquierda = px(90 + LadoLogoTwips + 120);
        const int fin = controles_.MinimizarVentana ? controles_.MinimizarVentana->x() - px(90)
                                                    : todo.width() - px(MargenTwips);
        const QRect zona(izquierda, 0, qMax(0, fin - izquierda), banda - acento);
        const QString texto =
            p.fontMetrics().elidedText(ventana_->windowTitle(), Qt::ElideRight, zona.width());
        p.setPen(muestra(SombraTitulo));
        p.drawText(zona.translated(0, 1), Qt::AlignVCenter | Qt::AlignLeft, texto);
        p.setPen(muestra(Titulo));
        p.drawText(zona, Qt::AlignVCenter | Qt::AlignLeft, texto);

        // The border: a dark line outside, a light one inside the body.
        QColor luz = muestra(LuzBorde);
        luz.setAlpha(200);
        p.setPen(luz);
        p.drawLine(1, banda, 1, todo.height() - pie - 1);
        p.drawLine(todo.width() - 2, banda, todo.width() - 2, todo.height() - pie - 1);
        p.setPen(muestra(Borde));
        p.setBrush(Qt::NoBrush);
        p.drawRect(todo.adjusted(0, 0, -1, -1));
    }

    // The wash behind a control under the mouse or pressed.
    void fondoControl(QPainter& p, const QAbstractButton& b, EstadoControl e, QColor color) const {
        if (e == EstadoControl::Normal) return;
        if (color == muestra(Brillo))
            color.setAlpha(e == EstadoControl::Pulsado ? 34 : 58);
        else if (e == EstadoControl::Pulsado)
            color = color.darker(120);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(b.rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }

    QPen lapizGlifo(const QAbstractButton& b) const {
        return QPen(muestra(Glifo), qMax(1.6, b.height() / 12.0), Qt::SolidLine, Qt::RoundCap);
    }

    void pintarMinimizar(QPainter& p, const QAbstractButton& b, EstadoControl e) const {
        fondoControl(p, b, e, muestra(Brillo));
        const QPointF c = QRectF(b.rect()).center();
        const double medio = b.height() * 0.24;
        p.setPen(lapizGlifo(b));
        p.drawLine(QPointF(c.x() - medio, c.y() + medio * 0.8),
                   QPointF(c.x() + medio, c.y() + medio * 0.8));
    }

    void pintarCerrar(QPainter& p, const QAbstractButton& b, EstadoControl e) const {
        fondoControl(p, b, e, muestra(CerrarEncima));
        const QPointF c = QRectF(b.rect()).center();
        const double medio = b.height() * 0.2;
        p.setPen(lapizGlifo(b));
        p.drawLine(c + QPointF(-medio, -medio), c + QPointF(medio, medio));
        p.drawLine(c + QPointF(-medio, medio), c + QPointF(medio, -medio));
    }

    void pintarLogo(QPainter& p, const QAbstractButton& b, EstadoControl e) const {
        const QRectF lugar = QRectF(b.rect()).translated(0, e == EstadoControl::Pulsado ? 1 : 0);
        parte(p, lugar, ParteLogo);
        if (e == EstadoControl::Encima) {
            QColor brillo = muestra(Brillo);
            brillo.setAlpha(40);
            p.setPen(Qt::NoPen);
            p.setBrush(brillo);
            p.drawRoundedRect(lugar.adjusted(1, 1, -1, -1), b.height() * 0.2, b.height() * 0.2);
        }
    }

    void pintarBarra(QPainter& p, const QAbstractButton& b, EstadoControl e) const {
        const QRect r = b.rect();
        parte(p, r, ParteBarra[static_cast<int>(e)]);
        QColor luz = muestra(LuzBorde);
        luz.setAlpha(70);
        p.setPen(luz);
        p.drawLine(QPointF(1.5, 1.5), QPointF(r.width() - 1.5, 1.5));
        p.setPen(muestra(Borde));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5));
        const int acento = qMax(2, px(30));
        p.fillRect(QRect(1, r.height() - acento - 1, qMax(0, r.width() - 2), acento),
                   muestra(Acento));

        // The restore sign in the margin at the right: a window outline with its title edge.
        const double lado = r.height() * 0.36;
        const QRectF signo(r.width() - px(200) - lado, (r.height() - acento - lado) / 2, lado,
                           lado * 0.85);
        p.setPen(QPen(muestra(Glifo), 1.2));
        p.drawRect(signo);
        p.fillRect(QRectF(signo.left(), signo.top(), signo.width(), qMax(2.0, lado * 0.22)),
                   muestra(Glifo));

        p.setFont(b.font());
        p.setPen(muestra(SombraTitulo));
        const QRect texto = r.adjusted(px(60), 0, 0, -acento);
        p.drawText(texto.translated(0, 1), Qt::AlignVCenter | Qt::AlignLeft, b.text());
        p.setPen(muestra(Titulo));
        p.drawText(texto, Qt::AlignVCenter | Qt::AlignLeft, b.text());
        if (b.hasFocus()) {
            QColor foco = muestra(Titulo);
            foco.setAlpha(90);
            p.setPen(QPen(foco, 1, Qt::DotLine));
            p.drawRect(QRectF(r).adjusted(2.5, 2.5, -2.5, -acento - 2.5));
        }
    }

    QImage mapa_;
    QPointer<QWidget> ventana_;
    ControlesMarco controles_;
};
}  // namespace

QString RutaMapaSkin() { return QStringLiteral(":/skin/varelmo-skin.bmp"); }

QImage MapaSkin() {
    registrarRecursos();
    return QImage(RutaMapaSkin());
}

QIcon IconoPrograma() {
    // The logo's tile has rounded corners (2 to 46 of its 48 units, radius 9): outside them the
    // bitmap holds the band's colour, which the icon leaves transparent.
    const QImage mapa = MapaSkin();
    QIcon icono;
    for (const int lado : {16, 24, 32, 48}) {
        QImage imagen(lado, lado, QImage::Format_ARGB32_Premultiplied);
        imagen.fill(Qt::transparent);
        QPainter p(&imagen);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.scale(lado / 48.0, lado / 48.0);
        QPainterPath loseta;
        loseta.addRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
        p.setClipPath(loseta);
        p.drawImage(QRectF(0, 0, 48, 48), mapa, ParteLogo);
        p.end();
        icono.addPixmap(QPixmap::fromImage(imagen));
    }
    return icono;
}

void PintarSkin(const QImage& pctSkin, QWidget* ventana, const ControlesMarco& controles) {
    if (!ventana) return;
    auto* marco = new MarcoSkin(pctSkin, ventana, controles);
    marco->preparar();
}
