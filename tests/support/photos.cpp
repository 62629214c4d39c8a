#include "support/photos.h"
#include "imaging/ilib.h"
#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cstdlib>

QImage MakeBandImage(int width, int height, const QList<QColor>& bands, bool vertical) {
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull()) return image;
    image.fill(Qt::black);
    const int count = int(bands.size());
    if (count == 0) return image;
    const int length = vertical ? height : width;
    for (int i = 0; i < count; ++i) {
        const int from = int(qint64(i) * length / count);
        const int to = int(qint64(i + 1) * length / count);
        const QRect band = vertical ? QRect(0, from, width, to - from) : QRect(from, 0, to - from, height);
        QPainter painter(&image);
        painter.fillRect(band, bands[i]);
    }
    return image;
}

QImage MakePhotoLikeImage(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return image;
    // A small deterministic generator so the same seed draws the same photo.
    uint32_t state = 2654435761u * uint32_t(seed + 1);
    auto next = [&state](int range) {
        state = state * 1664525u + 1013904223u;
        return int((state >> 8) % uint32_t(std::max(range, 1)));
    };
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(60 + next(60), 110 + next(60), 200 + next(55)));
    sky.setColorAt(0.6, QColor(200 + next(55), 190 + next(40), 150 + next(60)));
    sky.setColorAt(1, QColor(40 + next(40), 90 + next(50), 30 + next(40)));
    painter.fillRect(image.rect(), sky);
    const int shapes = 6 + next(6);
    for (int i = 0; i < shapes; ++i) {
        const int w = std::max(4, width / 8 + next(std::max(width / 3, 1)));
        const int h = std::max(4, height / 8 + next(std::max(height / 3, 1)));
        const int x = next(std::max(width - w / 2, 1));
        const int y = next(std::max(height - h / 2, 1));
        QRadialGradient blob(x + w / 2.0, y + h / 2.0, std::max(w, h) / 2.0);
        blob.setColorAt(0, QColor(next(256), next(256), next(256)));
        blob.setColorAt(1, QColor(next(256), next(256), next(256), 160));
        painter.setPen(Qt::NoPen);
        painter.setBrush(blob);
        if (i % 2)
            painter.drawEllipse(x, y, w, h);
        else
            painter.drawRoundedRect(x, y, w, h, w / 6.0, h / 6.0);
    }
    painter.end();
    return image.convertToFormat(QImage::Format_RGB888);
}

QByteArray EncodeTestJpeg(const QImage& image, int quality, bool subsample) {
    BITMAPHANDLE bitmap;
    if (image.format() == QImage::Format_Grayscale8) {
        bitmap.Image = image;
        bitmap.BitsPerPixel = 8;
    } else {
        bitmap.Image = image.convertToFormat(QImage::Format_RGB888);
        bitmap.BitsPerPixel = 24;
    }
    QByteArray out;
    if (L_SaveJpegMemory(out, &bitmap, quality, subsample) != SUCCESS) return {};
    return out;
}

bool WriteTestJpeg(const QString& path, const QImage& image, int quality, bool subsample) {
    const QByteArray data = EncodeTestJpeg(image, quality, subsample);
    if (data.isEmpty()) return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(data) == data.size();
}

QColor MeanColor(const QImage& image, const QRect& rect) {
    const QRect area = rect.intersected(image.rect());
    if (area.isEmpty()) return {};
    qint64 r = 0, g = 0, b = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            r += qRed(pixel);
            g += qGreen(pixel);
            b += qBlue(pixel);
        }
    }
    const qint64 n = qint64(area.width()) * area.height();
    return QColor(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n));
}

bool ColorNear(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

namespace {

qsizetype SosOffset(const QByteArray& jpeg) {
    // Walk the marker segments from SOI; they carry their own lengths.
    qsizetype at = 2;
    while (at + 4 <= jpeg.size()) {
        if (uint8_t(jpeg[at]) != 0xFF) return -1;
        const uint8_t marker = uint8_t(jpeg[at + 1]);
        if (marker == 0xDA) return at;
        const int length = (uint8_t(jpeg[at + 2]) << 8) | uint8_t(jpeg[at + 3]);
        at += 2 + length;
    }
    return -1;
}

} // namespace

qsizetype ScanDataOffset(const QByteArray& jpeg) {
    const qsizetype sos = SosOffset(jpeg);
    if (sos < 0) return -1;
    const int length = (uint8_t(jpeg[sos + 2]) << 8) | uint8_t(jpeg[sos + 3]);
    return sos + 2 + length;
}

QByteArray CutScanData(const QByteArray& jpeg, double share) {
    const qsizetype start = ScanDataOffset(jpeg);
    return jpeg.left(start + qsizetype(double(jpeg.size() - start) * share));
}

QByteArray WithCorruptSegment(const QByteArray& jpeg, double share) {
    QByteArray damaged = jpeg;
    const qsizetype start = ScanDataOffset(jpeg);
    qsizetype at = start + qsizetype(double(jpeg.size() - start) * share);
    // A restart marker where none is expected: "premature end of data segment".
    damaged[at] = char(0xFF);
    damaged[at + 1] = char(0xD3);
    return damaged;
}

QByteArray WithoutScanData(const QByteArray& jpeg) { return jpeg.left(ScanDataOffset(jpeg)); }

QByteArray HeaderOnly(const QByteArray& jpeg) { return jpeg.left(SosOffset(jpeg)); }

QByteArray EncodeProgressiveJpeg(const QImage& image) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    return writer.write(image) ? out : QByteArray();
}

QByteArray WithRepeatedScan(const QByteArray& progressive, int copies, bool asFirstScan) {
    // Inside scan data a 0xFF byte is always followed by 0x00, so the last
    // FF DA is the last scan's header.
    const qsizetype last = progressive.lastIndexOf("\xFF\xDA");
    const qsizetype end = progressive.lastIndexOf("\xFF\xD9");
    if (last < 0 || end < last) return {};
    QByteArray scan = progressive.mid(last, end - last);
    // One component: FF DA, length, count, selector and tables, Ss, Se, then Ah/Al.
    if (asFirstScan && scan.size() > 9 && scan[4] == 1) scan[9] = 0;
    return progressive.left(end) + scan.repeated(copies) + progressive.mid(end);
}

namespace {

QByteArray Segment(uint8_t marker, const QByteArray& data) {
    QByteArray segment;
    segment.append(char(0xFF)).append(char(marker));
    const int length = int(data.size()) + 2;
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    return segment + data;
}

QByteArray AfterSoi(const QByteArray& jpeg, const QByteArray& segments) {
    return jpeg.left(2) + segments + jpeg.mid(2);
}

} // namespace

QByteArray WithExifOrientation(const QByteArray& jpeg, int orientation, bool bigEndian) {
    const auto u16 = [bigEndian](int v) {
        const char bytes[2] = {char(bigEndian ? v >> 8 : v & 0xFF), char(bigEndian ? v & 0xFF : v >> 8)};
        return QByteArray(bytes, 2);
    };
    const auto u32 = [&u16, bigEndian](uint32_t v) {
        return bigEndian ? u16(int(v >> 16)) + u16(int(v & 0xFFFF)) : u16(int(v & 0xFFFF)) + u16(int(v >> 16));
    };
    QByteArray tiff = QByteArray(bigEndian ? "MM" : "II") + u16(42) + u32(8);
    tiff += u16(1);                                             // one entry
    tiff += u16(0x0112) + u16(3) + u32(1) + u16(orientation) + u16(0);
    tiff += u32(0);                                             // no next IFD
    return AfterSoi(jpeg, Segment(0xE1, QByteArray("Exif\0\0", 6) + tiff));
}

QByteArray WithIccProfile(const QByteArray& jpeg, const QByteArray& profile, int chunks) {
    QByteArray segments;
    const qsizetype per = (profile.size() + chunks - 1) / chunks;
    for (int i = 0; i < chunks; ++i) {
        QByteArray data("ICC_PROFILE\0", 12);
        data.append(char(i + 1)).append(char(chunks));
        segments += Segment(0xE2, data + profile.mid(i * per, per));
    }
    return AfterSoi(jpeg, segments);
}
