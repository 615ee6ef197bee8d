#include "ui/CajaSkin.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/Posicion.h"

namespace {
QString textoBoton(Respuesta respuesta) {
    switch (respuesta) {
        case Respuesta::Aceptar:
            return QStringLiteral("Aceptar");
        case Respuesta::Cancelar:
            return QStringLiteral("Cancelar");
        case Respuesta::Anular:
            return QStringLiteral("Anular");
        case Respuesta::Reintentar:
            return QStringLiteral("Reintentar");
        case Respuesta::Omitir:
            return QStringLiteral("Omitir");
        case Respuesta::Si:
            return QStringLiteral("Sí");
        case Respuesta::No:
            return QStringLiteral("No");
        default:
            return QString();
    }
}

// The object name of a button, by its answer (tests and accessibility tools find it by name).
QString nombreBoton(Respuesta respuesta) {
    return QStringLiteral("boton%1").arg(static_cast<int>(respuesta));
}

QStyle::StandardPixmap pixmapIcono(IconoMensaje icono) {
    switch (icono) {
        case IconoMensaje::Critico:
            return QStyle::SP_MessageBoxCritical;
        case IconoMensaje::Pregunta:
            return QStyle::SP_MessageBoxQuestion;
        case IconoMensaje::Exclamacion:
            return QStyle::SP_MessageBoxWarning;
        default:
            return QStyle::SP_MessageBoxInformation;
    }
}

// A run of characters without blanks longer than this may be broken anywhere.
constexpr qsizetype LargoPalabraPartible = 24;
// Widest text of a box, in average characters of its font.
constexpr int CaracteresPorLinea = 64;
// Width of a box beside its text: the icon, the margins, the border.
constexpr int MargenesCaja = 18 + 32 + 14 + 18 + 8;

// The program's texts break lines with a lone carriage return. A long run without blanks (a file
// name, a path) gets a zero-width space between its characters, so it wraps at the box's width
// instead of widening the box or being cut mid-letter.
QString conSaltos(const QString& texto) {
    QString t = texto;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QString resultado;
    resultado.reserve(t.size());
    qsizetype inicio = 0;
    for (qsizetype i = 0; i <= t.size(); ++i) {
        if (i < t.size() && !t.at(i).isSpace()) continue;
        const QStringView palabra = QStringView(t).mid(inicio, i - inicio);
        for (qsizetype j = 0; j < palabra.size(); ++j) {
            resultado += palabra.at(j);
            const bool partible = palabra.size() > LargoPalabraPartible && j + 1 < palabra.size() &&
                                  !palabra.at(j).isHighSurrogate() && !palabra.at(j + 1).isMark();
            if (partible) resultado += QChar(0x200B);
        }
        if (i < t.size()) resultado += t.at(i);
        inicio = i + 1;
    }
    return resultado;
}

// The window a box speaks for: the active one, or else the window shown (a box asked for from the
// terminal or a signal comes while no window of the program is active); none during start-up.
QWidget* ventanaDeLaCaja(const QWidget* caja) {
    QWidget* activa = QApplication::activeWindow();
    if (activa && activa != caja && activa->isVisible()) return activa;
    for (QWidget* ventana : QApplication::topLevelWidgets())
        if (ventana != caja && ventana->isVisible() && !qobject_cast<QDialog*>(ventana) &&
            ventana->windowType() != Qt::Popup)
            return ventana;
    return nullptr;
}

// Centres a box on its window (on the screen's free area when it has none), wholly on the screen.
void colocarCaja(QWidget* caja) {
    QRect marco(QPoint(), caja->size());
    if (const QWidget* ventana = ventanaDeLaCaja(caja))
        marco.moveCenter(ventana->frameGeometry().center());
    else if (const QScreen* pantalla = caja->screen())
        marco.moveCenter(pantalla->availableGeometry().center());
    caja->move(PosicionVisible(marco));
}

// The platform's box, placed as the skinned one is.
class CajaSistema : public QMessageBox {
protected:
    void showEvent(QShowEvent* evento) override {
        QMessageBox::showEvent(evento);
        colocarCaja(this);
    }
};

const QColor ColorBanda(38, 70, 115);
const QColor ColorFondo(250, 246, 240);
const QColor ColorBorde(24, 45, 76);
constexpr int AltoBanda = 28;
}  // namespace

CajaSkin::CajaSkin(QWidget* padre, const QString& texto, const EstiloMensaje& estilo,
                   const QString& titulo, const QString& adicional)
    : QDialog(padre, Qt::Dialog | Qt::FramelessWindowHint), estilo_(estilo), titulo_(titulo) {
    setObjectName(QStringLiteral("CajaSkin"));
    setModal(true);
    setWindowTitle(titulo);

    auto* principal = new QVBoxLayout(this);
    principal->setContentsMargins(18, AltoBanda + 14, 18, 14);
    principal->setSpacing(14);

    auto* cuerpo = new QHBoxLayout;
    if (estilo_.icono != IconoMensaje::Ninguno) {
        auto* icono = new QLabel(this);
        icono->setObjectName(QStringLiteral("icono"));
        icono->setPixmap(style()->standardIcon(pixmapIcono(estilo_.icono)).pixmap(32, 32));
        icono->setAlignment(Qt::AlignTop);
        cuerpo->addWidget(icono);
    }
    auto* etiqueta = new QLabel(conSaltos(texto), this);
    etiqueta->setObjectName(QStringLiteral("texto"));
    etiqueta->setTextFormat(Qt::PlainText);
    etiqueta->setWordWrap(true);
    // As wide as its longest line, between 260 pixels and a sensible line length, and never wider
    // than the screen leaves room for beside the icon and the margins.
    int maximo = qMax(260, etiqueta->fontMetrics().averageCharWidth() * CaracteresPorLinea);
    if (const QScreen* pantalla = screen())
        maximo = qBound(120, pantalla->availableGeometry().width() - MargenesCaja, maximo);
    int largo = 0;
    for (const QString& linea : etiqueta->text().split(u'\n'))
        largo = qMax(largo, etiqueta->fontMetrics().horizontalAdvance(linea));
    etiqueta->setMinimumWidth(qMin(qBound(260, largo, maximo), maximo));
    etiqueta->setMaximumWidth(maximo);
    cuerpo->addWidget(etiqueta, 1);
    principal->addLayout(cuerpo);

    auto* fila = new QHBoxLayout;
    fila->addStretch(1);
    QList<Respuesta> respuestas = estilo_.respuestas();
    if (!adicional.isEmpty()) respuestas << Respuesta::Adicional;
    for (Respuesta respuesta : std::as_const(respuestas)) {
        auto* boton = new QPushButton(
            respuesta == Respuesta::Adicional ? adicional : textoBoton(respuesta), this);
        boton->setObjectName(nombreBoton(respuesta));
        // Enter presses the button that has the focus, as Space does: the default button only
        // holds it when the box opens.
        boton->setAutoDefault(true);
        if (respuesta == estilo_.porDefecto()) {
            boton->setDefault(true);
            boton->setFocus();
        }
        connect(boton, &QPushButton::clicked, this,
                [this, respuesta] { done(static_cast<int>(respuesta)); });
        botones_ << boton;
        fila->addWidget(boton);
    }
    principal->addLayout(fila);
}

Respuesta CajaSkin::ejecutar() {
    for (QPushButton* b : std::as_const(botones_))
        if (b->isDefault()) b->setFocus();
    return static_cast<Respuesta>(exec());
}

QPushButton* CajaSkin::boton(Respuesta respuesta) const {
    return findChild<QPushButton*>(nombreBoton(respuesta));
}

void CajaSkin::reject() { done(static_cast<int>(estilo_.alEscapar())); }

void CajaSkin::showEvent(QShowEvent* evento) {
    QDialog::showEvent(evento);
    colocarCaja(this);
}

void CajaSkin::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), ColorFondo);
    QLinearGradient banda(0, 0, 0, AltoBanda);
    banda.setColorAt(0, ColorBanda.lighter(135));
    banda.setColorAt(1, ColorBanda);
    p.fillRect(QRect(0, 0, width(), AltoBanda), banda);
    p.setPen(Qt::white);
    QFont negrita = font();
    negrita.setBold(true);
    p.setFont(negrita);
    p.drawText(QRect(12, 0, width() - 24, AltoBanda), Qt::AlignVCenter | Qt::AlignLeft, titulo_);
    p.setPen(QPen(ColorBorde, 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}

Respuesta DialogosVentanas::cajaSistema(const QString& texto, const EstiloMensaje& e,
                                        const QString& titulo) {
    CajaSistema caja;
    caja.setWindowTitle(titulo);
    caja.setText(conSaltos(texto));
    caja.setTextFormat(Qt::PlainText);
    switch (e.icono) {
        case IconoMensaje::Critico:
            caja.setIcon(QMessageBox::Critical);
            break;
        case IconoMensaje::Pregunta:
            caja.setIcon(QMessageBox::Question);
            break;
        case IconoMensaje::Exclamacion:
            caja.setIcon(QMessageBox::Warning);
            break;
        case IconoMensaje::Informacion:
            caja.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    QHash<QAbstractButton*, Respuesta> respuestas;
    for (Respuesta respuesta : e.respuestas()) {
        const bool rechaza = respuesta == Respuesta::No || respuesta == Respuesta::Cancelar;
        QPushButton* b = caja.addButton(
            textoBoton(respuesta), rechaza ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        respuestas.insert(b, respuesta);
        if (respuesta == e.porDefecto()) caja.setDefaultButton(b);
    }
    caja.exec();
    return respuestas.value(caja.clickedButton(), e.alEscapar());
}

Respuesta DialogosVentanas::cajaSkin(const QString& texto, const EstiloMensaje& estilo,
                                     const QString& titulo, const QString& boton) {
    // No owner: the main window is disabled while a report runs, and a box it owned would be too.
    CajaSkin caja(nullptr, texto, estilo, titulo, boton);
    caja.setWindowModality(Qt::ApplicationModal);
    return caja.ejecutar();
}

void DialogosVentanas::beep() { QApplication::beep(); }

bool DialogosVentanas::abrirDocumento(const QString& ruta) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(ruta));
}
