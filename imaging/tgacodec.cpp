// TARGA decoding of our own: Qt's TGA reader takes only uncompressed true-
// colour files with the version 2 footer, while photo software writes RLE and
// older files too. Every read is checked against the end of the data.
#include "imaging/ilibint.h"
#include <cstring>

namespace ilib {
namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

QRgb Colour15(uint16_t v) {
    auto scale = [](int c) { return (c << 3) | (c >> 2); };
    return qRgb(scale((v >> 10) & 31), scale((v >> 5) & 31), scale(v & 31));
}

}  // namespace

bool TgaDepthsDefined(const uint8_t* header) {
    const int mapType = header[1], type = header[2], mapDepth = header[7], depth = header[16];
    const int kind = type >= 9 ? type - 8 : type;
    const bool mapDefined =
        mapType == 0 || (mapType == 1 && (mapDepth == 15 || mapDepth == 16 || mapDepth == 24 || mapDepth == 32));
    switch (kind) {
    case 1:
        return mapType == 1 && mapDefined && (depth == 8 || depth == 16);
    case 2:
        return mapDefined && (depth == 15 || depth == 16 || depth == 24 || depth == 32);
    case 3:
        return mapDefined && (depth == 8 || depth == 16);
    default:
        return true;  // no pixels we would read
    }
}

int TgaDecode(const uint8_t* data, qint64 size, QImage& image) {
    if (size < 18) return ERROR_CORRUPT_FILE;
    const int idLength = data[0], mapType = data[1], type = data[2];
    const int mapFirst = Le16(data + 3), mapLength = Le16(data + 5), mapDepth = data[7];
    const int width = Le16(data + 12), height = Le16(data + 14), depth = data[16], descriptor = data[17];
    if (width == 0 || height == 0) return ERROR_CORRUPT_FILE;
    if (qint64(width) * height > MaxPicturePixels || width > MaxPictureSide || height > MaxPictureSide)
        return ERROR_IMAGE_TOO_LARGE;
    const bool rle = type >= 9;
    const int kind = rle ? type - 8 : type;  // 1 mapped, 2 true colour, 3 grey
    if (kind < 1 || kind > 3) return ERROR_FORMAT_NOT_DECODABLE;
    // Each pixel is read as its type needs it (3 bytes of a true-colour
    // pixel), so a depth the type does not define would read past the data.
    if (!TgaDepthsDefined(data)) return ERROR_CORRUPT_FILE;
    const int pixelBytes = (depth + 7) / 8;

    qint64 at = 18 + idLength;
    QList<QRgb> map;
    if (mapType == 1) {
        const int entryBytes = (mapDepth + 7) / 8;
        if (entryBytes < 2 || entryBytes > 4) return ERROR_CORRUPT_FILE;
        if (at + qint64(mapLength) * entryBytes > size) return ERROR_CORRUPT_FILE;
        for (int i = 0; i < mapLength; ++i, at += entryBytes) {
            const uint8_t* e = data + at;
            map.append(entryBytes == 2 ? Colour15(Le16(e)) : qRgb(e[2], e[1], e[0]));
        }
    }
    const bool alpha = kind == 2 && depth == 32 && (descriptor & 15) != 0;
    const QImage::Format format = kind == 3 ? QImage::Format_Grayscale8
                                  : kind == 1 && pixelBytes == 1 && mapFirst == 0 && map.size() <= 256
                                      ? QImage::Format_Indexed8
                                  : alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    QImage out(width, height, format);
    if (out.isNull()) return ERROR_NO_MEMORY;
    if (format == QImage::Format_Indexed8) {
        QList<QRgb> table = map;
        table.resize(256, qRgb(0, 0, 0));
        out.setColorTable(table);
    }
    const bool topDown = descriptor & 0x20;
    const bool rightToLeft = descriptor & 0x10;

    auto store = [&](qint64 index, const uint8_t* p) {
        const int x0 = int(index % width), y0 = int(index / width);
        const int x = rightToLeft ? width - 1 - x0 : x0;
        const int y = topDown ? y0 : height - 1 - y0;
        uint8_t* row = out.scanLine(y);
        switch (format) {
        case QImage::Format_Grayscale8:
            row[x] = p[0];
            break;
        case QImage::Format_Indexed8:
            row[x] = p[0];
            break;
        default: {
            QRgb c;
            if (kind == 1) {
                const int i = (pixelBytes == 2 ? Le16(p) : p[0]) - mapFirst;
                c = i >= 0 && i < map.size() ? map[i] : qRgb(0, 0, 0);
            } else if (pixelBytes == 2) {
                c = Colour15(Le16(p));
            } else {
                c = qRgba(p[2], p[1], p[0], pixelBytes == 4 && alpha ? p[3] : 255);
            }
            reinterpret_cast<QRgb*>(row)[x] = c;
        }
        }
    };

    const qint64 total = qint64(width) * height;
    qint64 index = 0;
    if (!rle) {
        if (at + total * pixelBytes > size) return ERROR_CORRUPT_FILE;
        for (; index < total; ++index, at += pixelBytes) store(index, data + at);
    } else {
        while (index < total) {
            if (at >= size) return ERROR_CORRUPT_FILE;
            const int head = data[at++];
            const qint64 count = std::min<qint64>((head & 0x7F) + 1, total - index);
            if (head & 0x80) {
                if (at + pixelBytes > size) return ERROR_CORRUPT_FILE;
                for (qint64 i = 0; i < count; ++i) store(index++, data + at);
                at += pixelBytes;
            } else {
                if (at + count * pixelBytes > size) return ERROR_CORRUPT_FILE;
                for (qint64 i = 0; i < count; ++i, at += pixelBytes) store(index++, data + at);
            }
        }
    }
    image = std::move(out);
    return SUCCESS;
}

}  // namespace ilib

namespace ilib {

// Uncompressed TARGA with the version 2 footer: grey or colour-mapped for 8
// bits and less, 5-5-5 for 16, BGR for 24 and BGRA for 32; rows top-down.
int TgaEncode(const QImage& source, TByteSink& sink) {
    if (source.isNull()) return ERROR_NO_BITMAP;
    if (source.width() > 65535 || source.height() > 65535) return ERROR_IMAGE_TOO_LARGE;
    QImage image = source;
    const bool grey = image.format() == QImage::Format_Grayscale8 ||
                      (image.depth() <= 8 && IsGreyTable(image.colorTable()) && image.colorCount() == 256);
    int type, depth;
    if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
        image = image.convertToFormat(QImage::Format_Indexed8);
    if (grey) {
        image = image.convertToFormat(QImage::Format_Grayscale8);
        type = 3;
        depth = 8;
    } else if (image.format() == QImage::Format_Indexed8) {
        type = 1;
        depth = 8;
    } else if (image.format() == QImage::Format_RGB555) {
        type = 2;
        depth = 16;
    } else if (image.format() == QImage::Format_RGB32) {
        type = 2;
        depth = 32;
    } else {
        image = image.convertToFormat(QImage::Format_RGB888);
        type = 2;
        depth = 24;
    }
    if (image.isNull()) return ERROR_NO_MEMORY;
    const int width = image.width(), height = image.height();
    QByteArray header(18, '\0');
    QList<QRgb> table = image.colorTable();
    if (type == 1) {
        table.resize(256, qRgb(0, 0, 0));
        header[1] = 1;
        header[5] = char(0x00);
        header[6] = char(0x01);  // 256 entries
        header[7] = 24;
    }
    header[2] = char(type);
    header[12] = char(width & 0xFF);
    header[13] = char(width >> 8);
    header[14] = char(height & 0xFF);
    header[15] = char(height >> 8);
    header[16] = char(depth);
    header[17] = char(0x20 | (depth == 32 ? 8 : 0));  // top-down, alpha bits
    if (!sink.Write(reinterpret_cast<const uint8_t*>(header.constData()), size_t(header.size())))
        return ERROR_FILE_WRITE;
    if (type == 1) {
        QByteArray map;
        for (QRgb c : table) map.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        if (!sink.Write(reinterpret_cast<const uint8_t*>(map.constData()), size_t(map.size())))
            return ERROR_FILE_WRITE;
    }
    const int bytes = depth / 8;
    QByteArray row(qsizetype(width) * bytes, Qt::Uninitialized);
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = image.constScanLine(y);
        auto* to = reinterpret_cast<uint8_t*>(row.data());
        if (depth == 24) {
            for (int x = 0; x < width; ++x, from += 3, to += 3) {
                to[0] = from[2];
                to[1] = from[1];
                to[2] = from[0];
            }
        } else {
            std::memcpy(to, from, size_t(row.size()));  // 8-bit, 16-bit 5-5-5 and BGRA are stored as held
        }
        if (depth == 32)
            for (int x = 0; x < width; ++x) reinterpret_cast<uint8_t*>(row.data())[x * 4 + 3] = 255;
        if (!sink.Write(reinterpret_cast<const uint8_t*>(row.constData()), size_t(row.size())))
            return ERROR_FILE_WRITE;
    }
    const QByteArray footer = QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.\0", 18);
    return sink.Write(reinterpret_cast<const uint8_t*>(footer.constData()), size_t(footer.size()))
               ? SUCCESS
               : ERROR_FILE_WRITE;
}

}  // namespace ilib
