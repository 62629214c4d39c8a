// Pixel operations of the facade: resampling, quarter turns and free
// rotation, mirroring, copies and colour-resolution changes.
#include "imaging/ilibint.h"
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace ilib {

QImage::Format FormatForBits(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1:
        return QImage::Format_Mono;
    case 4:
    case 8:
        return QImage::Format_Indexed8;
    case 16:
        return QImage::Format_RGB555;
    case 24:
        return QImage::Format_RGB888;
    case 32:
        return QImage::Format_RGB32;
    default:
        return QImage::Format_Invalid;
    }
}

bool IsGreyTable(const QList<QRgb>& table) {
    if (table.isEmpty()) return false;
    return std::all_of(table.begin(), table.end(),
                       [](QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); });
}

const QList<QRgb>& FixedPalette() {
    static const QList<QRgb> palette = [] {
        static constexpr int RedGreen[8] = {0, 36, 73, 109, 146, 182, 219, 255};
        static constexpr int Blue[4] = {0, 85, 170, 255};
        QList<QRgb> table;
        table.reserve(256);
        for (int r = 0; r < 8; ++r)
            for (int g = 0; g < 8; ++g)
                for (int b = 0; b < 4; ++b) table.append(qRgb(RedGreen[r], RedGreen[g], Blue[b]));
        return table;
    }();
    return palette;
}

namespace {

// The 16 colours of the classic VGA palette, for 4-bit colour pictures.
const QList<QRgb>& SixteenColours() {
    static const QList<QRgb> table = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    return table;
}

const QList<QRgb>& SixteenGreys() {
    static const QList<QRgb> table = [] {
        QList<QRgb> t;
        for (int i = 0; i < 16; ++i) t.append(qRgb(i * 17, i * 17, i * 17));
        return t;
    }();
    return table;
}

bool IsIndexed(const QImage& image) {
    const QImage::Format f = image.format();
    return f == QImage::Format_Indexed8 || f == QImage::Format_Mono || f == QImage::Format_MonoLSB;
}

bool IsGreyImage(const QImage& image) {
    if (image.format() == QImage::Format_Grayscale8) return true;
    return IsIndexed(image) && IsGreyTable(image.colorTable());
}

// Transparent parts are shown on white: the held formats carry no alpha.
QImage Flatten(const QImage& image) {
    if (!image.hasAlphaChannel()) return image;
    if (image.format() == QImage::Format_Indexed8) {
        QImage flat = image;
        QList<QRgb> table = flat.colorTable();
        for (QRgb& c : table) {
            const int a = qAlpha(c);
            if (a == 255) continue;
            auto over = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
            c = qRgb(over(qRed(c)), over(qGreen(c)), over(qBlue(c)));
        }
        flat.setColorTable(table);
        return flat;
    }
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull()) return flat;
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    flat.setDotsPerMeterX(image.dotsPerMeterX());
    flat.setDotsPerMeterY(image.dotsPerMeterY());
    return flat;
}

// Nearest SharedPalette entry per channel, without dithering, so a colour of
// the palette maps onto its own index.
QImage ToFixedPalette(const QImage& image) {
    const QImage rgb = image.format() == QImage::Format_RGB888 ? image
                                                                : image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) return {};
    uint8_t red[256], green[256], blue[256];
    for (int v = 0; v < 256; ++v) {
        red[v] = uint8_t(((v * 7 + 127) / 255) * 32);
        green[v] = uint8_t(((v * 7 + 127) / 255) * 4);
        blue[v] = uint8_t((v + 42) / 85);
    }
    QImage out(rgb.width(), rgb.height(), QImage::Format_Indexed8);
    if (out.isNull()) return out;
    out.setColorTable(FixedPalette());
    for (int y = 0; y < rgb.height(); ++y) {
        const uint8_t* from = rgb.constScanLine(y);
        uint8_t* to = out.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x, from += 3)
            to[x] = uint8_t(red[from[0]] + green[from[1]] + blue[from[2]]);
    }
    return out;
}

// Image converted to the held format for Bits; sets Held to the bits it holds.
QImage ConvertImage(const QImage& source, int bits, int flags, bool explicitDepth) {
    const QImage image = Flatten(source);
    if (image.isNull()) return {};
    switch (bits) {
    case 1:
        if (image.format() == QImage::Format_Mono) return image;
        return image.convertToFormat(QImage::Format_Mono, Qt::DiffuseDither);
    case 4: {
        if (image.format() == QImage::Format_Indexed8 && image.colorCount() <= 16) return image;
        if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
            return image.convertToFormat(QImage::Format_Indexed8);
        const QList<QRgb>& table = IsGreyImage(image) ? SixteenGreys() : SixteenColours();
        return image.convertToFormat(QImage::Format_Indexed8, table, Qt::DiffuseDither);
    }
    case 8:
        if (flags & CRF_FIXEDPALETTE) {
            if (image.format() == QImage::Format_Indexed8 && image.colorTable() == FixedPalette())
                return image;
            return ToFixedPalette(image);
        }
        if (image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Indexed8)
            return image;
        if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
            return image.convertToFormat(QImage::Format_Indexed8);
        if (image.allGray()) return image.convertToFormat(QImage::Format_Grayscale8);
        // A true-colour picture asked at 8 bits by a load goes to the shared palette.
        if (explicitDepth) return ToFixedPalette(image);
        return image.convertToFormat(QImage::Format_Indexed8);
    case 16:
        return image.convertToFormat(QImage::Format_RGB555);
    case 24:
        return image.convertToFormat(QImage::Format_RGB888);
    case 32:
        return image.convertToFormat(QImage::Format_RGB32);
    default:
        return {};
    }
}

// The bits a picture of the given file depth is held at.
int HeldBits(int ownBits) {
    if (ownBits <= 1) return 1;
    if (ownBits <= 4) return 4;
    if (ownBits <= 8) return 8;
    if (ownBits <= 16) return 16;
    if (ownBits == 32) return 32;
    return 24;
}

// ---- resampling ----------------------------------------------------------
constexpr int WeightBits = 14;
constexpr int One = 1 << WeightBits;

// For each output position: the first source index and the weights of the
// source pixels it takes (summing exactly to One).
struct TTaps {
    std::vector<int> Start, Count, Offset;
    std::vector<int32_t> Weights;
};

TTaps MakeTaps(int sourceLength, int length) {
    TTaps taps;
    taps.Start.resize(size_t(length));
    taps.Count.resize(size_t(length));
    taps.Offset.resize(size_t(length));
    const qint64 src = sourceLength, dst = length;
    for (int i = 0; i < length; ++i) {
        taps.Offset[size_t(i)] = int(taps.Weights.size());
        if (dst < src) {
            // Box filter with fractional coverage: output i covers source
            // [i*src, (i+1)*src) in units where a source pixel is dst wide.
            const qint64 from = i * src, to = (i + 1) * src;
            const int first = int(from / dst), last = int((to - 1) / dst);
            int sum = 0, biggest = 0;
            for (int j = first; j <= last; ++j) {
                const qint64 overlap = std::min<qint64>((j + 1) * dst, to) - std::max<qint64>(j * dst, from);
                const int w = int((overlap * One + src / 2) / src);
                taps.Weights.push_back(w);
                sum += w;
                if (w > taps.Weights[size_t(taps.Offset[size_t(i)] + biggest)])
                    biggest = j - first;
            }
            taps.Weights[size_t(taps.Offset[size_t(i)] + biggest)] += One - sum;
            taps.Start[size_t(i)] = first;
            taps.Count[size_t(i)] = last - first + 1;
        } else {
            // Bilinear between the two nearest source pixel centres.
            const qint64 num = (2 * i + 1) * src - dst, den = 2 * dst;
            if (num <= 0 || src == 1) {
                taps.Start[size_t(i)] = 0;
                taps.Count[size_t(i)] = 1;
                taps.Weights.push_back(One);
                continue;
            }
            const qint64 j0 = num / den;
            if (j0 >= src - 1) {
                taps.Start[size_t(i)] = int(src - 1);
                taps.Count[size_t(i)] = 1;
                taps.Weights.push_back(One);
                continue;
            }
            const int frac = int(((num - j0 * den) * One + den / 2) / den);
            taps.Start[size_t(i)] = int(j0);
            taps.Count[size_t(i)] = 2;
            taps.Weights.push_back(One - frac);
            taps.Weights.push_back(frac);
        }
    }
    return taps;
}

// Separable, one output row at a time: down the columns first (contiguous,
// so the compiler vectorises it) into 16-bit values with 8 fraction bits, then
// across that single row. Channels is the number of bytes per pixel (1, 3, 4).
template <int Channels>
#if defined(__GNUC__) && !defined(__clang__)
// The column sums are the thumbnail hot path; -O2 alone leaves them scalar.
__attribute__((optimize("tree-vectorize")))
#endif
int ResampleChannels(const QImage& source, QImage& out, int width, int height) {
    const int srcWidth = source.width(), srcHeight = source.height();
    const TTaps across = MakeTaps(srcWidth, width);
    const TTaps down = MakeTaps(srcHeight, height);
    const size_t sourceValues = size_t(srcWidth) * Channels;
    std::vector<uint32_t> acc(sourceValues);
    std::vector<uint16_t> middle(sourceValues);
    const bool report = qint64(srcWidth) * srcHeight > 4000000;
    for (int y = 0; y < height; ++y) {
        std::fill(acc.begin(), acc.end(), 0u);
        const int32_t* w = down.Weights.data() + down.Offset[size_t(y)];
        const int first = down.Start[size_t(y)];
        for (int t = 0; t < down.Count[size_t(y)]; ++t) {
            const uint8_t* from = source.constScanLine(first + t);
            const uint32_t weight = uint32_t(w[t]);
            uint32_t* a = acc.data();
            for (size_t k = 0; k < sourceValues; ++k) a[k] += weight * from[k];
        }
        for (size_t k = 0; k < sourceValues; ++k) middle[k] = uint16_t((acc[k] + (1u << 5)) >> 6);
        uint8_t* to = out.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int32_t* wx = across.Weights.data() + across.Offset[size_t(x)];
            const uint16_t* p = middle.data() + size_t(across.Start[size_t(x)]) * Channels;
            const int count = across.Count[size_t(x)];
            uint32_t sum[Channels] = {};
            for (int t = 0; t < count; ++t, p += Channels)
                for (int c = 0; c < Channels; ++c) sum[c] += uint32_t(wx[t]) * p[c];
            for (int c = 0; c < Channels; ++c)
                to[size_t(x) * Channels + size_t(c)] = uint8_t(std::min<uint32_t>((sum[c] + (1u << 21)) >> 22, 255));
        }
        if (report && (y % RowBatch == RowBatch - 1 || y == height - 1)) {
            const int result = ReportStatus(int(qint64(y + 1) * 100 / height));
            if (result != SUCCESS) return result;
        }
    }
    return SUCCESS;
}

template <int Bytes>
void TurnQuarter(const QImage& source, QImage& out, bool clockwise) {
    const int w = source.width(), h = source.height();
    const qsizetype outStride = out.bytesPerLine();
    uint8_t* outBits = out.bits();
    for (int y = 0; y < h; ++y) {
        const uint8_t* from = source.constScanLine(y);
        for (int x = 0; x < w; ++x, from += Bytes) {
            // Clockwise: (x, y) goes to (h-1-y, x); counter-clockwise to (y, w-1-x).
            const int nx = clockwise ? h - 1 - y : y;
            const int ny = clockwise ? x : w - 1 - x;
            std::memcpy(outBits + qsizetype(ny) * outStride + qsizetype(nx) * Bytes, from, Bytes);
        }
    }
}

QImage QuarterTurn(const QImage& source, bool clockwise) {
    if (source.format() == QImage::Format_Mono || source.format() == QImage::Format_MonoLSB) {
        const QImage wide = source.convertToFormat(QImage::Format_Indexed8);
        const QImage turned = QuarterTurn(wide, clockwise);
        return turned.convertToFormat(QImage::Format_Mono, source.colorTable(), Qt::ThresholdDither);
    }
    QImage out(source.height(), source.width(), source.format());
    if (out.isNull()) return out;
    out.setColorTable(source.colorTable());
    out.setDotsPerMeterX(source.dotsPerMeterY());
    out.setDotsPerMeterY(source.dotsPerMeterX());
    switch (source.depth()) {
    case 8:
        TurnQuarter<1>(source, out, clockwise);
        break;
    case 16:
        TurnQuarter<2>(source, out, clockwise);
        break;
    case 24:
        TurnQuarter<3>(source, out, clockwise);
        break;
    case 32:
        TurnQuarter<4>(source, out, clockwise);
        break;
    default:
        return QImage();
    }
    return out;
}

int ScaleSide(int sourceSide, int part, int whole) {
    if (whole <= 0 || sourceSide <= 0) return part;
    return int((qint64(sourceSide) * part + whole / 2) / whole);
}

}  // namespace

int AdoptImage(BITMAPHANDLE& bitmap, QImage image, int bitsPerPixel, int ownBits) {
    if (image.isNull()) return ERROR_CORRUPT_FILE;
    // Grey deeper than 8 bits (16-bit PNG and TIFF) is held as 8-bit grey;
    // by its depth alone it would land in RGB555, with 32 levels of grey.
    const bool deepGrey = image.format() == QImage::Format_Grayscale16 ||
                          (image.format() == QImage::Format_Grayscale8 && ownBits > 8);
    const int bits = bitsPerPixel != 0 ? bitsPerPixel
                     : deepGrey        ? 8
                                       : HeldBits(ownBits > 0 ? ownBits : image.depth());
    QImage held = ConvertImage(image, bits, 0, bitsPerPixel != 0);
    if (held.isNull()) return ERROR_NO_MEMORY;
    bitmap = BITMAPHANDLE();
    bitmap.XResolution = int(std::lround(image.dotsPerMeterX() * 0.0254));
    bitmap.YResolution = int(std::lround(image.dotsPerMeterY() * 0.0254));
    bitmap.SourceWidth = image.width();
    bitmap.SourceHeight = image.height();
    bitmap.BitsPerPixel = bits;
    bitmap.Image = std::move(held);
    return SUCCESS;
}

// The palette is a cube of 8 red, 8 green and 4 blue levels, so dithering to
// it is dithering each channel to its own evenly spaced levels.
QImage DitherToFixedPalette(const QImage& image, bool ordered) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) return {};
    QImage out(rgb.width(), rgb.height(), QImage::Format_Indexed8);
    if (out.isNull()) return out;
    out.setColorTable(FixedPalette());
    const int width = rgb.width();
    static constexpr int Levels[3] = {8, 8, 4};
    static constexpr int Weights[3] = {32, 4, 1};
    // Bayer 4 x 4 thresholds, centred on 0, in 1/16 of a level step.
    static constexpr int Bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    // Error rows for Floyd-Steinberg, in 1/16 units of channel value, with a
    // guard column at each end.
    std::vector<int> current(size_t(width + 2) * 3, 0), next(size_t(width + 2) * 3, 0);
    for (int y = 0; y < rgb.height(); ++y) {
        const uint8_t* from = rgb.constScanLine(y);
        uint8_t* to = out.scanLine(y);
        std::fill(next.begin(), next.end(), 0);
        for (int x = 0; x < width; ++x) {
            int index = 0;
            for (int c = 0; c < 3; ++c) {
                const int steps = Levels[c] - 1;
                int value = from[x * 3 + c] * 16;  // 1/16 units
                int level;
                if (ordered) {
                    // value / 255 * steps, nudged by the threshold of this pixel
                    const int scaled = value * steps / 255 + Bayer[y & 3][x & 3] - 8;
                    level = std::clamp((scaled + 8) / 16, 0, steps);
                } else {
                    value += current[size_t(x + 1) * 3 + c];
                    level = std::clamp((value * steps / 255 + 8) / 16, 0, steps);
                    const int error = value - level * 255 * 16 / steps;
                    current[size_t(x + 2) * 3 + c] += error * 7 / 16;
                    next[size_t(x) * 3 + c] += error * 3 / 16;
                    next[size_t(x + 1) * 3 + c] += error * 5 / 16;
                    next[size_t(x + 2) * 3 + c] += error / 16;
                }
                index += level * Weights[c];
            }
            to[x] = uint8_t(index);
        }
        std::swap(current, next);
    }
    return out;
}

}  // namespace ilib

using namespace ilib;

int L_ResampleBitmap(pBITMAPHANDLE bitmap, int width, int height) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    if (width <= 0 || height <= 0) return ERROR_INV_PARAMETER;
    if (width > MaxPictureSide || height > MaxPictureSide || qint64(width) * height > MaxPicturePixels)
        return ERROR_IMAGE_TOO_LARGE;
    QImage source = bitmap->Image;
    int bits = bitmap->BitsPerPixel;
    // Averaging makes new colours: paletted and 16-bit pictures become 24-bit
    // (grey palettes 8-bit grey).
    switch (source.format()) {
    case QImage::Format_RGB888:
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB32:
        break;
    default:
        if (IsGreyImage(source)) {
            source = source.convertToFormat(QImage::Format_Grayscale8);
            bits = 8;
        } else {
            source = Flatten(source).convertToFormat(QImage::Format_RGB888);
            bits = 24;
        }
        if (source.isNull()) return ERROR_NO_MEMORY;
    }
    if (width == source.width() && height == source.height()) {
        bitmap->Image = source;
        bitmap->BitsPerPixel = bits;
        return SUCCESS;
    }
    QImage out(width, height, source.format());
    if (out.isNull()) return ERROR_NO_MEMORY;
    int result = ERROR_IMAGE_TYPE;
    try {
        switch (source.format()) {
        case QImage::Format_Grayscale8:
            result = ResampleChannels<1>(source, out, width, height);
            break;
        case QImage::Format_RGB888:
            result = ResampleChannels<3>(source, out, width, height);
            break;
        default:
            result = ResampleChannels<4>(source, out, width, height);
            break;
        }
    } catch (const std::bad_alloc&) {
        return ERROR_NO_MEMORY;
    }
    if (result != SUCCESS) return result;
    out.setDotsPerMeterX(source.dotsPerMeterX());
    out.setDotsPerMeterY(source.dotsPerMeterY());
    bitmap->Image = std::move(out);
    bitmap->BitsPerPixel = bits;
    return SUCCESS;
}

int L_RotateBitmap(pBITMAPHANDLE bitmap, int angle, int flags) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    const int turn = ((angle % 360) + 360) % 360;
    if (turn == 0) return SUCCESS;
    if (turn == 180) {
        bitmap->Image = std::move(bitmap->Image).mirrored(true, true);
        return bitmap->Image.isNull() ? ERROR_NO_MEMORY : SUCCESS;
    }
    if (turn == 90 || turn == 270) {
        QImage turned = QuarterTurn(bitmap->Image, turn == 90);
        if (turned.isNull()) return ERROR_NO_MEMORY;
        bitmap->Image = std::move(turned);
        std::swap(bitmap->XResolution, bitmap->YResolution);
        std::swap(bitmap->SourceWidth, bitmap->SourceHeight);
        return SUCCESS;
    }
    // Free angles: smooth rotation on white; flag 1 enlarges the frame to hold
    // the whole turned picture, otherwise the centre keeps the old size.
    const QImage& source = bitmap->Image;
    QImage argb = Flatten(source).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (argb.isNull()) return ERROR_NO_MEMORY;
    const QImage rotated = argb.transformed(QTransform().rotate(turn), Qt::SmoothTransformation);
    if (rotated.isNull()) return ERROR_NO_MEMORY;
    const QSize frame = (flags & 1) ? rotated.size() : source.size();
    QImage canvas(frame, QImage::Format_RGB32);
    if (canvas.isNull()) return ERROR_NO_MEMORY;
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.drawImage((frame.width() - rotated.width()) / 2, (frame.height() - rotated.height()) / 2,
                          rotated);
    }
    const int bits = bitmap->BitsPerPixel <= 8 ? 24 : bitmap->BitsPerPixel;
    QImage held = ConvertImage(canvas, bits, 0, false);
    if (held.isNull()) return ERROR_NO_MEMORY;
    bitmap->SourceWidth = ScaleSide(bitmap->SourceWidth, frame.width(), source.width());
    bitmap->SourceHeight = ScaleSide(bitmap->SourceHeight, frame.height(), source.height());
    held.setDotsPerMeterX(source.dotsPerMeterX());
    held.setDotsPerMeterY(source.dotsPerMeterY());
    bitmap->Image = std::move(held);
    bitmap->BitsPerPixel = bits;
    return SUCCESS;
}

int L_FlipBitmap(pBITMAPHANDLE bitmap) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    bitmap->Image = std::move(bitmap->Image).mirrored(false, true);
    return bitmap->Image.isNull() ? ERROR_NO_MEMORY : SUCCESS;
}

int L_ReverseBitmap(pBITMAPHANDLE bitmap) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    bitmap->Image = std::move(bitmap->Image).mirrored(true, false);
    return bitmap->Image.isNull() ? ERROR_NO_MEMORY : SUCCESS;
}

int L_CopyBitmap(pBITMAPHANDLE destination, const BITMAPHANDLE* source) {
    if (!destination || !source) return ERROR_INV_PARAMETER;
    if (!source->IsAllocated()) return ERROR_NO_BITMAP;
    BITMAPHANDLE copy = *source;
    copy.Image = source->Image.copy();
    if (copy.Image.isNull()) return ERROR_NO_MEMORY;
    copy.Accessed = 0;
    *destination = std::move(copy);
    return SUCCESS;
}

int L_CopyBitmapRect(pBITMAPHANDLE destination, const BITMAPHANDLE* source, int left, int top, int width,
                     int height) {
    if (!destination || !source) return ERROR_INV_PARAMETER;
    if (!source->IsAllocated()) return ERROR_NO_BITMAP;
    if (width <= 0 || height <= 0) return ERROR_INV_RANGE;
    const QRect area = QRect(left, top, width, height).intersected(source->Image.rect());
    if (area.isEmpty()) return ERROR_INV_RANGE;
    BITMAPHANDLE copy;
    copy.Image = source->Image.copy(area);
    if (copy.Image.isNull()) return ERROR_NO_MEMORY;
    copy.BitsPerPixel = source->BitsPerPixel;
    copy.XResolution = source->XResolution;
    copy.YResolution = source->YResolution;
    copy.SourceWidth = ScaleSide(source->SourceWidth, area.width(), source->Width());
    copy.SourceHeight = ScaleSide(source->SourceHeight, area.height(), source->Height());
    *destination = std::move(copy);
    return SUCCESS;
}

int L_ColorResBitmap(const BITMAPHANDLE* source, pBITMAPHANDLE destination, int bitsPerPixel, int flags,
                     void*, void*, int, void*) {
    if (!source || !destination) return ERROR_INV_PARAMETER;
    if (!source->IsAllocated()) return ERROR_NO_BITMAP;
    if (FormatForBits(bitsPerPixel) == QImage::Format_Invalid) return ERROR_BITPERPIXEL;
    QImage converted = ConvertImage(source->Image, bitsPerPixel, flags, true);
    if (converted.isNull()) return ERROR_NO_MEMORY;
    if (converted.constBits() == source->Image.constBits()) converted = converted.copy();
    BITMAPHANDLE result;
    result.Image = std::move(converted);
    result.BitsPerPixel = bitsPerPixel;
    result.XResolution = source->XResolution;
    result.YResolution = source->YResolution;
    result.SourceWidth = source->SourceWidth;
    result.SourceHeight = source->SourceHeight;
    *destination = std::move(result);
    return SUCCESS;
}
