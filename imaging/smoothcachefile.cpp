#include "imaging/smoothcachefile.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

qint32 Nearest(double x) {
    if (std::isnan(x)) return 0;
    if (x >= double(std::numeric_limits<qint32>::max())) return std::numeric_limits<qint32>::max();
    if (x <= double(std::numeric_limits<qint32>::min())) return std::numeric_limits<qint32>::min();
    const double down = std::floor(x);
    const double fraction = x - down;
    double r = fraction > 0.5 ? down + 1 : down;
    if (fraction == 0.5) r = std::fmod(down, 2.0) == 0.0 ? down : down + 1;
    return qint32(r);
}

namespace {

// The standard CRC-32 table (reflected polynomial 0xEDB88320) as the 1024
// bytes it occupies in memory, little-endian.
struct TCrcTableBytes {
    std::array<quint8, 1024> Bytes{};
    constexpr TCrcTableBytes() {
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            for (int b = 0; b < 4; ++b) Bytes[n * 4 + b] = quint8(c >> (8 * b));
        }
    }
};
constexpr TCrcTableBytes CrcTable;

// The word that starts at byte I of the table: the key hash indexes bytes,
// not words, and the sets on existing discs are named that way.
quint32 TableWordAtByte(quint8 i) {
    return quint32(CrcTable.Bytes[i]) | quint32(CrcTable.Bytes[i + 1]) << 8 |
           quint32(CrcTable.Bytes[i + 2]) << 16 | quint32(CrcTable.Bytes[i + 3]) << 24;
}

// Header field offsets.
constexpr int OffHeight = 0;
constexpr int OffSize = 4;
constexpr int OffPixelsPerInch = 8;
constexpr int OffName = 12;
constexpr int OffStyle = 113;
constexpr int OffPitch = 114;
constexpr int OffAltitude = 116;
constexpr int OffBorderHeight = 120;
constexpr int OffShadowColor = 124;
constexpr int OffViewDirection = 128;
constexpr int OffOverlap = 132;
constexpr int OffShadowStyle = 136;
constexpr int OffSite = 137;
constexpr int OffWidths = 140;
constexpr int OffHeights = 1164;
static_assert(OffHeights + GlyphCodeCount * 4 == HeaderRecordSize);

constexpr qint32 MaxPixelsPerInch = 10000;
constexpr qint32 MaxPointSize = 100000;

void PutInt(QByteArray& bytes, int offset, qint32 value) {
    qToLittleEndian<qint32>(value, bytes.data() + offset);
}

qint32 GetInt(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

quint8 GetByte(const QByteArray& bytes, int offset) { return quint8(bytes[offset]); }

// Name cut to at most Max bytes without splitting a UTF-8 sequence.
QByteArray CutUtf8(QByteArray name, int max) {
    if (name.size() <= max) return name;
    int cut = max;
    while (cut > 0 && (quint8(name[cut]) & 0xC0) == 0x80) --cut;
    name.truncate(cut);
    return name;
}

} // namespace

// ---- identity ----------------------------------------------------------------

TSmoothFontRecord TSmoothFontRecord::FromFont(const QFont& font, int pixelsPerInch) {
    TSmoothFontRecord r;
    r.PixelsPerInch = std::clamp(pixelsPerInch, 1, int(MaxPixelsPerInch));
    int pixels;
    if (font.pixelSize() > 0) {
        pixels = font.pixelSize();
        r.Size = Nearest(pixels * 72.0 / r.PixelsPerInch);
    } else {
        const double points = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
        pixels = Nearest(points * r.PixelsPerInch / 72.0);
        r.Size = Nearest(points);
    }
    r.Height = -std::clamp(pixels, 1, MaxSmoothFontPixels);
    r.Size = std::clamp(r.Size, 0, int(MaxPointSize));
    r.Name = CutUtf8(font.family().toUtf8(), FontNameMaxBytes);
    r.Style = (font.bold() ? FontStyleBold : 0) | (font.italic() ? FontStyleItalic : 0) |
              (font.underline() ? FontStyleUnderline : 0) | (font.strikeOut() ? FontStyleStrikeOut : 0);
    r.Pitch = font.fixedPitch() ? FontPitchFixed : FontPitchDefault;
    return r;
}

int TSmoothFontRecord::PixelHeight() const {
    int pixels;
    if (Height < 0) pixels = Height == std::numeric_limits<qint32>::min() ? MaxSmoothFontPixels : -Height;
    else if (Height > 0) pixels = Height;
    else pixels = Nearest(double(Size) * std::max(1, PixelsPerInch) / 72.0);
    return std::clamp(pixels, 1, MaxSmoothFontPixels);
}

QFont TSmoothFontRecord::ToFont(int scale) const {
    QFont f(QString::fromUtf8(Name));
    f.setPixelSize(PixelHeight() * std::max(1, scale));
    f.setBold(Style & FontStyleBold);
    f.setItalic(Style & FontStyleItalic);
    f.setUnderline(Style & FontStyleUnderline);
    f.setStrikeOut(Style & FontStyleStrikeOut);
    f.setFixedPitch(Pitch == FontPitchFixed);
    // Outlines are averaged down from a large size; the measures used for
    // the cells come from the same font unhinted, so both agree.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

TSmoothStyleKey TSmoothStyleKey::From(const TFont3DValues& values) {
    TSmoothStyleKey k;
    k.Altitude100 = Nearest(values.Altitude * 100);
    k.BorderHeight100 = Nearest(values.BorderHeight * 100);
    k.ShadowColor = values.ShadowColor;
    k.ViewDirection = values.ViewDirection;
    k.ShadowStyle = quint8(values.ShadowStyle);
    k.Site = quint8(values.Site);
    return k;
}

void TSmoothStyleKey::ApplyTo(TFont3DValues& values) const {
    values.Altitude = Altitude100 / 100.0;
    values.BorderHeight = BorderHeight100 / 100.0;
    values.ShadowColor = ShadowColor;
    values.ViewDirection = quint16(ViewDirection);
    values.ShadowStyle = TSmoothFontShadowStyle(ShadowStyle);
    values.Site = TSmoothFontSite(Site);
}

TSmoothFontRecord FontRecordAtRatio(const TSmoothFontRecord& font, qreal ratio) {
    if (ratio <= 1.0) return font;
    TSmoothFontRecord r = font;
    r.PixelsPerInch = std::clamp(Nearest(font.PixelsPerInch * ratio), 1, int(MaxPixelsPerInch));
    r.Height = -std::clamp(Nearest(font.PixelHeight() * ratio), 1, MaxSmoothFontPixels);
    return r;
}

TFont3DValues StyleAtRatio(const TFont3DValues& style, qreal ratio) {
    if (ratio <= 1.0) return style;
    TFont3DValues s = style;
    s.Altitude = style.Altitude * ratio;
    s.BorderHeight = style.BorderHeight * ratio;
    s.CharacterMargin = Nearest(style.CharacterMargin * ratio);
    s.VerticalMargin = Nearest(style.VerticalMargin * ratio);
    return s;
}

QByteArray CacheKeyText(const TSmoothFontRecord& font, const TSmoothStyleKey& style) {
    QByteArray key;
    key += QByteArray::number(int(font.Style));
    key += QByteArray::number(int(font.Pitch & 0x7F));
    key += QByteArray::number(font.Size);
    key += QByteArray::number(font.Height);
    key += QByteArray::number(style.Altitude100);
    key += QByteArray::number(style.BorderHeight100);
    key += QByteArray::number(qint64(style.ShadowColor) * 100);
    key += QByteArray::number(qint64(style.ViewDirection) * 100);
    key += QByteArray::number(int(style.ShadowStyle));
    key += QByteArray::number(int(style.Site));
    key += font.Name;
    return key;
}

quint32 CacheKeyHash(const QByteArray& bytes) {
    quint32 value = 0xFFFFFFFFu;
    for (const char c : bytes) {
        const quint8 i = quint8(value & 0xFF) ^ quint8(c);
        value = (value >> 8) ^ TableWordAtByte(i);
    }
    return ~value;
}

QString CacheFileStem(const TSmoothFontRecord& font, const TSmoothStyleKey& style) {
    return QString::number(qint32(CacheKeyHash(CacheKeyText(font, style))));
}

// ---- files -------------------------------------------------------------------

QByteArray EncodeCacheHeader(const TSmoothCacheRecord& record) {
    QByteArray bytes(HeaderRecordSize, '\0');
    PutInt(bytes, OffHeight, record.Font.Height);
    PutInt(bytes, OffSize, record.Font.Size);
    PutInt(bytes, OffPixelsPerInch, record.Font.PixelsPerInch);
    const QByteArray name = CutUtf8(record.Font.Name, FontNameMaxBytes);
    bytes[OffName] = char(name.size());
    std::memcpy(bytes.data() + OffName + 1, name.constData(), size_t(name.size()));
    bytes[OffStyle] = char(record.Font.Style);
    bytes[OffPitch] = char(record.Font.Pitch);
    PutInt(bytes, OffAltitude, record.Style.Altitude100);
    PutInt(bytes, OffBorderHeight, record.Style.BorderHeight100);
    PutInt(bytes, OffShadowColor, record.Style.ShadowColor);
    PutInt(bytes, OffViewDirection, record.Style.ViewDirection);
    PutInt(bytes, OffOverlap, record.Overlap);
    bytes[OffShadowStyle] = char(record.Style.ShadowStyle);
    bytes[OffSite] = char(record.Style.Site);
    for (int c = 0; c < GlyphCodeCount; ++c) {
        const TSmoothGlyph& g = record.Glyphs[c];
        PutInt(bytes, OffWidths + 4 * c, g.Rendered() ? g.Width : -1);
        PutInt(bytes, OffHeights + 4 * c, g.Rendered() ? g.Height : -1);
    }
    return bytes;
}

QByteArray EncodeCacheData(const TSmoothCacheRecord& record) {
    QByteArray bytes;
    bytes.reserve(qsizetype(ExpectedCacheDataSize(record)));
    for (const TSmoothGlyph& g : record.Glyphs) {
        if (!g.Rendered()) continue;
        bytes.append(reinterpret_cast<const char*>(g.Pixels.data()), qsizetype(g.Bytes()));
    }
    return bytes;
}

bool DecodeCacheHeader(const QByteArray& bytes, TSmoothCacheRecord& record) {
    if (bytes.size() != HeaderRecordSize) return false;
    TSmoothCacheRecord r;
    r.Font.Height = GetInt(bytes, OffHeight);
    r.Font.Size = GetInt(bytes, OffSize);
    r.Font.PixelsPerInch = GetInt(bytes, OffPixelsPerInch);
    const int nameLength = GetByte(bytes, OffName);
    if (nameLength > FontNameMaxBytes) return false;
    r.Font.Name = bytes.mid(OffName + 1, nameLength);
    r.Font.Style = GetByte(bytes, OffStyle);
    r.Font.Pitch = GetByte(bytes, OffPitch);
    r.Style.Altitude100 = GetInt(bytes, OffAltitude);
    r.Style.BorderHeight100 = GetInt(bytes, OffBorderHeight);
    r.Style.ShadowColor = GetInt(bytes, OffShadowColor);
    r.Style.ViewDirection = GetInt(bytes, OffViewDirection);
    r.Overlap = GetInt(bytes, OffOverlap);
    r.Style.ShadowStyle = GetByte(bytes, OffShadowStyle);
    r.Style.Site = GetByte(bytes, OffSite);

    const qint32 maxDepth100 = qint32(MaxFont3DDepth * 100);
    if (r.Font.Style > 15 || r.Font.Pitch > FontPitchFixed) return false;
    if (r.Font.Height < -MaxSmoothFontPixels || r.Font.Height > MaxSmoothFontPixels) return false;
    if (r.Font.Size < 0 || r.Font.Size > MaxPointSize) return false;
    if (r.Font.PixelsPerInch < 1 || r.Font.PixelsPerInch > MaxPixelsPerInch) return false;
    if (std::abs(r.Style.Altitude100) > maxDepth100 || std::abs(r.Style.BorderHeight100) > maxDepth100) return false;
    if (r.Style.ShadowColor < 0 || r.Style.ShadowColor > 255) return false;
    if (r.Style.ViewDirection < 0 || r.Style.ViewDirection > 65535) return false;
    if (r.Style.ShadowStyle > sfssSharp || r.Style.Site > sfpRaised) return false;
    if (r.Overlap > 0 || r.Overlap < -MaxGlyphSide) return false;

    qint64 total = 0;
    qint32 commonHeight = -1;
    for (int c = 0; c < GlyphCodeCount; ++c) {
        const qint32 w = GetInt(bytes, OffWidths + 4 * c);
        const qint32 h = GetInt(bytes, OffHeights + 4 * c);
        if (w == -1 && h == -1) continue;
        if (w < 1 || h < 1 || w > MaxGlyphSide || h > MaxGlyphSide) return false;
        // All cells of a set are as high as the font's line.
        if (commonHeight >= 0 && h != commonHeight) return false;
        commonHeight = h;
        r.Glyphs[c].Width = w;
        r.Glyphs[c].Height = h;
        total += qint64(w) * h * 3;
        if (total > MaxSetDataBytes) return false;
    }
    record = std::move(r);
    return true;
}

qint64 ExpectedCacheDataSize(const TSmoothCacheRecord& record) {
    qint64 total = 0;
    for (const TSmoothGlyph& g : record.Glyphs) total += g.Bytes();
    return total;
}

bool DecodeCacheData(const QByteArray& bytes, TSmoothCacheRecord& record) {
    if (qint64(bytes.size()) != ExpectedCacheDataSize(record)) return false;
    const quint8* p = reinterpret_cast<const quint8*>(bytes.constData());
    for (TSmoothGlyph& g : record.Glyphs) {
        if (!g.Rendered()) continue;
        g.Pixels.assign(p, p + g.Bytes());
        p += g.Bytes();
    }
    return true;
}
