#pragma once
// The identity of a 3D glyph set (font and style), its key number, and the
// byte layout of its two disk cache files: N.Hdr (one 2188-byte record,
// little-endian) and N.Dat (the pixels of every rendered glyph, codes 0..255
// in order). Decoding checks every size before it touches a byte, so a short,
// overlong or lying file is refused as a whole and the set is rendered afresh.
#include "imaging/font3d.h"

#include <QByteArray>
#include <QFont>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

// x rounded to the nearest integer, a half going to the even neighbour.
// Values beyond the 32-bit range saturate.
qint32 Nearest(double x);

// Fonts are rendered at most this many pixels high; larger requests are
// drawn at this size.
constexpr int MaxSmoothFontPixels = 800;
// No glyph cell is wider or higher than this; a file claiming more is damaged.
constexpr int MaxGlyphSide = 2048;
// The pixels of one set's glyphs on disk are refused above this many bytes.
constexpr qint64 MaxSetDataBytes = qint64(64) << 20;

constexpr int GlyphCodeCount = 256;
constexpr int HeaderRecordSize = 2188;
constexpr int FontNameMaxBytes = 100;

// Font style bits as the header stores them.
constexpr quint8 FontStyleBold = 1;
constexpr quint8 FontStyleItalic = 2;
constexpr quint8 FontStyleUnderline = 4;
constexpr quint8 FontStyleStrikeOut = 8;

// Font pitch as the header stores it.
constexpr quint8 FontPitchDefault = 0;
constexpr quint8 FontPitchVariable = 1;
constexpr quint8 FontPitchFixed = 2;

// The font half of a set's identity.
struct TSmoothFontRecord {
    qint32 Height = 0;          // negative: the character height in pixels
    qint32 Size = 0;            // points
    qint32 PixelsPerInch = 96;
    QByteArray Name;            // UTF-8, at most FontNameMaxBytes
    quint8 Style = 0;           // FontStyle* bits
    quint8 Pitch = FontPitchDefault;

    // Font as a label holds it, on a device of PixelsPerInch.
    static TSmoothFontRecord FromFont(const QFont& font, int pixelsPerInch);
    // Character height in pixels (1..MaxSmoothFontPixels).
    int PixelHeight() const;
    // The font to render with, sized in pixels (times Scale).
    QFont ToFont(int scale = 1) const;

    bool operator==(const TSmoothFontRecord&) const = default;
};

// The 3D half of a set's identity: the values that change the glyph pixels.
// Colours, margins, gradient and texture are applied while drawing.
struct TSmoothStyleKey {
    qint32 Altitude100 = 0;      // nearest(Altitude x 100)
    qint32 BorderHeight100 = 0;  // nearest(Border.Height x 100)
    qint32 ShadowColor = 0;
    qint32 ViewDirection = 0;
    quint8 ShadowStyle = 0;
    quint8 Site = 0;

    static TSmoothStyleKey From(const TFont3DValues& values);
    // Writes the key's values back into Values (the rest is left alone).
    void ApplyTo(TFont3DValues& values) const;

    bool operator==(const TSmoothStyleKey&) const = default;
};

// The set that draws a font and style on a screen of device pixel ratio
// Ratio: the same lettering with Ratio times the pixels (height, pixels per
// inch, depth, outline and margins scaled). Its identity, key number and
// disk files differ from the 1x set's, so both live side by side.
TSmoothFontRecord FontRecordAtRatio(const TSmoothFontRecord& font, qreal ratio);
TFont3DValues StyleAtRatio(const TFont3DValues& style, qreal ratio);

// The text the key number is hashed from, and the hash itself.
QByteArray CacheKeyText(const TSmoothFontRecord& font, const TSmoothStyleKey& style);
quint32 CacheKeyHash(const QByteArray& bytes);
// File stem of a set: the signed decimal text of the hash ("-1825847802").
QString CacheFileStem(const TSmoothFontRecord& font, const TSmoothStyleKey& style);

// One glyph image: Width x Height pixels of blue (shadow), green (body and
// outline) and red (face) coverage, rows from the top, no padding.
// Width = Height = -1: not rendered yet.
struct TSmoothGlyph {
    qint32 Width = -1;
    qint32 Height = -1;
    std::vector<quint8> Pixels;

    bool Rendered() const { return Width >= 0; }
    qint64 Bytes() const { return Rendered() ? qint64(Width) * Height * 3 : 0; }
};

// Everything the two files hold.
struct TSmoothCacheRecord {
    TSmoothFontRecord Font;
    TSmoothStyleKey Style;
    qint32 Overlap = 0;
    std::array<TSmoothGlyph, GlyphCodeCount> Glyphs;
};

// The 2188-byte header record of Record (glyph sizes from its glyphs).
QByteArray EncodeCacheHeader(const TSmoothCacheRecord& record);
// The glyph pixels, codes 0..255 in order, nothing for unrendered ones.
QByteArray EncodeCacheData(const TSmoothCacheRecord& record);

// Reads a header record into Record (font, style, overlap, glyph sizes; the
// pixel buffers are left empty). False, Record unspecified, when Bytes is not
// exactly one record or claims what no set can be: a name over 100 bytes,
// unknown style, pitch, shadow style or site values, sizes out of range, a
// glyph with only one size given, glyphs of different heights, or more pixel
// data than a set may have.
bool DecodeCacheHeader(const QByteArray& bytes, TSmoothCacheRecord& record);
// Size the .Dat file must have for a decoded header.
qint64 ExpectedCacheDataSize(const TSmoothCacheRecord& record);
// Fills the pixel buffers of a decoded header from Bytes, which must be
// exactly ExpectedCacheDataSize bytes; false (buffers untouched) otherwise.
bool DecodeCacheData(const QByteArray& bytes, TSmoothCacheRecord& record);
