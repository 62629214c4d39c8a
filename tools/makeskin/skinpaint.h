#pragma once
// Drawing of the default skin: the palette, the button tile in its states,
// the glow, captions, and the symbols. Symbols are drawn on a 24 x 24 grid
// with round caps and joins and scaled to the size they are shown at, so that
// every button shares one line weight and one look.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>

namespace MakeSkin {

// Colours of the main window and of the skin.
namespace Palette {
inline const QColor Window(0, 0, 0);
inline const QColor HeaderBlue(0, 51, 153);     // header band
inline const QColor SectionBlue(0, 153, 255);   // section bar, the accent
} // namespace Palette

enum class TSymbol {
    FilmRoll, Print, Slideshow, Install, Upload, Back,
    Previous, Next, ZoomIn, ZoomOut, RotateLeft, RotateRight,
    Mail, Home
};

// How a tile looks: at rest, lit under the mouse (Glow 0..1 pulses through
// the animation), greyed while disabled.
enum class TLook { Rest, Hover, Disabled };

// Draws Symbol in Box (square) in Color with the line weight for that size.
void DrawSymbol(QPainter& painter, TSymbol symbol, const QRectF& box, const QColor& color);

// A rounded tile with the symbol; Glow (0..1) drives the hover light.
void DrawTile(QPainter& painter, const QRectF& tile, qreal radius, TLook look, qreal glow);

// A soft halo of Color around Shape, Radius pixels wide, painted under it.
void DrawGlow(QPainter& painter, const QPainterPath& shape, const QColor& color, qreal radius);

// The skin's font (DejaVu Sans), in pixels.
QFont SkinFont(int pixelSize, bool bold, qreal letterSpacing = 0);

// Text centred in Rect, with an optional soft shadow below it.
void DrawCenteredText(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                      const QColor& color, bool shadow = true);

// Box blur (three passes) of a premultiplied ARGB image, in place; Radius in
// units (pixels of a 1x picture).
void Blur(QImage& image, int radius);

// The product's emblem: a lens aperture in a ring, filling Box.
void DrawEmblem(QPainter& painter, const QRectF& box, qreal light = 1.0);

// Pictures are drawn at a scale: 1 for the skin's pictures, 2 for their
// twins. Coordinates and sizes are always those of the 1x picture; a picture
// made by NewCanvas or NewLayer has Scale pixels per unit (its device pixel
// ratio), so the same drawing gives the twin, not an enlargement.
class TDrawScale {
public:
    explicit TDrawScale(qreal scale);
    ~TDrawScale();
    TDrawScale(const TDrawScale&) = delete;
    TDrawScale& operator=(const TDrawScale&) = delete;

private:
    qreal FPrevious;
};
qreal DrawScale();

// A new image of Size (in units) filled with Color, ready for painting.
QImage NewCanvas(QSize size, const QColor& color);
// A new transparent image of Size (in units).
QImage NewLayer(QSize size);
// The whole of a picture in units.
QRectF Area(const QImage& image);
void Prepare(QPainter& painter);

} // namespace MakeSkin
