#include "shell/pictures.h"
#include "platform/paths.h"
#include <QBuffer>
#include <QImageReader>
#include <atomic>

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
