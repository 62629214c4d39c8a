// The image type table and what hangs off it: format rows and descriptions,
// save support, the choice of save depth, comment slot names, Photo CD sizes.
#include "imaging/loading.h"
#include "shell/tracelog.h"
#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <utility>

namespace {

struct TDepthRange {
    int From, To;
    TDepthRange(int single) : From(single), To(single) {}
    TDepthRange(int from, int to) : From(from), To(to) {}
};

TImageTypeDescriptor Row(const char* ext, const char* description, const char* shortName,
                         int code, int qualityFactor, std::initializer_list<TDepthRange> depths,
                         std::initializer_list<int> options, int oneBitDepth, bool secondary) {
    TImageTypeDescriptor row;
    row.Code = uint8_t(code);
    row.QualityFactor = uint8_t(qualityFactor);
    for (const TDepthRange& range : depths)
        for (int bits = range.From; bits <= range.To; ++bits) row.Depths.set(size_t(bits));
    for (int option : options) row.Depths.set(size_t(option));
    row.OneBitDepth = uint8_t(oneBitDepth);
    row.Description = QString::fromUtf8(description);
    row.Extension = QString::fromUtf8(ext);
    row.Secondary = secondary;
    row.ShortName = QString::fromUtf8(shortName);
    return row;
}

std::array<TImageTypeDescriptor, ImageTypeCount> BuildTable() {
    const bool sec = true;
    const std::initializer_list<TDepthRange> none{};
    const std::initializer_list<int> plain{};
    return {{
        Row("bmp", "Windows Bitmap", "", 6, 0, {1, 4, 8, 24}, plain, 1, false),
        Row("tif", "TIFF (Tagged Image File Format)", "TIFF", 3, 0, {{1, 8}, 16, 24}, plain, 4, false),
        Row("tif", "Compressed TIFF", "TIFF", 17, 0, {{1, 8}, 16, 24}, plain, 4, sec),
        Row("jpg", "JPEG High Quality", "JPEG", 10, 20, {24}, plain, 0, false),
        Row("jpg", "JPEG Medium Quality", "JPEG", 10, 100, {24}, plain, 0, sec),
        Row("jpg", "JPEG Low Quality", "JPEG", 10, 200, {24}, plain, 0, sec),
        Row("png", "PNG (Portable Network Graphic)", "PNG", 75, 0, {1, 4, 8, 24}, plain, 1, false),
        Row("png", "PNG 8 bit (Portable Network Graphic)", "PNG", 75, 0, {8}, plain, 8, sec),
        Row("gif", "GIF (Graphic Interchange Format)", "GIF", 2, 0, {{1, 8}}, plain, 1, false),
        Row("pva", "Photo-service JPEG (variant A)", "", 0, 0, none, plain, 0, false),
        Row("pic", "Photo-service JPEG (variant B)", "", 0, 0, none, plain, 0, false),
        Row("kqp", "Konica Quality Photo JPEG", "", 0, 0, none, plain, 0, false),
        Row("sig", "Signature Color JPEG", "", 0, 0, none, plain, 0, false),
        Row("pcx", "ZSoft PCX", "", 1, 0, {1, 4, 8, 24}, plain, 1, false),
        Row("tga", "TARGA", "", 4, 0, {8, 16, 24}, plain, 0, false),
        Row("psd", "Adobe Photoshop 3.0", "", 76, 0, {1, 8, 24}, plain, 8, false),
        Row("bmp", "OS/2 BMP version 1.x", "", 14, 0, {1, 4, 8, 24}, plain, 1, sec),
        Row("bmp", "OS/2 BMP version 2.x", "", 74, 0, {1, 4, 8, 24}, plain, 1, sec),
        Row("wmf", "Windows Meta File", "Windows meta", 15, 0, {8, 24}, plain, 0, false),
        Row("eps", "Encapsulated PostScript", "", 16, 0, {8, 16, 24},
            {OptionPreferLowest, OptionConvertFirst}, 0, false),
        Row("cmp", "Library compression format", "", 5, 0, {8, 24}, plain, 0, false),
        Row("wpg", "WordPerfect", "", 54, 0, {1, 4, 8}, plain, 4, false),
        Row("ras", "Sun Raster", "", 55, 0, {1, 4, 8, 24}, plain, 1, false),
        Row("cls", "CALS Raster", "", 50, 0, {1}, plain, 1, false),
        Row("mac", "MacPaint", "", 51, 0, {1}, plain, 1, false),
        Row("pct", "Macintosh Pict", "", 56, 0, {1, 4, 8, 24}, plain, 4, false),
        Row("msp", "Microsoft Paint", "", 53, 0, {1}, plain, 1, false),
        Row("img", "GEM Image", "", 52, 0, {1}, plain, 1, false),
        Row("pcd", "Kodak PhotoCD", "", 57, 0, none, plain, 0, false),
        Row("fpx", "FlashPix", "", 80, 0, {8, 24}, {OptionPreferHighest}, 24, false),
        Row("fpx", "FlashPix \"single color\" compressed", "", 81, 0, {8, 24},
            {OptionPreferHighest}, 24, sec),
        Row("fpx", "FlashPix JPEG compressed", "", 82, 0, {8, 24}, {OptionPreferHighest}, 24, sec),
        Row("bmp", "Windows bitmap, RLE encoded", "", 84, 0, none, plain, 0, sec),
        Row("Unknown", "Unknown", "", 0, 0, none, plain, 0, false),
    }};
}

const char* ExtraDescription(int code) {
    switch (code) {
    case 11: return "Tagged Image File with JPEG compression (JTIF)";
    case 58: return "Autocad";
    case 59: return "Microsoft Video";
    case 60: return "Wave";
    case 61: return "FLI";
    case 62: return "CGM";
    case 63: return "Encapsulated PostScript with an embedded TIFF file";
    case 64: return "EPSWMF";
    case 65: return "Library lossless compression format";
    case 66: return "Raw FAX, compressed using CCITT group 3, 1 dimension";
    case 67: return "Raw FAX, compressed using CCITT group 3, 2 dimensions";
    case 68: return "Raw FAX, compressed using CCITT group 4";
    case 69: return "WinFax, compressed using CCITT group 3, 1 dimension";
    case 70: return "WinFax, compressed using CCITT group 4";
    case 71: return "IOCA, compressed using CCITT group 3, 1 dimension";
    case 72: return "IOCA, compressed using CCITT group 3, 2 dimensions";
    case 73: return "IOCA, compressed using CCITT group 4";
    case 77: return "IOCA, compressed using CCITT  group 3, 1 dimension, without the MO:DCA wrapper";
    case 78: return "IOCA, compressed using CCITT group 3, 2 dimensions, without the MO:DCA wrapper";
    case 79: return "IOCA, compressed using CCITT group 4, without the MO:DCA wrapper";
    case 85: return "TIFF CMYK";
    case 86: return "TIFF LZW CMYK";
    case 87: return "TIFF Packbits";
    case 88: return "TIFF Packbits CMYK";
    case 89: return "DICOM Grayscale";
    case 90: return "DICOM Color";
    default: return "";
    }
}

std::atomic<int> CurrentPCDResolution{3};

} // namespace

const std::array<TImageTypeDescriptor, ImageTypeCount>& ImageTypeTable() {
    static const std::array<TImageTypeDescriptor, ImageTypeCount> table = BuildTable();
    return table;
}

QString CommentSlotName(int index) {
    static const char* const names[] = {
        "Artist", "Copyright", "Date", "Description", "Computer type", "Computer make",
        "Computer model", "Document name", "Page name", "Software", "Patient name (DICOM)",
        "Patient ID (DICOM)", "Patient birthdate (DICOM)", "Patient sex (DICOM)",
        "Study instance ID (DICOM)", "Study date (DICOM)", "Study time (DICOM)",
        "Referring physician (DICOM)", "Series modality (DICOM)", "Series ID (DICOM)",
        "Series number (DICOM)"};
    if (index >= 0 && index <= 20) return QString::fromUtf8(names[index]);
    switch (index) {
    case CommentTitle: return QStringLiteral("Lumora Title");
    case CommentComments: return QStringLiteral("Lumora Comments");
    case CommentRotation: return QStringLiteral("Lumora Rotation");
    case CommentInformation: return QStringLiteral("Lumora Information");
    default: return {};
    }
}

uint8_t FormatIndexOf(int formatCode) {
    if (formatCode == FILE_VARIANT_A) return 9;
    if (formatCode == FILE_VARIANT_B) return 10;
    if (formatCode == 0) return UnknownFormatIndex;
    const auto& table = ImageTypeTable();
    for (int row = 0; row < ImageTypeCount; ++row)
        if (table[size_t(row)].Code == formatCode) return uint8_t(row);
    return UnknownFormatIndex;
}

QString FormatDescription(int formatCode) {
    uint8_t row = FormatIndexOf(formatCode);
    if (row != UnknownFormatIndex) return ImageTypeTable()[row].Description;
    return QString::fromUtf8(ExtraDescription(formatCode));
}

bool IsSaveCapableCode(int code) {
    switch (code) {
    case 1: case 2: case 3: case 4: case 6: case 10: case 11: case 14: case 15: case 16: case 17:
        return true;
    default:
        return (code >= 20 && code <= 29) || (code >= 50 && code <= 56) ||
               (code >= 66 && code <= 83);
    }
}

bool IsSaveSupported(int code, int bits) {
    if (!IsSaveCapableCode(code)) return false;
    if (bits == 0) return true;
    for (const TImageTypeDescriptor& row : ImageTypeTable())
        if (row.Code == code) return row.Allows(bits);
    return false;
}

int ChooseSaveBits(const BITMAPHANDLE* handle, int row, TBitmapHandlePtr& converted) {
    converted.reset();
    int bits = handle ? handle->BitsPerPixel : 0;
    if (row < 0 || row >= ImageTypeCount) return bits;
    const TImageTypeDescriptor& type = ImageTypeTable()[size_t(row)];
    const bool preferLowest = type.Depths.test(OptionPreferLowest);
    const bool preferHighest = type.Depths.test(OptionPreferHighest);
    const bool convertFirst = type.Depths.test(OptionConvertFirst);

    if (bits == 1 && type.OneBitDepth != 0) bits = type.OneBitDepth;
    if (!type.Allows(bits) || preferHighest) {
        for (int depth = std::max(bits, 1); depth <= 32; ++depth) {
            if (!type.Allows(depth)) continue;
            bits = depth;
            if (!preferHighest) break;
        }
    }
    if (!type.Allows(bits) || preferLowest) {
        for (int depth = std::min(bits, 32); depth >= 1; --depth) {
            if (!type.Allows(depth)) continue;
            bits = depth;
            if (!preferLowest) break;
        }
    }
    if (convertFirst && handle) {
        TBitmapHandlePtr copy = NewBitmapHandlePtr();
        const int flags = bits <= 8 ? (CRF_FIXEDPALETTE | CRF_BYTEORDER) : 0;
        if (L_ColorResBitmap(handle, copy.get(), bits, flags, nullptr, nullptr, 0, nullptr) == SUCCESS)
            converted = std::move(copy);
    }
    return bits;
}

int PCDResolution() { return CurrentPCDResolution.load(); }

// Only the six Photo CD sizes exist; other values are taken as the nearest.
int ChangePCDResolution(int value) {
    // A size the format does not have is refused, not bent to the nearest one.
    if (value < 0 || value > 5) {
        TraceLog::WarningMsg(QStringLiteral("Photo CD resolution %1 ignored: it must be 0..5").arg(value));
        return CurrentPCDResolution.load();
    }
    return CurrentPCDResolution.exchange(value);
}

QSize PCDResolutionSize(int resolution) {
    static const QSize sizes[] = {{96, 64}, {192, 128}, {384, 256},
                                  {768, 512}, {1536, 1024}, {3072, 2048}};
    if (resolution < 0 || resolution > 5) return sizes[3];
    return sizes[resolution];
}
