#pragma once
// The image type table: one row per file format the facade knows, with the
// depths each can be saved in.
#include "imaging/iebitmap.h"
#include <QString>
#include <array>
#include <bitset>
#include <cstdint>

// ---- image types -----------------------------------------------------------
// Members 1..32 of Depths are the allowed bits per pixel; these are the options.
constexpr int OptionPreferLowest = 253;
constexpr int OptionPreferHighest = 254;
constexpr int OptionConvertFirst = 255;

struct TImageTypeDescriptor {
    uint8_t Code = 0;
    uint8_t QualityFactor = 0;
    std::bitset<256> Depths;
    uint8_t OneBitDepth = 0;   // depth used for 1-bit pictures, 0 = none
    QString Description;
    QString Extension;
    bool Secondary = false;    // not the first row for its extension
    QString ShortName;

    bool Allows(int bits) const { return bits >= 1 && bits <= 32 && Depths.test(size_t(bits)); }
};

constexpr int ImageTypeCount = 34;
// Row 6 (PNG) is what a picture without a known source format is saved as.
constexpr int PngFormatIndex = 6;
// Row 3, "JPEG High Quality": copies of photos are written with it.
constexpr int JpegHighQualityIndex = 3;
const std::array<TImageTypeDescriptor, ImageTypeCount>& ImageTypeTable();

// Row of the table for a format code (512 -> 9, 513 -> 10, unknown -> 33).
uint8_t FormatIndexOf(int formatCode);
QString FormatDescription(int formatCode);
bool IsSaveCapableCode(int formatCode);
bool IsSaveSupported(int formatCode, int bits);
// The depth to save Handle with in table row Row. When the row asks for a
// converted copy first, Converted receives it and should be saved instead.
int ChooseSaveBits(const BITMAPHANDLE* handle, int row, TBitmapHandlePtr& converted);
