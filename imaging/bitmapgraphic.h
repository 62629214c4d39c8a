#pragma once
// TIEBitmapGraphic: a TIEBitmap in the shape of a graphic object, so that a
// picture control (the full view) can hold, size and draw it. It owns its
// bitmap and the palette made for it; the operations a graphic of this kind
// cannot do (resizing, streams, the clipboard) raise
// EInvalidGraphicOperation.
#include "imaging/iebitmap.h"
#include "platform/errors.h"
#include <QImage>
#include <QList>
#include <QRect>
#include <QRgb>
#include <memory>
#include <optional>

class QIODevice;
class QMimeData;
class QPainter;

class EInvalidGraphicOperation : public EError {
public:
    using EError::EError;
};

inline const char* const UnsupportedGraphicOperationText = "Unsupported TIEBitmapGraphic operation";

class TIEBitmapGraphic {
public:
    TIEBitmapGraphic() = default;
    ~TIEBitmapGraphic();
    TIEBitmapGraphic(const TIEBitmapGraphic&) = delete;
    TIEBitmapGraphic& operator=(const TIEBitmapGraphic&) = delete;

    // Dest receives this object's bitmap and palette, the same objects, not
    // copies. Only one of the two may free them, so Dest becomes their owner
    // and this graphic is left empty; Dest's previous picture is freed.
    void AssignTo(TIEBitmapGraphic& dest);

    // How a stretched picture is drawn: smoothly filtered, or pixel by pixel
    // for the frames of an animation, which must keep pace.
    enum class TQuality { Smooth, Fast };
    // Nothing when empty; else the bitmap stretched into Rect, limited to the
    // canvas's clip rectangle. A palette display always gets the smooth,
    // dithered picture.
    void Draw(QPainter& canvas, const QRect& rect, TQuality quality = TQuality::Smooth) const;
    bool Empty() const { return !FBitmap; }
    int Width() const;
    int Height() const;
    // The picture's size in its file, turned as the picture is; larger than
    // Width x Height when it was decoded at a reduced scale.
    QSize SourceSize() const;
    // The colours to paint the bitmap with; none when empty. Made on the
    // first request and kept until the bitmap changes.
    const QList<QRgb>& Palette() const;

    // A picture's size is its bitmap's: these raise EInvalidGraphicOperation.
    [[noreturn]] void SetWidth(int value);
    [[noreturn]] void SetHeight(int value);
    // No stream form: these raise EInvalidGraphicOperation. A save to a file
    // raises before the file is created, so no empty file is left behind.
    [[noreturn]] void SaveToFile(const QString& fileName) const;
    [[noreturn]] void LoadFromStream(QIODevice& stream);
    [[noreturn]] void SaveToStream(QIODevice& stream) const;
    [[noreturn]] void LoadFromClipboardFormat(const QMimeData& data);
    [[noreturn]] void SaveToClipboardFormat(QMimeData& data) const;

    // Frees the palette and the old bitmap and takes NewBitmap (none empties).
    void SetBitmap(std::unique_ptr<TIEBitmap> newBitmap);
    // The bitmap shown, still owned here; none when empty. A caller that
    // changes its pixels (a rotation) calls Changed afterwards.
    TIEBitmap* Bitmap() const { return FBitmap.get(); }
    // The bitmap changed in place: the palette is made again when asked for.
    void Changed() {
        FPalette.reset();
        FPaintCopy = QImage();
    }

private:
    // What Draw hands to the painter: the picture, or its 32-bit copy.
    const QImage& PaintImage(qint64 devicePixels) const;

    std::unique_ptr<TIEBitmap> FBitmap;
    mutable std::optional<QList<QRgb>> FPalette;
    // A large 24-bit picture converted to 32 bits for painting, with the
    // cache key of the pixels it was made from.
    mutable QImage FPaintCopy;
    mutable qint64 FPaintCopyKey = 0;
};
