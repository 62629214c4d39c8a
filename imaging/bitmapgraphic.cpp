#include "imaging/bitmapgraphic.h"
#include "imaging/screen.h"
#include <QPainter>

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
    FPalette.reset();
}

void TIEBitmapGraphic::Draw(QPainter& canvas, const QRect& rect, TQuality quality) const {
    if (!FBitmap) return;
    if (quality == TQuality::Fast && !ScreenPaletteMode() && FBitmap->GetHandle()) {
        // The painter keeps its own clip; only the visible part is scaled.
        canvas.save();
        canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
        canvas.drawImage(rect, L_ToQImage(FBitmap->GetHandle()));
        canvas.restore();
        return;
    }
    const QRect clip = canvas.hasClipping() ? canvas.clipBoundingRect().toAlignedRect() : QRect();
    FBitmap->DrawClipped(canvas, rect, clip);
}

int TIEBitmapGraphic::Width() const { return FBitmap ? FBitmap->GetSize().width() : 0; }

int TIEBitmapGraphic::Height() const { return FBitmap ? FBitmap->GetSize().height() : 0; }

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
    FBitmap = std::move(newBitmap);
}
