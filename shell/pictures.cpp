#include "shell/pictures.h"
#include "platform/paths.h"
#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <atomic>
#include <cmath>

namespace {

std::atomic<TPictureDecoder> Decoder{nullptr};

QImage DecodeWithQt(const QByteArray& data) {
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    // The header's claim is checked before any pixel memory is taken.
    if (!size.isValid() || qint64(size.width()) * size.height() > MaxShellPicturePixels) return {};
    QImage image;
    if (!reader.read(&image)) return {};
    return image;
}

} // namespace

void SetPictureDecoder(TPictureDecoder decoder) { Decoder.store(decoder); }

QImage DecodePicture(const QByteArray& data) {
    if (data.isEmpty()) return {};
    const TPictureDecoder decoder = Decoder.load();
    const QImage image = decoder ? decoder(data) : DecodeWithQt(data);
    if (image.isNull()) return {};
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

QImage LoadPictureFile(const QString& path) {
    QByteArray data;
    if (!Platform::ReadWholeFile(path, data, MaxShellPictureBytes)) return {};
    return DecodePicture(data);
}

qreal PaintRatio(const QPainter& painter) {
    // A widget rendered into a picture reports its screen's ratio as its
    // device's; the device transform (the world transform times the device
    // pixel ratio) tells what really reaches the pixels.
    const QTransform world = painter.worldTransform();
    const double worldScale = std::sqrt(std::abs(world.determinant()));
    const double deviceScale = std::sqrt(std::abs(painter.deviceTransform().determinant()));
    if (worldScale > 0 && deviceScale > 0) return deviceScale / worldScale;
    return painter.device() ? painter.device()->devicePixelRatio() : 1.0;
}

QImage TwinOf(const QImage& one, const QImage& sharp) {
    if (one.isNull() || sharp.size() != one.size() * 2) return {};
    return sharp;
}

void DrawDensityImage(QPainter& painter, const QRectF& target, const QImage& one, const QImage& sharp,
                      const QRectF& source) {
    if (one.isNull()) return;
    if (PaintRatio(painter) <= 1.0) {
        painter.drawImage(target, one, source);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (sharp.size() == one.size() * 2)
        painter.drawImage(target, sharp, QRectF(source.topLeft() * 2, source.size() * 2));
    else
        painter.drawImage(target, one, source);
    painter.restore();
}

void DrawDensityImage(QPainter& painter, const QPointF& at, const QImage& one, const QImage& sharp) {
    if (PaintRatio(painter) <= 1.0) {
        painter.drawImage(at, one);
        return;
    }
    DrawDensityImage(painter, QRectF(at, QSizeF(one.size())), one, sharp, QRectF(one.rect()));
}

QPixmap PixmapAtRatio(const QImage& one, const QImage& sharp, qreal ratio) {
    if (one.isNull() || ratio <= 1.0) return QPixmap::fromImage(one);
    QPixmap pixmap = sharp.size() == one.size() * 2
                         ? QPixmap::fromImage(sharp)
                         : QPixmap::fromImage(one.scaled(QSize(qRound(one.width() * ratio), qRound(one.height() * ratio)),
                                                         Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(sharp.size() == one.size() * 2 ? 2.0 : ratio);
    return pixmap;
}

bool DrawPixelForPixel(QPainter& painter, const QRectF& target, const QImage& image, const QRectF& source) {
    if (image.isNull() || PaintRatio(painter) <= 1.0) return false;
    const QTransform device = painter.deviceTransform();
    if (device.type() > QTransform::TxScale || device.m11() <= 0 || device.m22() <= 0) return false;
    const QRectF mapped = device.mapRect(target);
    const QRect pixels = mapped.toRect(), from = source.toRect();
    const auto whole = [](const QRectF& r, const QRect& n) {
        return std::abs(r.left() - n.left()) < 1e-6 && std::abs(r.top() - n.top()) < 1e-6 &&
               std::abs(r.width() - n.width()) < 1e-6 && std::abs(r.height() - n.height()) < 1e-6;
    };
    if (!whole(mapped, pixels) || !whole(source, from) || pixels.size() != from.size()) return false;
    painter.save();
    // World coordinates become the device's pixels: the copy needs no transform.
    painter.setWorldTransform(device.inverted() * painter.worldTransform());
    painter.drawImage(pixels.topLeft(), image, from);
    painter.restore();
    return true;
}
