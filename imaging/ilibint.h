#pragma once
// Insides of the imaging facade, shared by its source files only.
#include "imaging/ilib.h"
#include <QByteArray>
#include <QStringList>
#include <cstddef>
#include <cstdint>

namespace ilib {

// Whole-file reads are bounded; photo files are far below this.
constexpr qint64 MaxFileBytes = qint64(1) << 30;

// Rows handed to a row callback or written between status reports.
constexpr int RowBatch = 16;

// The depths a load or a save can be asked for (0: the file's own).
inline bool ValidLoadBits(int bits) {
    return bits == 0 || bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}
inline bool IsJpegCode(int format) { return format == FILE_JFIF || format == FILE_EXIF_JPEG; }

// Reads a whole regular file into Data (the platform's read: a FIFO or a
// device is refused, never waited on). Returns SUCCESS, or ERROR_FILENOTFOUND
// / ERROR_FILE_OPEN / ERROR_FILE_READ / ERROR_IMAGE_TOO_LARGE.
int ReadWholeFile(const QString& fileName, QByteArray& data);

// Random access to the bytes of a file or of a memory block, bounded reads only.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    virtual qint64 Size() const = 0;
    // Copies Length bytes from Offset; false when they are not all there.
    virtual bool ReadAt(qint64 offset, void* to, qint64 length) const = 0;
};

class TMemorySource final : public TByteSource {
public:
    TMemorySource(const uint8_t* data, qint64 size) : FData(data), FSize(size) {}
    qint64 Size() const override { return FSize; }
    bool ReadAt(qint64 offset, void* to, qint64 length) const override;
    const uint8_t* Data() const { return FData; }

private:
    const uint8_t* FData;
    qint64 FSize;
};

class TFileSource final : public TByteSource {
public:
    TFileSource() = default;
    ~TFileSource() override;
    TFileSource(const TFileSource&) = delete;
    TFileSource& operator=(const TFileSource&) = delete;
    // SUCCESS, ERROR_FILENOTFOUND or ERROR_FILE_OPEN.
    int Open(const QString& fileName);
    qint64 Size() const override { return FSize; }
    bool ReadAt(qint64 offset, void* to, qint64 length) const override;
    int Descriptor() const { return FFd; }
    qint64 ModifiedNs() const { return FModifiedNs; }

private:
    int FFd = -1;
    qint64 FSize = 0;
    qint64 FModifiedNs = 0;
};

// ---- the facade's own files ----
// ilib_errors.cpp   the result codes' texts
// ilib_sources.cpp  the byte sources below
// ilib_load.cpp     loading, identification, comments, per-thread load settings
// ilib_save.cpp     saving
// ilib_paint.cpp    painting, printing, display modes and palettes
// ilib_bitmap.cpp   handle lifetime, row access, the status callback

// ---- identification (identify.cpp) ----
// Format code from the file's signature; 0 when not recognised.
int IdentifyFormat(const TByteSource& source);
// Fills Info for a non-JPEG format from its header (Format already identified).
// SUCCESS or an error code.
int HeaderInfo(const TByteSource& source, int format, FILEINFO& info);
// The 72 comment texts of a JPEG or TIFF file (empty strings where none).
int ReadComments(const TByteSource& source, int format, QList<QByteArray>& texts);
// ERROR_CORRUPT_FILE when the file holds none of the pixel data its header
// announces, and Partial set when it holds only part of it (only where the
// size follows from the header: uncompressed BMP).
int CheckComplete(const TByteSource& source, int format, bool& partial);
constexpr int CommentSlots = 72;
// The EXIF orientation (1..8) in the data of an APP1 segment (after its
// length); 1 when the segment is no Exif segment or has no valid tag.
int ExifOrientation(const uint8_t* segment, qint64 length);


// ---- JPEG (jpegcodec.cpp) ----
struct TJpegLoad {
    int BitsPerPixel = 0;
    int MinShortSide = 0;
    FILEREADCALLBACK Callback = nullptr;
    void* UserData = nullptr;
    FILEINFO* Info = nullptr;   // given to the callback
    bool ReportStatus = false;  // call the status callback with percentages
    bool CentreSquare = false;  // decode only the centre cut
};
int JpegDecode(const uint8_t* data, qint64 size, BITMAPHANDLE& bitmap, const TJpegLoad& load);
int JpegInfo(const TByteSource& source, FILEINFO& info);

// Where encoded bytes go.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    virtual bool Write(const uint8_t* data, size_t length) = 0;
};
struct TJpegSave {
    int Quality = 85;
    bool Subsample = true;   // 4:2:0 chroma; else 4:4:4
    bool Grey = false;       // one-component JPEG
    FILESAVECALLBACK Callback = nullptr;
    void* UserData = nullptr;
    bool ReportStatus = false;
};
int JpegEncode(BITMAPHANDLE& bitmap, TByteSink& sink, const TJpegSave& save);

// ---- Qt image I/O (qtcodec.cpp) ----
// Partial: in, the identifier found the pixel data short; out, the picture
// could be read only in part. Every pixel such a picture's file did not give
// is MissingPixelColour, and the picture is true colour (a palette may lack it).
int QtDecode(const uint8_t* data, qint64 size, int format, QImage& image, bool& partial);
// The Qt writer for Format, or nullptr when we cannot write it.
const char* QtWriterName(int format);
int QtEncode(const QImage& image, int format, TByteSink& sink);

// ---- TARGA (tgacodec.cpp) ----
// True when the 18-byte Header's pixel depth (and colour-map entry depth)
// is one the format defines for its image type: 15, 16, 24 or 32 bits of
// true colour, 8 or 16 of grey, 8 or 16 bit indexes into a map.
bool TgaDepthsDefined(const uint8_t* header);
int TgaDecode(const uint8_t* data, qint64 size, QImage& image);
int TgaEncode(const QImage& image, TByteSink& sink);

// ---- held pixel formats (pixelops.cpp) ----
// The QImage format for a bits-per-pixel value of the handle; Invalid when none.
QImage::Format FormatForBits(int bitsPerPixel);
// Converts any QImage to the held format for BitsPerPixel (0: nearest to the
// image's own depth, with OwnBits as the file's depth when known). Sets the handle.
int AdoptImage(BITMAPHANDLE& bitmap, QImage image, int bitsPerPixel, int ownBits);
// True when every palette entry is grey (R = G = B).
bool IsGreyTable(const QList<QRgb>& table);
// The 256-colour SharedPalette layout.
const QList<QRgb>& FixedPalette();
// Image dithered to FixedPalette: ordered (Bayer) or by error diffusion.
QImage DitherToFixedPalette(const QImage& image, bool ordered);

// ---- status callback ----
// Calls the installed status callback; SUCCESS when none is installed.
int ReportStatus(int percent);
bool HasStatusCallback();

// Hands the rows of a finished picture to a load callback in batches;
// stops with the callback's result when it is not SUCCESS.
int DeliverRows(BITMAPHANDLE& bitmap, FILEINFO* info, FILEREADCALLBACK callback, void* userData);

// The warnings of the load running on this thread (L_LoadWarning): cleared
// when a load starts, added to by the decoders; each text is kept once.
void ClearLoadWarning();
void AddLoadWarning(const QString& text);
// The colour of the pixels a damaged file did not give, whatever its format:
// the mid grey libjpeg gives the blocks of a JPEG cut short.
constexpr QRgb MissingPixelColour = 0xFF808080;
// What a decoder that could read only part of a picture reports.
inline const char* const PartialPictureWarning =
    "The image data is damaged or cut short; the part that could be read is shown";

// ---- colour profiles (colourprofile.cpp) ----
// Image's pixels, in the colour space of the ICC Profile, converted to sRGB
// in place. An empty profile, an sRGB one and one Qt cannot read (look-up
// tables, CMYK, damaged bytes) leave the picture as it is. False only when
// memory ran out.
bool ConvertProfileToSrgb(QImage& image, const QByteArray& profile);
// Whether a decode converts the pictures of Profile.
bool IsForeignProfile(const QByteArray& profile);
// The same for the colour space a Qt reader gave Image.
bool ConvertSpaceToSrgb(QImage& image);

// ---- pixel memory (picturememory.cpp) ----
// A new picture of the size and format, uninitialised. A large one may reuse
// the memory of the last large picture freed. Null when there is no memory.
QImage NewPictureImage(int width, int height, QImage::Format format);
// Bytes of pixel memory kept as the spare; 0 when none is kept.
size_t SparePictureBytes();

// Sets a zero-terminated string into a FILEINFO field.
void SetCompression(FILEINFO& info, const char* text);

}  // namespace ilib
