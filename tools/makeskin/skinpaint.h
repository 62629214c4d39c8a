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

// Box blur (three passes) of a premultiplied ARGB image, in place.
void Blur(QImage& image, int radius);

// The product's emblem: a lens aperture in a ring, filling Box.
void DrawEmblem(QPainter& painter, const QRectF& box, qreal light = 1.0);

// A new image of Size filled with Color, ready for painting.
QImage NewCanvas(QSize size, const QColor& color);
void Prepare(QPainter& painter);

} // namespace MakeSkin
