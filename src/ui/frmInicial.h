#pragma once
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

#include "programa/Arranque.h"
#include "report/SolicitudReporte.h"
#include "ui/EntradaTexto.h"

struct Contexto;
class BotonDegradado;
class Dialogos;
class ImagenMarco;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ReporteEnHilo;
struct ResultadoReporte;
class RejaFlexible;
class frmDescripcion;

// The main window: the company grid, the price level, the file name and "Generar archivo".
//
// Start-up (programa/) has already found the host and gathered the initial content; the window lays
// out its controls from the design in twips, shows that content, and turns a click on
// "Generar archivo" into a report run of report/.
//
// The window is borderless: on its first activation it gets its frame controls (minimise, close,
// the restore bar and the logo) and the skin; minimise collapses it into the restore bar
// (ui/Colapso), and dragging its background or the bar moves it (ui/Arrastre).
class frmInicial : public QWidget {
    Q_OBJECT
public:
    // The window works on `contexto` (the run's places, host and sessions), which outlives it.
    explicit frmInicial(Contexto& contexto, QWidget* padre = nullptr);
    ~frmInicial() override;

    // Puts the initial content into the controls, the version into the caption and the server
    // and database into lblMuestra.
    void mostrarDatos(const DatosIniciales& datos);

    // The click on cmdReporte: the request checked and confirmed, then its report started.
    void cmdReporte_Click();
    // Whether a report is running (tests wait for it to end).
    bool reporteEnCurso() const;
    // Toggles the tick of the grid's current row (space or double-click); the heading row never.
    void marcarDesmarcar();
    // Shows the one description window, creating it when it does not exist (F1).
    void mostrarDescripcion();
    // The description window, creating it hidden when it does not exist (the logo menu needs it).
    frmDescripcion* descripcion(bool crear = true);
    // A close asked for by the program (close control, Alt+F4 when the program gets the keys):
    // asks before closing, as every close request does.
    void cerrarDesdePrograma();
    // The session is ending or the system asked the program to end (SIGTERM, SIGHUP): a report
    // running is cut short (no workbook written, the earlier one kept), any open box goes
    // unanswered, and the window closes as its own close does (choices saved, working table
    // dropped) without asking.
    void terminarPorSistema();
    // Escape, the close control or a close request while a report runs: asks whether to stop it
    // (No by default); Sí cuts it short at its next refresh, as terminarPorSistema does, but the
    // window stays.
    void preguntarDetener();

    // The caption of lblMuestra as the program set it (the label shows its carriage return as a
    // line break).
    QString textoMuestra() const { return textoMuestra_; }

    RejaFlexible* mfgEmpresas() const { return mfgEmpresas_; }
    QComboBox* cmbPrecios() const { return cmbPrecios_; }
    QLineEdit* txtArchivo() const { return txtArchivo_; }
    QLabel* Label4() const { return Label4_; }
    QPushButton* cmdReporte() const { return cmdReporte_; }
    // The frame controls; null until the first activation.
    ImagenMarco* MinimizarVentana() const { return MinimizarVentana_; }
    ImagenMarco* CerrarVentana() const { return CerrarVentana_; }
    BotonDegradado* RestaurarForma() const { return RestaurarForma_; }
    ImagenMarco* imgLogoVentana() const { return imgLogoVentana_; }

protected:
    bool event(QEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;
    void mouseDoubleClickEvent(QMouseEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    void changeEvent(QEvent* evento) override;
    void mousePressEvent(QMouseEvent* evento) override;
    void mouseMoveEvent(QMouseEvent* evento) override;
    void mouseReleaseEvent(QMouseEvent* evento) override;

private:
    // The labels, the price list, the file name, the grid, the progress line and the button, at
    // their design places.
    void crearControles();
    // The frame set-up of the first activation: the frame controls, their handlers and the skin.
    void prepararMarco();
    // A mouse move over the background or the restore bar: drags the window with the left button
    // alone. True when a drag is under way.
    bool moverSobreVentana(int botones, const QPoint& global);
    // Keys every control of the window hands on first (F1, Alt+F4, F10 and the menu key); true
    // when handled.
    bool teclaDeVentana(QKeyEvent* evento);
    // The logo's menu, below the logo (F10, the menu key).
    void mostrarMenuLogo();
    void descargar();
    // The report of a confirmed request started: its turn on the host, the working table, the run.
    void ejecutarReporte(const QList<int>& empresas);
    // The report has ended: the user is told, the window is usable again.
    void reporteTerminado(const ResultadoReporte& resultado);
    void cerrarSinPreguntar();
    QLabel* etiqueta(const QString& nombre, const QString& texto, int x, int y, int ancho,
                     int alto);
    void ponerProgreso(const QString& texto);

    Dialogos& dialogos() const;
    Contexto& contexto_;
    QLabel* lblMuestra_ = nullptr;
    QComboBox* cmbPrecios_ = nullptr;
    QLineEdit* txtArchivo_ = nullptr;
    RejaFlexible* mfgEmpresas_ = nullptr;
    QLabel* Label4_ = nullptr;
    QPushButton* cmdReporte_ = nullptr;
    QString textoMuestra_;
    QPointer<frmDescripcion> descripcion_;
    // The report of the last confirmed request, on a thread of its own; while it runs the window
    // is disabled and close requests ask whether to stop it.
    std::unique_ptr<ReporteEnHilo> reporte_;
    bool enPregunta_ = false;    // the closing question is on screen
    bool enDetener_ = false;     // the question whether to stop the report is on screen
    bool sinPreguntar_ = false;  // the close under way asks nothing
    bool PrimeraActivacion = true;
    QImage pctSkin_;
    ImagenMarco* MinimizarVentana_ = nullptr;
    ImagenMarco* CerrarVentana_ = nullptr;
    BotonDegradado* RestaurarForma_ = nullptr;
    ImagenMarco* imgLogoVentana_ = nullptr;
    // Where the left button went down on the background, until it goes up.
    std::optional<QPoint> pulsado_;
    int filaMarcada_ = 0;
    EntradaTexto entrada_;
};
