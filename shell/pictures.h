#pragma once
// Pictures the shell hands out (skin images, branding files, images named by
// the form script). The shell sits below the imaging layer, so it decodes
// through a hook: the program installs the imaging facade at start
// (UseImagingForShellPictures); until then Qt's image readers serve, with the
// same bound on the claimed size.
#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a complete picture file held in memory; a null image when the data
// is no picture, is damaged or claims a size beyond the bound.
using TPictureDecoder = QImage (*)(const QByteArray& data);
void SetPictureDecoder(TPictureDecoder decoder);  // null restores Qt's readers

// The picture in a form ready for painting on the screen: RGB32, or
// premultiplied ARGB32 when it has an alpha channel. Null when undecodable.
QImage DecodePicture(const QByteArray& data);
// The same for a file; null when it is missing or unreadable.
QImage LoadPictureFile(const QString& path);

// Largest picture the shell decodes (skins and logos are far smaller).
constexpr qint64 MaxShellPicturePixels = qint64(64) * 1000 * 1000;
constexpr qint64 MaxShellPictureBytes = qint64(64) * 1024 * 1024;

// ---- pictures at two densities -------------------------------------------------
// Skin pictures come at 1x and, where the skin has one, as a twin of twice
// the size. Widgets keep both and choose when they paint, so a window moved
// to a screen of another density is right at its next paint.
class QPainter;
class QPixmap;
class QPointF;
class QRectF;

// The device pixel ratio Painter paints at: the screen's for a widget, 2 for
// a grab on a screen of ratio 2 or a render into a picture of ratio 2.
qreal PaintRatio(const QPainter& painter);
// Sharp when it is exactly twice One's size (the only twin a picture has),
// else a null picture.
QImage TwinOf(const QImage& one, const QImage& sharp);
// Draws the part Source (in One's pixels) of One into Target (in the
// painter's coordinates). On a painter of ratio 1 exactly as drawImage
// does; above 1 from Sharp (twice One's size) where there is one, else One
// smoothly scaled.
void DrawDensityImage(QPainter& painter, const QRectF& target, const QImage& one, const QImage& sharp,
                      const QRectF& source);
// All of One with its top left at At.
void DrawDensityImage(QPainter& painter, const QPointF& at, const QImage& one, const QImage& sharp);
// Draws the part Source of Image into Target pixel for pixel when the
// painter paints at a ratio above 1 and Target covers exactly Source's size
// in device pixels (a photo read for the screen's density): a plain copy,
// where drawImage would resample every pixel through the ratio's scale.
// False, with nothing drawn, in any other case (always at ratio 1).
bool DrawPixelForPixel(QPainter& painter, const QRectF& target, const QImage& image, const QRectF& source);
// One as a pixmap for a label on a screen of device pixel ratio Ratio: One
// itself at 1; above 1 Sharp (twice One's size) where there is one, else One
// smoothly scaled to the screen's pixels. Its logical size is One's.
QPixmap PixmapAtRatio(const QImage& one, const QImage& sharp, qreal ratio);
