// Packed DIBs: BITMAPINFOHEADER (little-endian), colour table, bottom-up rows
// padded to 4 bytes, BGR order. Sizes from a header are checked before use.
#include "imaging/ilibint.h"
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int InfoHeaderSize = 40;
constexpr int CoreHeaderSize = 12;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

qint64 DibStride(qint64 width, int bits) { return (width * bits + 31) / 32 * 4; }

}  // namespace

int L_ConvertToDIB(const BITMAPHANDLE* bitmap, QByteArray& dib) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    const QImage& image = bitmap->Image;
    int bits = 24;
    QImage source = image;
    switch (image.format()) {
    case QImage::Format_Mono:
        bits = 1;
        break;
    case QImage::Format_MonoLSB:
        source = image.convertToFormat(QImage::Format_Mono);
        bits = 1;
        break;
    case QImage::Format_Indexed8:
        bits = bitmap->BitsPerPixel == 4 && image.colorCount() <= 16 ? 4 : 8;
        break;
    case QImage::Format_Grayscale8:
        bits = 8;
        break;
    case QImage::Format_RGB555:
        bits = 16;
        break;
    case QImage::Format_RGB888:
        bits = 24;
        break;
    case QImage::Format_RGB32:
        bits = 32;
        break;
    default:
        source = image.convertToFormat(QImage::Format_RGB888);
        bits = 24;
        break;
    }
    if (source.isNull()) return ERROR_NO_MEMORY;
    const int width = source.width(), height = source.height();
    QList<QRgb> table;
    if (bits <= 8) {
        if (source.format() == QImage::Format_Grayscale8) {
            for (int i = 0; i < 256; ++i) table.append(qRgb(i, i, i));
        } else {
            table = source.colorTable();
        }
        table.resize(std::min<qsizetype>(table.size(), qsizetype(1) << bits));
    }
    const qint64 stride = DibStride(width, bits);
    const qint64 total = InfoHeaderSize + qint64(table.size()) * 4 + stride * height;
    if (total > MaxPicturePixels * 4 + 2048) return ERROR_IMAGE_TOO_LARGE;
    QByteArray out(qsizetype(total), '\0');
    if (out.size() != total) return ERROR_NO_MEMORY;
    auto* h = reinterpret_cast<uint8_t*>(out.data());
    Put32(h, InfoHeaderSize);
    Put32(h + 4, uint32_t(width));
    Put32(h + 8, uint32_t(height));
    Put16(h + 12, 1);
    Put16(h + 14, uint16_t(bits));
    Put32(h + 16, 0);  // BI_RGB
    Put32(h + 20, uint32_t(stride * height));
    Put32(h + 24, uint32_t(std::lround(bitmap->XResolution / 0.0254)));
    Put32(h + 28, uint32_t(std::lround(bitmap->YResolution / 0.0254)));
    Put32(h + 32, uint32_t(table.size()));
    Put32(h + 36, 0);
    uint8_t* entry = h + InfoHeaderSize;
    for (QRgb c : table) {
        entry[0] = uint8_t(qBlue(c));
        entry[1] = uint8_t(qGreen(c));
        entry[2] = uint8_t(qRed(c));
        entry[3] = 0;
        entry += 4;
    }
    uint8_t* rows = entry;
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = source.constScanLine(y);
        uint8_t* to = rows + stride * (height - 1 - y);
        switch (bits) {
        case 1:
            std::memcpy(to, from, size_t((width + 7) / 8));
            break;
        case 4:
            for (int x = 0; x < width; ++x) {
                if (x % 2 == 0)
                    to[x / 2] = uint8_t((from[x] & 15) << 4);
                else
                    to[x / 2] |= uint8_t(from[x] & 15);
            }
            break;
        case 8:
            std::memcpy(to, from, size_t(width));
            break;
        case 16:
            // RGB555 as Qt holds it is the DIB's 5-5-5 layout in native (little-endian) order.
            std::memcpy(to, from, size_t(width) * 2);
            break;
        case 24:
            for (int x = 0; x < width; ++x) {
                to[x * 3] = from[x * 3 + 2];
                to[x * 3 + 1] = from[x * 3 + 1];
                to[x * 3 + 2] = from[x * 3];
            }
            break;
        case 32:
            std::memcpy(to, from, size_t(width) * 4);  // 0xffRRGGBB is B, G, R, X in memory
            break;
        }
    }
    dib = std::move(out);
    return SUCCESS;
}

int L_ChangeToDIB(pBITMAPHANDLE bitmap, QByteArray& dib) {
    const int result = L_ConvertToDIB(bitmap, dib);
    if (result == SUCCESS) L_FreeBitmap(bitmap);
    return result;
}

int L_ConvertFromDIB(pBITMAPHANDLE bitmap, const uint8_t* header, const uint8_t* bits, qint64 bitsSize,
                     qint64 headerSize) {
    if (!bitmap || !header || (!bits && bitsSize > 0) || bitsSize < 0) return ERROR_INV_PARAMETER;
    if (headerSize >= 0 && headerSize < 4) return ERROR_INV_PARAMETER;
    const uint32_t size = Le32(header);
    qint64 width, height;
    int bitCount;
    uint32_t colours = 0, compression = 0;
    int entryBytes;
    int xDpi = 0, yDpi = 0;
    if (size == CoreHeaderSize) {
        if (headerSize >= 0 && headerSize < CoreHeaderSize) return ERROR_INV_PARAMETER;
        width = Le16(header + 4);
        height = Le16(header + 6);
        bitCount = Le16(header + 10);
        entryBytes = 3;
    } else if (size >= InfoHeaderSize && size <= 4096) {
        if (headerSize >= 0 && headerSize < size) return ERROR_INV_PARAMETER;
        width = int32_t(Le32(header + 4));
        height = int32_t(Le32(header + 8));
        bitCount = Le16(header + 14);
        compression = Le32(header + 16);
        xDpi = int(std::lround(int32_t(Le32(header + 24)) * 0.0254));
        yDpi = int(std::lround(int32_t(Le32(header + 28)) * 0.0254));
        colours = Le32(header + 32);
        entryBytes = 4;
    } else {
        return ERROR_INV_PARAMETER;
    }
    if (compression != 0) return ERROR_FEATURE_NOT_SUPPORTED;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return ERROR_BITPERPIXEL;
    const bool topDown = height < 0;
    height = std::abs(height);
    if (width <= 0 || height <= 0) return ERROR_INV_PARAMETER;
    if (width > MaxPictureSide || height > MaxPictureSide || width * height > MaxPicturePixels)
        return ERROR_IMAGE_TOO_LARGE;
    qint64 tableEntries = 0;
    if (bitCount <= 8) {
        const qint64 most = qint64(1) << bitCount;
        if (colours > most) return ERROR_INV_PARAMETER;
        tableEntries = colours ? colours : most;
    }
    if (headerSize >= 0 && headerSize < size + tableEntries * entryBytes) return ERROR_INV_PARAMETER;
    const qint64 stride = DibStride(width, bitCount);
    if (bitsSize < stride * height) return ERROR_CORRUPT_FILE;

    QImage image(int(width), int(height), ilib::FormatForBits(bitCount));
    if (image.isNull()) return ERROR_NO_MEMORY;
    if (bitCount <= 8) {
        QList<QRgb> table;
        const uint8_t* entry = header + size;
        for (qint64 i = 0; i < tableEntries; ++i, entry += entryBytes) table.append(qRgb(entry[2], entry[1], entry[0]));
        // Indices beyond a short table show black rather than reading past it.
        table.resize(qsizetype(1) << bitCount, qRgb(0, 0, 0));
        image.setColorTable(table);
    }
    for (qint64 y = 0; y < height; ++y) {
        const uint8_t* from = bits + stride * (topDown ? y : height - 1 - y);
        uint8_t* to = image.scanLine(int(y));
        switch (bitCount) {
        case 1:
            std::memcpy(to, from, size_t((width + 7) / 8));
            break;
        case 4:
            for (qint64 x = 0; x < width; ++x) to[x] = uint8_t(x % 2 == 0 ? from[x / 2] >> 4 : from[x / 2] & 15);
            break;
        case 8:
            std::memcpy(to, from, size_t(width));
            break;
        case 16:
            for (qint64 x = 0; x < width; ++x) {
                const uint16_t v = uint16_t(Le16(from + x * 2) & 0x7FFF);
                std::memcpy(to + x * 2, &v, 2);
            }
            break;
        case 24:
            for (qint64 x = 0; x < width; ++x) {
                to[x * 3] = from[x * 3 + 2];
                to[x * 3 + 1] = from[x * 3 + 1];
                to[x * 3 + 2] = from[x * 3];
            }
            break;
        case 32: {
            auto* out = reinterpret_cast<uint32_t*>(to);
            for (qint64 x = 0; x < width; ++x) out[x] = 0xFF000000u | (Le32(from + x * 4) & 0xFFFFFFu);
            break;
        }
        }
    }
    BITMAPHANDLE result;
    result.Image = std::move(image);
    result.BitsPerPixel = bitCount;
    result.XResolution = xDpi;
    result.YResolution = yDpi;
    result.SourceWidth = int(width);
    result.SourceHeight = int(height);
    *bitmap = std::move(result);
    return SUCCESS;
}

int L_ChangeFromDIB(pBITMAPHANDLE bitmap, QByteArray& dib) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (dib.size() < 4) return ERROR_INV_PARAMETER;
    const auto* data = reinterpret_cast<const uint8_t*>(dib.constData());
    const qint64 total = dib.size();
    const uint32_t size = Le32(data);
    qint64 headerBytes;
    if (size == CoreHeaderSize) {
        if (total < CoreHeaderSize) return ERROR_INV_PARAMETER;
        const int bitCount = Le16(data + 10);
        headerBytes = CoreHeaderSize + (bitCount <= 8 ? (qint64(1) << bitCount) * 3 : 0);
    } else if (size >= InfoHeaderSize && size <= 4096 && total >= size) {
        const int bitCount = Le16(data + 14);
        const uint32_t used = Le32(data + 32);
        const qint64 entries = bitCount <= 8 ? (used ? qint64(used) : qint64(1) << bitCount) : 0;
        headerBytes = size + entries * 4;
    } else {
        return ERROR_INV_PARAMETER;
    }
    if (headerBytes > total) return ERROR_CORRUPT_FILE;
    const int result = L_ConvertFromDIB(bitmap, data, data + headerBytes, total - headerBytes, headerBytes);
    if (result == SUCCESS) dib.clear();
    return result;
}

int L_ConvertFromDDB(pBITMAPHANDLE bitmap, const QImage& device) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (device.isNull()) return ERROR_NO_BITMAP;
    int bits;
    switch (device.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        bits = 1;
        break;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
        bits = 8;
        break;
    case QImage::Format_RGB555:
    case QImage::Format_RGB16:
        bits = 16;
        break;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        bits = 32;
        break;
    default:
        bits = 24;
        break;
    }
    return ilib::AdoptImage(*bitmap, device, bits, bits);
}
