#include "ui/frmDescripcion.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QTimer>
#include <QWindow>

#include "anfitrion/ArchivoIni.h"
#include "dialogos/Dialogos.h"
#include "dialogos/Mensajes.h"
#include "ui/Posicion.h"
#include "ui/Twips.h"

namespace {
// Longest line the text box is given. Laying out one very long line takes minutes (a file of
// megabytes without line feeds, binary data), so longer lines are continued on the next one.
constexpr qsizetype LargoMaximoLinea = 4096;
// Most of the description file that is read.
constexpr qint64 BytesMaximosDescripcion = qint64{16} * 1024 * 1024;
// Time the window manager takes to frame a window that has just been shown.
constexpr int MilisegundosHastaElMarco = 300;

QString partirLineasLargas(const QString& texto) {
    QString resultado;
    resultado.reserve(texto.size() + texto.size() / LargoMaximoLinea + 1);
    qsizetype enLinea = 0;
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto.at(i);
        if (c == u'\n') {
            enLinea = 0;
        } else if (enLinea >= LargoMaximoLinea && !c.isLowSurrogate()) {
            resultado += u'\n';
            enLinea = 0;
        }
        resultado += c;
        if (c != u'\n') ++enLinea;
    }
    return resultado;
}
}  // namespace

frmDescripcion::frmDescripcion(const LugaresPrograma& lugares, Dialogos& cajas, QWidget* padre)
    : QWidget(padre, Qt::Window), lugares_(lugares), dialogos_(cajas) {
    setObjectName(QStringLiteral("frmDescripcion"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Descripción del programa"));

    barra_ = new QMenuBar(this);
    mnUno_ = barra_->addMenu(QStringLiteral("Uno"));
    mnUno_->setObjectName(QStringLiteral("mnUno"));
    QAction* mnDescrip = mnUno_->addAction(QStringLiteral("Descripción del programa"));
    mnDescrip->setObjectName(QStringLiteral("mnDescrip"));
    QAction* mnEditINI = mnUno_->addAction(QStringLiteral("Editar archivo INI de configuración"));
    mnEditINI->setObjectName(QStringLiteral("mnEditINI"));
    QAction* mnCarpeta = mnUno_->addAction(QStringLiteral("Abrir la carpeta de los archivos"));
    mnCarpeta->setObjectName(QStringLiteral("mnCarpeta"));
    connect(mnDescrip, &QAction::triggered, this, [this] {
        show();
        raise();
        activateWindow();
    });
    connect(mnEditINI, &QAction::triggered, this,
            [this] { dialogos().abrirDocumento(lugares_.ajustes); });
    // The folder the workbooks go to, in the desktop's file manager.
    connect(mnCarpeta, &QAction::triggered, this, [this] {
        const QString carpeta = lugares_.libros;
        if (!dialogos().abrirDocumento(carpeta))
            Mensaje(dialogos(), QStringLiteral("No se pudo abrir la carpeta '%1'").arg(carpeta),
                    estilos::Alto, QStringLiteral("Alerta"));
    });

    rtbTexto_ = new QPlainTextEdit(this);
    rtbTexto_->setObjectName(QStringLiteral("rtbTexto"));
    rtbTexto_->setReadOnly(true);
    rtbTexto_->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    resize(TwipsAPixeles(this, 9180), TwipsAPixeles(this, 6330) + barra_->sizeHint().height());
    LeerPosicion(lugares_.ajustes, this, true);
}

void frmDescripcion::showEvent(QShowEvent* evento) {
    QWidget::showEvent(evento);
    // The window system adds its frame once the window shows; then the frame too is fitted to
    // the screen, so its title bar and edges can be reached.
    if (!ajustada_) {
        ajustada_ = true;
        QTimer::singleShot(MilisegundosHastaElMarco, this, [this] { AjustarAPantalla(this); });
    }
    activar();
}

void frmDescripcion::moveEvent(QMoveEvent* evento) {
    QWidget::moveEvent(evento);
    // The window system moves the window as it frames it: the frame, known from then on, is fitted
    // to the screen at once, whatever the time framing took.
    const QMargins bordes = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (isVisible() && bordes != bordesAjustados_) {
        bordesAjustados_ = bordes;
        AjustarAPantalla(this);
    }
}

void frmDescripcion::changeEvent(QEvent* evento) {
    QWidget::changeEvent(evento);
    if (evento->type() == QEvent::ActivationChange && isActiveWindow()) activar();
}

void frmDescripcion::activar() {
    if (!PrimeraActivacion) return;
    PrimeraActivacion = false;
    cargarDescripcion();
}

void frmDescripcion::cargarDescripcion() {
    const QString ruta = lugares_.descripcion;
    if (!QFileInfo(ruta).isFile()) {
        dialogos().cajaSistema(QStringLiteral("No existe el archivo de ayuda"), estilos::Alto,
                               QStringLiteral("Error"));
        // Unload once the activation that brought us here has finished.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly)) {
        dialogos().cajaSistema(QStringLiteral("No se pudo leer el archivo de ayuda: ") + ruta,
                               estilos::Alto, QStringLiteral("Error"));
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    ++lecturas_;
    // The description is a page or two; of a huge file only its beginning is shown.
    const QByteArray bytes = archivo.read(BytesMaximosDescripcion);
    if (archivo.error() != QFileDevice::NoError) {
        dialogos().cajaSistema(QStringLiteral("No se pudo leer el archivo de ayuda: ") + ruta,
                               estilos::Alto, QStringLiteral("Error"));
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    // Plain text always: a file in rich text format shows its raw text. Bytes that are not UTF-8
    // are taken as Windows-1252, the code page a Windows editor writes (€, curly quotes, dashes).
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString texto = utf8.decode(bytes);
    if (utf8.hasError()) texto = DesdeWindows1252(bytes);
    texto.replace(QChar(u'\0'), QChar(u' '));
    rtbTexto_->setPlainText(partirLineasLargas(texto));
}

void frmDescripcion::ajustarTexto() {
    // The text box fills the client area below the menu bar: the frame the window system draws
    // around it is not the window's to fill.
    const int arriba = barra_->sizeHint().height();
    barra_->setGeometry(0, 0, width(), arriba);
    rtbTexto_->setGeometry(0, arriba, width(), qMax(0, height() - arriba));
}

void frmDescripcion::resizeEvent(QResizeEvent* evento) {
    QWidget::resizeEvent(evento);
    ajustarTexto();
}

void frmDescripcion::closeEvent(QCloseEvent* evento) {
    QString error;
    if (!GuardarPosicion(lugares_.ajustes, this, true, &error))
        Mensaje(
            dialogos(),
            QStringLiteral("No se pudo guardar el lugar de la descripción para la próxima vez: ") +
                error,
            estilos::Alto, QStringLiteral("Alerta"));
    QWidget::closeEvent(evento);
}
