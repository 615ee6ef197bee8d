#include "ui/frmInicial.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "common/Mensajes.h"
#include "common/Programa.h"
#include "components/DeControles.h"
#include "components/Dialogos.h"
#include "report/SolicitudReporte.h"
#include "report/clsLlenarTabla.h"
#include "ui/RejaFlexible.h"
#include "ui/Twips.h"

namespace {
constexpr int AnchoCliente = 7950;
constexpr int AltoCliente = 7500;
}  // namespace

frmInicial::frmInicial(QWidget* padre) : QWidget(padre, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmInicial"));
    setWindowTitle(QStringLiteral("Reporte varelmo"));
    QFont fuente(QStringLiteral("MS Sans Serif"));
    fuente.setStyleHint(QFont::SansSerif);
    fuente.setPointSize(8);
    setFont(fuente);
    setFixedSize(TwipsAPixeles(this, AnchoCliente), TwipsAPixeles(this, AltoCliente));
    setAutoFillBackground(true);

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

    etiqueta(QStringLiteral("Label3"), QStringLiteral("Empresas a imprimir:"), 3120, 1920, 1890, 240);
    mfgEmpresas_ = new RejaFlexible(this);
    mfgEmpresas_->setObjectName(QStringLiteral("mfgEmpresas"));
    mfgEmpresas_->setGeometry(RectTwips(this, 240, 2160, 7455, 4335));

    etiqueta(QStringLiteral("Label2"), QStringLiteral("Pulse ESPACIO (o doble click) para marcar-desmarcar"),
             240, 6600, 4905, 240);
    Label4_ = etiqueta(QStringLiteral("Label4"), QString(), 240, 6960, 6015, 375);
    Label4_->hide();

    cmdReporte_ = new QPushButton(QStringLiteral("Generar archivo"), this);
    cmdReporte_->setObjectName(QStringLiteral("cmdReporte"));
    cmdReporte_->setGeometry(RectTwips(this, 6360, 6720, 1215, 495));
    connect(cmdReporte_, &QPushButton::clicked, this, &frmInicial::cmdReporte_Click);

    if (const QScreen* pantalla = QGuiApplication::primaryScreen())
        move(pantalla->availableGeometry().center() - rect().center());
}

QLabel* frmInicial::etiqueta(const QString& nombre, const QString& texto, int x, int y, int ancho, int alto)
{
    auto* l = new QLabel(texto, this);
    l->setObjectName(nombre);
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(RectTwips(this, x, y, ancho, alto));
    return l;
}

void frmInicial::mostrarDatos(const DatosIniciales& datos)
{
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
        reja.AddItem(QString::number(e.id) + u'\t' + e.nombre + u'\t' + (e.marcada ? TextoSi() : QString()));
        programa().deControles->ColorReja(&reja, reja.Rows() - 1);
    }
    if (reja.Rows() > 1)
        reja.setRow(1);

    setWindowTitle(TituloConVersion(windowTitle()));
    setProperty("tag", QStringLiteral("1"));
    textoMuestra_ = TextoMuestra();
    QString visible = textoMuestra_;
    lblMuestra_->setText(visible.replace(u'\r', u'\n'));
}

void frmInicial::ponerProgreso(const QString& texto)
{
    Label4_->setText(texto);
    // Let the window repaint and the progress line move while the report works; input cannot
    // reach the disabled window meanwhile.
    QCoreApplication::processEvents();
}

void frmInicial::cmdReporte_Click()
{
    QList<MarcaEmpresa> filas;
    for (int f = 1; f < mfgEmpresas_->Rows(); ++f)
        filas << MarcaEmpresa{mfgEmpresas_->TextMatrix(f, 0), mfgEmpresas_->TextMatrix(f, 2)};

    QString motivo;
    switch (ValidarSolicitud(txtArchivo_->text(), filas, &motivo)) {
    case Validacion::ArchivoEnBlanco:
        dialogos().beep();
        txtArchivo_->setFocus();
        return;
    case Validacion::SinEmpresas:
        Mensaje(QStringLiteral("No está seleccionada ninguna empresa"), 16, QStringLiteral("Alerta"));
        mfgEmpresas_->setFocus();
        return;
    case Validacion::ArchivoInvalido:
        Mensaje(QStringLiteral("El nombre de archivo '%1' no es válido: %2").arg(txtArchivo_->text(), motivo), 16,
                QStringLiteral("Alerta"));
        txtArchivo_->setFocus();
        return;
    case Validacion::Valida:
        break;
    }
    if (!Pregunta(QStringLiteral("¿Desea crear el archivo indicado?"), QStringLiteral("Generar archivo"), true))
        return;

    setEnabled(false);
    Programa& p = programa();
    p.listaSeleccion = EmpresasMarcadas(filas);
    QString error;
    if (CrearTablaTrabajo(p.ConexionPrincipal, p.listaSeleccion, &error)) {
        Label4_->setText(QString());
        Label4_->show();
        clsLlenarTabla llenar(cmbPrecios_->currentText(), txtArchivo_->text(),
                              [this](const QString& texto) { ponerProgreso(texto); });
        llenar.RellenarTabla();
    } else {
        Mensaje(TextoReporteFallido(error), 16, QStringLiteral("Alerta"));
    }
    Label4_->hide();
    Label4_->setText(QString());
    setEnabled(true);
    mfgEmpresas_->setFocus();
}
