#include "imaging/bitmapgraphic.h"
#include "shell/pictures.h"
#include "imaging/screen.h"
#include <QPainter>
#include <algorithm>

namespace {

[[noreturn]] void RaiseUnsupported() {
    throw EInvalidGraphicOperation(QString::fromLatin1(UnsupportedGraphicOperationText));
}

const QList<QRgb>& NoPalette() {
    static const QList<QRgb> none;
    return none;
}

} // namespace

TIEBitmapGraphic::~TIEBitmapGraphic() { SetBitmap(nullptr); }

void TIEBitmapGraphic::AssignTo(TIEBitmapGraphic& dest) {
    if (&dest == this) return;
    dest.FBitmap = std::move(FBitmap);
    dest.FPalette = std::move(FPalette);
    dest.FPaintCopy = std::move(FPaintCopy);
    dest.FPaintCopyKey = FPaintCopyKey;
    FPalette.reset();
    FPaintCopy = QImage();
}

// Pictures of at least this many pixels, or painted over at least as many
// pixels of the device, get a 32-bit copy for painting.
constexpr qint64 PaintCopyFromPixels = 1 << 20;

const QImage& TIEBitmapGraphic::PaintImage(qint64 devicePixels) const {
    const QImage& image = FBitmap->GetHandle()->Image;
    // Qt scales a 32-bit picture several times faster than a 24-bit one, and
    // the conversion costs less than one such paint; the copy lasts until
    // the pixels change (their cache key follows every change).
    if (image.format() != QImage::Format_RGB888 ||
        std::max(qint64(image.width()) * image.height(), devicePixels) < PaintCopyFromPixels)
        return image;
    if (FPaintCopy.isNull() || FPaintCopyKey != image.cacheKey()) {
        FPaintCopy = image.convertToFormat(QImage::Format_RGB32);
        FPaintCopyKey = image.cacheKey();
        // Without memory for the copy the picture is painted as it is.
        if (FPaintCopy.isNull()) return image;
    }
    return FPaintCopy;
}

void TIEBitmapGraphic::Draw(QPainter& canvas, const QRect& rect, TQuality quality) const {
    if (!FBitmap || !FBitmap->GetHandle()) return;
    if (!ScreenPaletteMode()) {
        // The painter keeps its own clip; only the visible part is scaled.
        const QImage& own = FBitmap->GetHandle()->Image;
        if (DrawPixelForPixel(canvas, QRectF(rect), PaintImage(0), QRectF(own.rect()))) return;
        const QRect painted = canvas.deviceTransform().mapRect(rect);
        const QImage& image = PaintImage(qint64(painted.width()) * painted.height());
        canvas.save();
        canvas.setRenderHint(QPainter::SmoothPixmapTransform, quality == TQuality::Smooth);
        canvas.drawImage(rect, image);
        canvas.restore();
        return;
    }
    const QRect clip = canvas.hasClipping() ? canvas.clipBoundingRect().toAlignedRect() : QRect();
    FBitmap->DrawClipped(canvas, rect, clip);
}

int TIEBitmapGraphic::Width() const { return FBitmap ? FBitmap->GetSize().width() : 0; }

int TIEBitmapGraphic::Height() const { return FBitmap ? FBitmap->GetSize().height() : 0; }

QSize TIEBitmapGraphic::SourceSize() const {
    const BITMAPHANDLE* handle = FBitmap ? FBitmap->GetHandle() : nullptr;
    if (!handle) return QSize(0, 0);
    const QSize source(handle->SourceWidth, handle->SourceHeight);
    const QSize own(Width(), Height());
    // Only a picture reduced as a whole counts; anything else is its own size.
    return source.width() >= own.width() && source.height() >= own.height() ? source : own;
}

const QList<QRgb>& TIEBitmapGraphic::Palette() const {
    if (!FBitmap) return NoPalette();
    if (!FPalette) FPalette = FBitmap->GetPalette();
    return *FPalette;
}

void TIEBitmapGraphic::SetWidth(int) { RaiseUnsupported(); }
void TIEBitmapGraphic::SetHeight(int) { RaiseUnsupported(); }
void TIEBitmapGraphic::SaveToFile(const QString&) const { RaiseUnsupported(); }
void TIEBitmapGraphic::LoadFromStream(QIODevice&) { RaiseUnsupported(); }
void TIEBitmapGraphic::SaveToStream(QIODevice&) const { RaiseUnsupported(); }
void TIEBitmapGraphic::LoadFromClipboardFormat(const QMimeData&) { RaiseUnsupported(); }
void TIEBitmapGraphic::SaveToClipboardFormat(QMimeData&) const { RaiseUnsupported(); }

void TIEBitmapGraphic::SetBitmap(std::unique_ptr<TIEBitmap> newBitmap) {
    FPalette.reset();
    FPaintCopy = QImage();
    FBitmap = std::move(newBitmap);
}
