#include "ui/frmInicial.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

#include "dialogos/Dialogos.h"
#include "dialogos/Mensajes.h"
#include "programa/Cierre.h"
#include "programa/Contexto.h"
#include "programa/ReporteDelPrograma.h"
#include "programa/ReporteEnHilo.h"
#include "report/Reporte.h"
#include "report/SolicitudReporte.h"
#include "ui/Arrastre.h"
#include "ui/BotonDegradado.h"
#include "ui/Colapso.h"
#include "ui/DeControles.h"
#include "ui/ImagenMarco.h"
#include "ui/PintarSkin.h"
#include "ui/Posicion.h"
#include "ui/RejaFlexible.h"
#include "ui/Twips.h"
#include "ui/frmDescripcion.h"

namespace {
constexpr int AnchoCliente = 7950;
constexpr int AltoCliente = 7500;

// The design's sizes were made for a narrower font than the one a desktop may offer: a caption
// keeps the button's font size when it fits the button's contents, and only shrinks as much as
// it must.
QFont letraQueCabe(const QPushButton* boton) {
    QStyleOptionButton opcion;
    opcion.initFrom(boton);
    opcion.text = boton->text();
    const int disponible =
        boton->style()->subElementRect(QStyle::SE_PushButtonContents, &opcion, boton).width();
    QFont letra = boton->font();
    while (letra.pointSizeF() > 6 * EscalaTwips(boton) &&
           QFontMetrics(letra).horizontalAdvance(boton->text()) > disponible)
        letra.setPointSizeF(letra.pointSizeF() - 0.25);
    return letra;
}
}  // namespace

frmInicial::frmInicial(Contexto& contexto, QWidget* padre)
    : QWidget(padre, Qt::Window | Qt::FramelessWindowHint),
      contexto_(contexto),
      reporte_(std::make_unique<ReporteEnHilo>()) {
    connect(reporte_.get(), &ReporteEnHilo::avance, this, &frmInicial::ponerProgreso);
    connect(reporte_.get(), &ReporteEnHilo::terminado, this, &frmInicial::reporteTerminado);
    setObjectName(QStringLiteral("frmInicial"));
    setWindowTitle(TituloPrograma());
    // On a screen whose free area is smaller than the design (a large scale factor on a small
    // screen) the whole window is drawn smaller, its text too, keeping its proportions.
    const QScreen* pantalla = QGuiApplication::primaryScreen();
    if (pantalla)
        PonerEscalaTwips(this, EscalaQueCabe(QSize(TwipsAPixeles(this, AnchoCliente),
                                                   TwipsAPixeles(this, AltoCliente)),
                                             pantalla->availableGeometry().size()));
    QFont fuente(QStringLiteral("MS Sans Serif"));
    fuente.setStyleHint(QFont::SansSerif);
    fuente.setPointSizeF(8 * EscalaTwips(this));
    setFont(fuente);
    setFixedSize(TwipsAPixeles(this, AnchoCliente), TwipsAPixeles(this, AltoCliente));
    setAutoFillBackground(true);
    crearControles();

    // Every control hands its keys to the window first; the grid and the file name also have
    // behaviour of their own.
    for (QWidget* control :
         {static_cast<QWidget*>(cmbPrecios_), static_cast<QWidget*>(txtArchivo_),
          static_cast<QWidget*>(mfgEmpresas_), static_cast<QWidget*>(cmdReporte_)})
        control->installEventFilter(this);
    // A double-click anywhere in the grid toggles its current row, below the last row too.
    mfgEmpresas_->viewport()->installEventFilter(this);

    // Centred on the screen's free area, never with its title band off it.
    if (pantalla)
        move(PosicionVisible(
            QRect(pantalla->availableGeometry().center() - rect().center(), size())));
    pctSkin_ = MapaSkin();
}

// A report still running is cut short and waited for (ReporteEnHilo).
frmInicial::~frmInicial() = default;

Dialogos& frmInicial::dialogos() const { return *contexto_.dialogos; }

void frmInicial::crearControles() {
    lblMuestra_ = etiqueta(QStringLiteral("lblMuestra"), QString(), 1320, 600, 5175, 735);
    lblMuestra_->setAutoFillBackground(true);
    QPalette paleta = lblMuestra_->palette();
    paleta.setColor(QPalette::Window, QColor(255, 224, 192));
    lblMuestra_->setPalette(paleta);

    etiqueta(QStringLiteral("Label1"), QStringLiteral("Precio a mostrar:"), 240, 1440, 1515, 240);
    cmbPrecios_ = new QComboBox(this);
    cmbPrecios_->setObjectName(QStringLiteral("cmbPrecios"));
    cmbPrecios_->setGeometry(RectTwips(this, 1800, 1440, 975, 360));

    etiqueta(QStringLiteral("Label5"), QStringLiteral("Archivo de Excel:"), 3000, 1440, 1545, 240);
    txtArchivo_ = new QLineEdit(this);
    txtArchivo_->setObjectName(QStringLiteral("txtArchivo"));
    txtArchivo_->setGeometry(RectTwips(this, 4680, 1440, 3015, 375));

    etiqueta(QStringLiteral("Label3"), QStringLiteral("Empresas a imprimir:"), 3120, 1920, 1890,
             240);
    mfgEmpresas_ = new RejaFlexible(this);
    mfgEmpresas_->setObjectName(QStringLiteral("mfgEmpresas"));
    mfgEmpresas_->setAccessibleName(QStringLiteral("Empresas a imprimir"));
    mfgEmpresas_->setGeometry(RectTwips(this, 240, 2160, 7455, 4335));

    etiqueta(QStringLiteral("Label2"),
             QStringLiteral("Pulse ESPACIO (o doble click) para marcar-desmarcar"), 240, 6600, 4905,
             240);
    Label4_ = etiqueta(QStringLiteral("Label4"), QString(), 240, 6960, 6015, 375);
    Label4_->hide();
    // The window is disabled while a report runs, but the progress line stays readable: it keeps
    // the colours of an enabled label.
    QPalette paletaAvance = Label4_->palette();
    for (const QPalette::ColorRole rol : {QPalette::WindowText, QPalette::Window, QPalette::Text})
        paletaAvance.setColor(QPalette::Disabled, rol, paletaAvance.color(QPalette::Active, rol));
    Label4_->setPalette(paletaAvance);

    cmdReporte_ = new QPushButton(QStringLiteral("Generar archivo"), this);
    cmdReporte_->setObjectName(QStringLiteral("cmdReporte"));
    cmdReporte_->setGeometry(RectTwips(this, 6360, 6720, 1215, 495));
    connect(cmdReporte_, &QPushButton::clicked, this, &frmInicial::cmdReporte_Click);
    // Enter, as Space, presses the button when it has the focus.
    cmdReporte_->setAutoDefault(true);

    cmdReporte_->setStyleSheet(QStringLiteral("padding: 0px"));
    cmdReporte_->setFont(letraQueCabe(cmdReporte_));
}

QLabel* frmInicial::etiqueta(const QString& nombre, const QString& texto, int x, int y, int ancho,
                             int alto) {
    auto* l = new QLabel(texto, this);
    l->setObjectName(nombre);
    l->setTextFormat(Qt::PlainText);
    // A label's text starts at its top-left corner, with no band above it.
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setGeometry(RectTwips(this, x, y, ancho, alto));
    return l;
}

void frmInicial::mostrarDatos(const DatosIniciales& datos) {
    cmbPrecios_->clear();
    cmbPrecios_->addItems(datos.precios);
    cmbPrecios_->setCurrentIndex(datos.precioSeleccionado);
    txtArchivo_->setText(datos.archivo);

    RejaFlexible& reja = *mfgEmpresas_;
    reja.setCols(3);
    reja.setColWidthTwips(0, 700);
    reja.setColWidthTwips(1, 5400);
    reja.setColAlignment(1, 0);
    reja.setTextMatrix(0, 1, QStringLiteral("Empresa"));
    reja.setColWidthTwips(2, 900);
    reja.setColAlignment(2, 4);
    reja.setRows(1);
    reja.setTextMatrix(0, 1, QStringLiteral("Empresa"));
    reja.setTextMatrix(0, 2, QStringLiteral("Imprimir"));
    for (const EmpresaInicial& e : datos.empresas) {
        reja.AddItem(QString::number(e.id) + u'\t' + e.nombre + u'\t' +
                     (e.marcada ? TextoSi() : QString()));
        DeControles().ColorReja(&reja, reja.Rows() - 1);
    }
    if (reja.Rows() > 1) reja.setRow(1);

    setWindowTitle(TituloConVersion(windowTitle()));
    setProperty("tag", QStringLiteral("1"));
    textoMuestra_ = TextoMuestra(contexto_.basesDD);
    QString visible = textoMuestra_;
    lblMuestra_->setText(visible.replace(u'\r', u'\n'));
}

void frmInicial::ponerProgreso(const QString& texto) {
    // A long file or database name gives way in its middle, so the code at the end always shows.
    Label4_->setText(Label4_->fontMetrics().elidedText(texto, Qt::ElideMiddle, Label4_->width()));
}

void frmInicial::cmdReporte_Click() {
    QList<MarcaEmpresa> filas;
    for (int f = 1; f < mfgEmpresas_->Rows(); ++f)
        filas << MarcaEmpresa{mfgEmpresas_->TextMatrix(f, 0), mfgEmpresas_->TextMatrix(f, 2)};
    const QList<int> empresas = EmpresasMarcadas(filas);

    QString motivo;
    const Validacion validacion =
        ValidarSolicitud(txtArchivo_->text(), empresas, ArchivosDelPrograma(contexto_), &motivo);
    if (validacion == Validacion::ArchivoEnBlanco) {
        dialogos().beep();
        txtArchivo_->setFocus();
        return;
    }
    if (validacion != Validacion::Valida) {
        Mensaje(dialogos(), TextoValidacion(validacion, txtArchivo_->text(), motivo), estilos::Alto,
                QStringLiteral("Alerta"));
        if (validacion == Validacion::SinEmpresas)
            mfgEmpresas_->setFocus();
        else
            txtArchivo_->setFocus();
        return;
    }
    if (!Pregunta(dialogos(), QStringLiteral("¿Desea crear el archivo indicado?"),
                  QStringLiteral("Generar archivo"), true))
        return;
    ejecutarReporte(empresas);
}

void frmInicial::ejecutarReporte(const QList<int>& empresas) {
    Contexto& p = contexto_;
    p.listaSeleccion = empresas;
    // The window stays disabled while the report runs on its own thread; the progress line moves
    // as the report goes, and a close the system asks for meanwhile, or the user's stop, cuts the
    // report short at its next refresh.
    setEnabled(false);
    Label4_->setText(QString());
    Label4_->show();
    reporte_->iniciar(
        SolicitudDelPrograma(p, cmbPrecios_->currentText(), txtArchivo_->text(), p.listaSeleccion),
        ConexionesDelPrograma(p));
}

void frmInicial::reporteTerminado(const ResultadoReporte& resultado) {
    AvisarResultado(dialogos(), resultado);
    Label4_->hide();
    Label4_->setText(QString());
    setEnabled(true);
    mfgEmpresas_->setFocus();
    // The system asked the program to end while the report ran: it closes now.
    if (dialogos().desatendido()) cerrarSinPreguntar();
}

void frmInicial::marcarDesmarcar() {
    filaMarcada_ = mfgEmpresas_->Row();
    if (filaMarcada_ <= 0) return;
    const bool marcada = mfgEmpresas_->TextMatrix(filaMarcada_, 2) == TextoSi();
    mfgEmpresas_->setTextMatrix(filaMarcada_, 2, marcada ? QString() : TextoSi());
}

frmDescripcion* frmInicial::descripcion(bool crear) {
    if (!descripcion_ && crear)
        descripcion_ = new frmDescripcion(contexto_.lugares, dialogos(), nullptr);
    return descripcion_;
}

void frmInicial::mostrarDescripcion() {
    frmDescripcion* ventana = descripcion();
    ventana->show();
    ventana->raise();
    ventana->activateWindow();
}

void frmInicial::cerrarDesdePrograma() { close(); }

bool frmInicial::teclaDeVentana(QKeyEvent* evento) {
    if (evento->key() == Qt::Key_F1) {
        mostrarDescripcion();
        return true;
    }
    const Qt::KeyboardModifiers estado =
        evento->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (evento->key() == Qt::Key_F4 && estado == Qt::AltModifier) {
        cerrarDesdePrograma();
        return true;
    }
    if ((evento->key() == Qt::Key_F10 && estado == Qt::NoModifier) ||
        evento->key() == Qt::Key_Menu) {
        mostrarMenuLogo();
        return true;
    }
    return false;
}

void frmInicial::mostrarMenuLogo() {
    // From the keyboard the menu opens below the logo, as if the logo had been clicked.
    const QPoint lugar = imgLogoVentana_
                             ? imgLogoVentana_->mapToGlobal(QPoint(0, imgLogoVentana_->height()))
                             : mapToGlobal(QPoint(0, 0));
    descripcion()->mnUno()->popup(lugar);
}

void frmInicial::preguntarDetener() {
    if (!reporteEnCurso() || enDetener_ || reporte_->detenido()) return;
    enDetener_ = true;
    const bool detener = Pregunta(dialogos(), QStringLiteral("¿Desea detener el reporte?"),
                                  QStringLiteral("Detener"), true);
    enDetener_ = false;
    // The report may have ended while the question was open; if not, it stops at its next refresh.
    if (detener) reporte_->detener();
}

bool frmInicial::event(QEvent* evento) {
    // The window is disabled while a report runs: its controls and QWidget::event refuse keys, but
    // Escape still reaches the window.
    if (reporteEnCurso() && evento->type() == QEvent::KeyPress) {
        const auto* tecla = static_cast<QKeyEvent*>(evento);
        if (tecla->key() == Qt::Key_Escape && !tecla->isAutoRepeat()) {
            preguntarDetener();
            return true;
        }
    }
    return QWidget::event(evento);
}

bool frmInicial::eventFilter(QObject* objeto, QEvent* evento) {
    // The close control is disabled with the window during a report; a click on it asks to stop.
    if (objeto == CerrarVentana_ && reporteEnCurso() &&
        (evento->type() == QEvent::MouseButtonPress ||
         evento->type() == QEvent::MouseButtonRelease)) {
        const auto* raton = static_cast<QMouseEvent*>(evento);
        if (evento->type() == QEvent::MouseButtonRelease && raton->button() == Qt::LeftButton &&
            CerrarVentana_->rect().contains(raton->position().toPoint()))
            preguntarDetener();
        return true;
    }
    if (evento->type() == QEvent::KeyPress) {
        auto* tecla = static_cast<QKeyEvent*>(evento);
        if (teclaDeVentana(tecla)) return true;
        if (objeto == mfgEmpresas_ && tecla->key() == Qt::Key_Space) {
            marcarDesmarcar();
            return true;
        }
        if (objeto == txtArchivo_ && !tecla->text().isEmpty()) {
            int caracter = tecla->key() == Qt::Key_Return || tecla->key() == Qt::Key_Enter
                               ? 13
                               : tecla->text().at(0).unicode();
            entrada_.Enter(caracter);
            if (caracter == 0) return true;  // the character is cancelled
        }
    } else if (evento->type() == QEvent::MouseButtonDblClick &&
               objeto == mfgEmpresas_->viewport() &&
               static_cast<QMouseEvent*>(evento)->button() == Qt::LeftButton) {
        marcarDesmarcar();
        return true;
    } else if (evento->type() == QEvent::FocusIn && objeto == txtArchivo_) {
        entrada_.Resalta(txtArchivo_);
    }
    return QWidget::eventFilter(objeto, evento);
}

void frmInicial::keyPressEvent(QKeyEvent* evento) {
    if (!teclaDeVentana(evento)) QWidget::keyPressEvent(evento);
}

void frmInicial::mouseDoubleClickEvent(QMouseEvent* evento) {
    // Only the window's own background opens the settings file, not a control on it.
    if (evento->button() == Qt::LeftButton && !childAt(evento->position().toPoint())) {
        dialogos().abrirDocumento(contexto_.lugares.ajustes);
        return;
    }
    QWidget::mouseDoubleClickEvent(evento);
}

void frmInicial::closeEvent(QCloseEvent* evento) {
    if (sinPreguntar_) {
        descargar();
        evento->accept();
        return;
    }
    // Every close request asks, wherever it comes from: on a Linux desktop the window manager
    // takes Alt+F4 and sends a close request that cannot be told from the taskbar's. While a
    // report runs the window does not close: the request asks whether to stop the report.
    if (reporteEnCurso() || enPregunta_) {
        evento->ignore();
        preguntarDetener();
        return;
    }
    enPregunta_ = true;
    const bool cerrar = Pregunta(dialogos(), QStringLiteral("¿Desea cerrar este programa?"),
                                 QStringLiteral("Finalizar"), false);
    enPregunta_ = false;
    // The system may have asked the program to end while the question was open (its box then
    // went unanswered): the window closes as that request closes it.
    if (!cerrar && !dialogos().desatendido()) {
        evento->ignore();
        return;
    }
    descargar();
    evento->accept();
}

void frmInicial::terminarPorSistema() {
    if (dialogos().desatendido()) return;
    dialogos().ponerDesatendido();
    // A box waiting for an answer has nobody to give it: it goes as its Escape key would.
    for (QWidget* ventana : QApplication::topLevelWidgets())
        if (auto* caja = qobject_cast<QDialog*>(ventana); caja && caja->isVisible()) caja->reject();
    if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
    // A report still running closes the window once it has stopped (reporteTerminado); the
    // closing question, when open, closes it as soon as its box has gone (closeEvent).
    if (reporteEnCurso())
        reporte_->detener();
    else if (!enPregunta_)
        QTimer::singleShot(0, this, &frmInicial::cerrarSinPreguntar);
}

void frmInicial::cerrarSinPreguntar() {
    if (sinPreguntar_) return;  // already closing
    sinPreguntar_ = true;
    close();
}

bool frmInicial::reporteEnCurso() const { return reporte_ && reporte_->enCurso(); }

void frmInicial::descargar() {
    QList<EleccionEmpresa> elecciones;
    for (int f = 1; f < mfgEmpresas_->Rows(); ++f)
        elecciones << EleccionEmpresa{mfgEmpresas_->TextMatrix(f, 0).trimmed().toInt(),
                                      mfgEmpresas_->TextMatrix(f, 2) == TextoSi()};
    const QStringList fallos = GuardarElecciones(contexto_.lugares.ajustes, elecciones,
                                                 cmbPrecios_->currentText(), txtArchivo_->text());
    if (!fallos.isEmpty())
        Mensaje(dialogos(),
                QStringLiteral("No se pudieron guardar las elecciones para la próxima vez: ") +
                    fallos.join(u' '),
                estilos::Alto, QStringLiteral("Alerta"));
    CerrarBasesDeDatos(contexto_);
    // The description window saves its placement as it closes.
    if (descripcion_) descripcion_->close();
    for (QWidget* ventana : QApplication::topLevelWidgets())
        if (ventana != this && ventana->isVisible()) ventana->close();
}

void frmInicial::changeEvent(QEvent* evento) {
    QWidget::changeEvent(evento);
    if (evento->type() == QEvent::ActivationChange && isActiveWindow()) prepararMarco();
}

void frmInicial::prepararMarco() {
    if (!PrimeraActivacion) return;
    PrimeraActivacion = false;

    const auto imagen = [this](const QString& nombre) {
        auto* control = new ImagenMarco(this);
        control->setObjectName(nombre);
        return control;
    };
    MinimizarVentana_ = imagen(QStringLiteral("MinimizarVentana"));
    CerrarVentana_ = imagen(QStringLiteral("CerrarVentana"));
    RestaurarForma_ = new BotonDegradado(this);
    RestaurarForma_->setObjectName(QStringLiteral("RestaurarForma"));
    imgLogoVentana_ = imagen(QStringLiteral("imgLogoVentana"));
    imgLogoVentana_->setToolTip(QStringLiteral("Menú de opciones generales"));
    MinimizarVentana_->setToolTip(QStringLiteral("Minimizar"));
    CerrarVentana_->setToolTip(QStringLiteral("Cerrar"));

    connect(MinimizarVentana_, &QAbstractButton::clicked, this, [this] {
        ReducirVentana(this, RestaurarForma_);
        // Keys go to the bar, the only control that shows, not to the hidden grid.
        RestaurarForma_->setFocus();
    });
    connect(CerrarVentana_, &QAbstractButton::clicked, this, &frmInicial::cerrarDesdePrograma);
    CerrarVentana_->installEventFilter(this);
    connect(RestaurarForma_, &QAbstractButton::clicked, this, [this] {
        AmpliarVentana(this, RestaurarForma_);
        if (!RestaurarForma_->isVisible()) mfgEmpresas_->setFocus();
    });
    RestaurarForma_->setAlArrastrar(
        [this](int botones, const QPoint& global) { return moverSobreVentana(botones, global); });
    connect(imgLogoVentana_, &QAbstractButton::clicked, this,
            [this] { descripcion()->mnUno()->popup(QCursor::pos()); });

    PintarSkin(pctSkin_, this,
               ControlesMarco{MinimizarVentana_, CerrarVentana_, RestaurarForma_, imgLogoVentana_});
    mfgEmpresas_->setFocus();
}

bool frmInicial::moverSobreVentana(int botones, const QPoint& global) {
    return ArrastrarVentana(botones, this, global);
}

void frmInicial::mousePressEvent(QMouseEvent* evento) {
    // Only a press on the window's own background (the title band included) can start a drag; a
    // label hands its presses on to the window, but pressing on it moves nothing.
    pulsado_.reset();
    if (evento->button() == Qt::LeftButton && !childAt(evento->position().toPoint()))
        pulsado_ = evento->globalPosition().toPoint();
    QWidget::mousePressEvent(evento);
}

void frmInicial::mouseMoveEvent(QMouseEvent* evento) {
    // A move of a few pixels while clicking is no drag: the double-click on the background stays
    // one.
    const QPoint global = evento->globalPosition().toPoint();
    if (pulsado_ && (global - *pulsado_).manhattanLength() >= QApplication::startDragDistance() &&
        moverSobreVentana(static_cast<int>(evento->buttons()), global)) {
        // The press is used up: the window system (or the follower) moves the window until the
        // button goes up. The window system keeps that release to itself, so the window is never
        // told; without this, the next mouse move would start another drag with no button held.
        pulsado_.reset();
    }
    QWidget::mouseMoveEvent(evento);
}

void frmInicial::mouseReleaseEvent(QMouseEvent* evento) {
    if (evento->button() == Qt::LeftButton) pulsado_.reset();
    QWidget::mouseReleaseEvent(evento);
}
