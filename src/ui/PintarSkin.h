#pragma once
#include <QIcon>
#include <QImage>

class BotonDegradado;
class ImagenMarco;
class QWidget;

// The skin of a borderless window: a title band with the logo, the caption and the minimise and
// close controls, a body and a border, all cut from the skin bitmap, plus the restore bar's look.
//
// PintarSkin hands the window over to a painter that lives as long as the window: it paints the
// window's background on every repaint, keeps the frame controls in place when the window changes
// size, and gives each control its drawing. The minimise, close and logo controls are shown; the
// restore bar is placed at the window's top-left corner, as high as the collapse needs, and hidden.
struct ControlesMarco {
    ImagenMarco* MinimizarVentana = nullptr;
    ImagenMarco* CerrarVentana = nullptr;
    BotonDegradado* RestaurarForma = nullptr;
    ImagenMarco* imgLogoVentana = nullptr;
};

// The skin bitmap the program ships: 204 by 112 pixels, 24 bits a pixel.
QImage MapaSkin();
// The path of that bitmap among the program's resources.
QString RutaMapaSkin();
// The program's logo, cut from that bitmap, in the sizes a desktop shows a window's icon at.
QIcon IconoPrograma();

void PintarSkin(const QImage& pctSkin, QWidget* ventana, const ControlesMarco& controles);

// Twips of the title band's height and of the restore bar's height.
constexpr int AltoBandaTwips = 420;
constexpr int AltoBarraTwips = 375;
