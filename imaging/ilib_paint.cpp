// Painting and printing through the facade, with the display modes and the
// palettes a palette screen needs.
#include "imaging/ilib.h"
#include "imaging/ilibint.h"
#include "shell/pictures.h"
#include <QPainter>
#include <atomic>

namespace {

std::atomic<int> DisplayMode{0};

// The part of Destination that can show on the painter's device.
QRect PaintedPart(QPainter& painter, const QRect& destination, const QRect& clip) {
    QRect part = destination;
    if (!clip.isEmpty()) part &= clip;
    if (painter.device() && painter.transform().isIdentity())
        part &= QRect(0, 0, painter.device()->width(), painter.device()->height());
    return part;
}

// Bitmap scaled smoothly to Destination, cut to Part (destination coordinates).
QImage ScaledPart(const QImage& image, const QRect& destination, const QRect& part) {
    QImage scaled(part.size(), QImage::Format_RGB32);
    if (scaled.isNull()) return scaled;
    QPainter p(&scaled);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(destination.translated(-part.topLeft()), image);
    p.end();
    return scaled;
}

int PaintImage(QPainter& painter, const BITMAPHANDLE* bitmap, const QRect& destination,
               const QRect& clip, int effect) {
    if (!bitmap || !bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    if (!painter.isActive()) return ERROR_INV_PARAMETER;
    if (effect < EFFECT_NONE || effect > EFFECT_LIGHTEN) return ERROR_INV_PARAMETER;
    if (destination.isEmpty()) return SUCCESS;
    painter.save();
    if (!clip.isEmpty()) painter.setClipRect(clip, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    QImage image = effect == EFFECT_GREY ? bitmap->Image.convertToFormat(QImage::Format_Grayscale8)
                                         : bitmap->Image;
    const int mode = DisplayMode.load();
    if (mode & DISPLAYMODE_FIXEDPALETTE) {
        // A palette display shows only SharedPalette's colours: scale first,
        // then dither, so that smoothing does not mix new colours back in.
        const QRect part = PaintedPart(painter, destination, clip);
        if (!part.isEmpty()) {
            QImage scaled = ScaledPart(image, destination, part);
            if (effect == EFFECT_DIM) QPainter(&scaled).fillRect(scaled.rect(), QColor(0, 0, 0, 128));
            if (effect == EFFECT_LIGHTEN) QPainter(&scaled).fillRect(scaled.rect(), QColor(255, 255, 255, 96));
            painter.drawImage(part.topLeft(),
                              ilib::DitherToFixedPalette(scaled, (mode & DISPLAYMODE_ORDEREDDITHER) != 0));
        }
        painter.restore();
        return SUCCESS;
    }
    if (!DrawPixelForPixel(painter, QRectF(destination), image, QRectF(image.rect())))
        painter.drawImage(destination, image);
    if (effect == EFFECT_DIM) painter.fillRect(destination, QColor(0, 0, 0, 128));
    if (effect == EFFECT_LIGHTEN) painter.fillRect(destination, QColor(255, 255, 255, 96));
    painter.restore();
    return SUCCESS;
}


}  // namespace

// ---- painting and printing ----------------------------------------------------------
int L_GetDisplayMode() { return DisplayMode.load(); }

int L_SetDisplayMode(int mask, int value) {
    int old = DisplayMode.load();
    while (!DisplayMode.compare_exchange_weak(old, (old & ~mask) | (value & mask))) {
    }
    return old;
}

int L_PaintDC(QPainter& painter, const BITMAPHANDLE* bitmap, const QRect& destination, const QRect& clip) {
    return PaintImage(painter, bitmap, destination, clip, EFFECT_NONE);
}

int L_PaintDCEffect(QPainter& painter, const BITMAPHANDLE* bitmap, const QRect& destination,
                    const QRect& clip, int effect) {
    return PaintImage(painter, bitmap, destination, clip, effect);
}

int L_PrintBitmapExt(QPainter& printerPainter, const BITMAPHANDLE* bitmap, int x, int y, int width,
                     int height, int) {
    if (!bitmap || !bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    if (!printerPainter.isActive()) return ERROR_PRINTER;
    if (width <= 0 || height <= 0) return ERROR_INV_PARAMETER;
    printerPainter.save();
    printerPainter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRect destination(x, y, width, height);
    if (DisplayMode.load() & DISPLAYMODE_PRINTDITHER) {
        // A black-and-white printer gets the dithered picture at its own
        // resolution instead of thresholding every grey to black or white.
        const QImage scaled = ScaledPart(bitmap->Image, destination, destination);
        if (scaled.isNull()) {
            printerPainter.restore();
            return ERROR_NO_MEMORY;
        }
        printerPainter.drawImage(destination.topLeft(),
                                 scaled.convertToFormat(QImage::Format_Mono, Qt::DiffuseDither | Qt::MonoOnly));
    } else {
        printerPainter.drawImage(destination, bitmap->Image);
    }
    printerPainter.restore();
    return SUCCESS;
}

QList<QRgb> L_CreatePaintPalette(QPainter&, const BITMAPHANDLE* bitmap) {
    if (!bitmap || !bitmap->IsAllocated()) return {};
    if (bitmap->BitsPerPixel <= 8 && !bitmap->Image.colorTable().isEmpty()) return bitmap->Image.colorTable();
    if (bitmap->BitsPerPixel <= 8 && bitmap->Image.format() == QImage::Format_Grayscale8) {
        QList<QRgb> greys;
        for (int v = 0; v < 256; ++v) greys.append(qRgb(v, v, v));
        return greys;
    }
    if (DisplayMode.load() & DISPLAYMODE_FIXEDPALETTE) return ilib::FixedPalette();
    return {};
}

const QList<QRgb>& L_SharedPalette() { return ilib::FixedPalette(); }

QImage L_ToQImage(const BITMAPHANDLE* bitmap) { return bitmap ? bitmap->Image : QImage(); }
