// Identification, loading and saving of picture files and streams, and the
// file operations of TIEBitmap.
#include "imaging/loading.h"
#include "platform/mounts.h"
#include "platform/paths.h"
#include "shell/tracelog.h"
#include "suite/iprot/iprot.h"
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>

namespace {

// Streams and whole files taken into memory are bounded; photos are far below.
constexpr qint64 MaxInMemoryBytes = qint64(1) << 30;
constexpr int KnownJpegProbeBytes = 64;
constexpr unsigned ProgramMarker = 0xE6FF;  // APP6
// Pixel count a small FlashPix load aims at (150 x 150).
constexpr qint64 SmallFlashPixPixels = 22500;

QString ExceptionText(const std::exception& e) {
    if (auto* error = dynamic_cast<const EError*>(&e)) return error->Message();
    return QString::fromUtf8(e.what());
}

QString SystemErrorText(int error) {
    return QString::fromStdString(std::error_code(error, std::system_category()).message());
}

bool IsFlashPix(int format) { return format >= FILE_FPX && format <= FILE_FPX_JPEG_QFACTOR; }
bool IsJpegFormat(int format) { return format == FILE_JFIF || format == FILE_EXIF_JPEG; }

// Runs a cleanup when the scope ends, also when an error passes.
template <typename F>
class TScopeExit {
public:
    explicit TScopeExit(F f) : FAction(std::move(f)) {}
    ~TScopeExit() { FAction(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F FAction;
};

// The facade's per-thread decode settings for one load, put back afterwards.
class TFacadeSmallLoad {
public:
    explicit TFacadeSmallLoad(const TSmallLoad& request)
        : FScale(L_GetLoadScale()), FCentre(L_GetLoadCentreSquare()) {
        L_SetLoadScale(request.MinShortSide);
        L_SetLoadCentreSquare(request.CentreSquare);
    }
    ~TFacadeSmallLoad() {
        L_SetLoadScale(FScale);
        L_SetLoadCentreSquare(FCentre);
    }
    TFacadeSmallLoad(const TFacadeSmallLoad&) = delete;
    TFacadeSmallLoad& operator=(const TFacadeSmallLoad&) = delete;

private:
    int FScale;
    bool FCentre;
};

// The text for a failed whole-file read (errno set by Platform::ReadWholeFile).
QString ReadFailureText(int error) {
    if (error == EFBIG) return LibraryErrorText(ERROR_IMAGE_TOO_LARGE);
    if (error == ENOENT || error == ENOTDIR) return LibraryErrorText(ERROR_FILENOTFOUND);
    return LibraryErrorText(ERROR_FILE_READ);
}

// Decodes Data (a whole file in memory) into a new handle, with the row
// callback when a progress hook or a status listener wants rows. The
// warning of a picture read only in part goes to Warning and the trace log.
TBitmapHandlePtr DecodeData(const QByteArray& data, TColorMode colorMode, bool smallJpeg,
                            const QString& name, QString& errorText, QString& warning) {
    const int bits = BitsForColorMode(colorMode);
    TBitmapHandlePtr handle = NewBitmapHandlePtr();
    L_SetPCDResolution(PCDResolution());
    std::optional<TFacadeSmallLoad> small;
    if (smallJpeg) small.emplace(SmallLoad());
    int result;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    if (ProgressHook() || HasStatusListeners()) {
        int counter = 0;
        result = L_LoadMemory(bytes, data.size(), handle.get(), bits, 1, LOADFILE_ALLOCATE | LOADFILE_STORE,
                              LoadRowCallback, &counter);
    } else {
        result = L_LoadMemory(bytes, data.size(), handle.get(), bits, 1, LOADFILE_ALLOCATE, nullptr, nullptr);
    }
    if (result != SUCCESS) {
        if (result != ERROR_USER_ABORT) {
            errorText = LibraryErrorText(result);
            TraceLog::WarningMsg("Could not load file \"" + name + "\" as an image.");
        }
        return nullptr;
    }
    warning = L_LoadWarning();
    if (!warning.isEmpty()) TraceLog::WarningMsg(name + ": " + warning);
    return handle;
}

// Reads what is left of Stream, bounded; false when it is too large or unreadable.
bool ReadRest(QIODevice& stream, QByteArray& data) {
    data.clear();
    if (!stream.isSequential()) {
        const qint64 left = stream.size() - stream.pos();
        if (left > MaxInMemoryBytes) return false;
        data = stream.read(std::max<qint64>(left, 0));
        return data.size() == std::max<qint64>(left, 0);
    }
    char chunk[65536];
    for (;;) {
        const qint64 got = stream.read(chunk, sizeof chunk);
        if (got < 0) return false;
        if (got == 0) return true;
        if (data.size() + got > MaxInMemoryBytes) return false;
        data.append(chunk, got);
    }
}

// Turns a photo-service variant in Data into a plain JPEG in place. Format
// is set to the variant's code when one of the tests matches. False (Data
// unchanged) when the conversion fails.
bool ConvertKnownJpeg(QByteArray& data, int& format, unsigned& flags) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    const qint64 length = data.size();
    if (IProt::IsVariantAImage(bytes, length)) format = FILE_VARIANT_A;
    if (IProt::IsVariantBImage(bytes, length)) format = FILE_VARIANT_B;
    QByteArray plain;
    unsigned orientation = 0;
    if (!IProt::ConvertKnownJpegImage(bytes, length, plain, orientation, 0) || plain.isEmpty())
        return false;
    data = std::move(plain);
    flags = orientation;
    return true;
}

void ApplyOrientation(BITMAPHANDLE* handle, unsigned flags) {
    if (flags == 0) return;
    if (flags & IProt::OrientationTurnMask)
        L_RotateBitmap(handle, int(flags & IProt::OrientationTurnMask) * 90, 1);
    if (flags & IProt::OrientationReverse) L_ReverseBitmap(handle);
    if (flags & IProt::OrientationFlip) L_FlipBitmap(handle);
}

QString CompressionText(const FILEINFO& fi) {
    QString text = QString::fromLatin1(fi.Compression, int(strnlen(fi.Compression, 20)));
    if (text.compare(QLatin1String("NONE"), Qt::CaseInsensitive) == 0)
        return fi.Format == FILE_FPX ? QStringLiteral("n/a") : QStringLiteral("None");
    return text;
}

void FillInfo(const FILEINFO& fi, ImageInfo& info) {
    info.Format = fi.Format;
    info.FormatIndex = FormatIndexOf(fi.Format);
    info.Description = FormatDescription(fi.Format);
    info.Width = fi.Width;
    info.Height = fi.Height;
    info.BitsPerPixel = fi.BitsPerPixel;
    info.XResolution = fi.XResolution;
    info.YResolution = fi.YResolution;
    info.SizeOnDisk = fi.SizeDisk;
    info.SizeInMemory = fi.SizeMem;
    info.Compression = CompressionText(fi);
}

bool OnReadOnlyMount(const QString& fileName) {
    struct statvfs st;
    const QByteArray path = QFile::encodeName(QFileInfo(fileName).absolutePath());
    return statvfs(path.constData(), &st) == 0 && (st.f_flag & ST_RDONLY) != 0;
}

// The mount point holding Path with a trailing "/", for the out-of-space text.
QString DriveOf(const QString& folder) {
    if (auto mount = Platform::MountTable().MountOf(folder))
        return Platform::WithTrailingSlash(mount->MountPoint);
    return Platform::WithTrailingSlash(folder);
}

bool RemoveFileIfThere(const QString& path) {
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return true;
    if (info.isDir()) return false;
    return QFile::remove(path);
}

} // namespace

QString ChangeFileExt(const QString& fileName, const QString& extension) {
    const int slash = int(fileName.lastIndexOf('/'));
    const int dot = int(fileName.lastIndexOf('.'));
    if (dot > slash) return fileName.left(dot) + extension;
    return fileName + extension;
}

QString CompanionName(const QString& fileName, const QString& extension) {
    const QString changed = ChangeFileExt(fileName, extension);
    // "x.tmp" saved over would otherwise get itself as its temporary file and
    // be deleted before anything was written; the two extensions differ, so
    // the companions never equal each other either.
    return changed == fileName ? fileName + extension : changed;
}

// ---- known JPEG variants -----------------------------------------------------

bool IsKnownJpegStream(QIODevice& stream) {
    // peek leaves the position where it was, also on sequential devices.
    const QByteArray head = stream.peek(KnownJpegProbeBytes);
    if (head.isEmpty()) return false;
    return IProt::IsKnownJpegImage(reinterpret_cast<const uint8_t*>(head.constData()),
                                   int(head.size())) != 0;
}

bool IsKnownJpegFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return IsKnownJpegStream(file);
}

// ---- the program's marker -----------------------------------------------------

void ReadProgramMarker(const QByteArray& data, ImageInfo& info) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    uint32_t value = 0;
    uint16_t dataLength = 0;
    const qint64 position = IProt::FindMarkerPosition(bytes, data.size(), ProgramMarker, value, dataLength);
    if (position < 0) return;
    QByteArray buffer(dataLength, '\0');
    uint16_t length = dataLength;
    if (!IProt::GetMarker(bytes, data.size(), position, reinterpret_cast<uint8_t*>(buffer.data()),
                          length))
        return;
    buffer.truncate(length);
    QStringList others;
    for (const QByteArray& raw : buffer.split('\0')) {
        if (raw.isEmpty()) continue;
        const QString field = QString::fromUtf8(raw);
        const QChar tag = field.at(0).toLower();
        const QString rest = field.mid(1);
        if (tag == 't')
            info.Comments[CommentTitle] = rest;
        else if (tag == 'c')
            info.Comments[CommentComments] = rest;
        else if (tag == 'r')
            info.Comments[CommentRotation] = rest;
        else
            others.append(field);
    }
    info.Comments[CommentInformation] = others.join(',');
}

// ---- identification ------------------------------------------------------------

bool GetImageTypeInfoOfData(QByteArray& data, ImageInfo& info, bool readComments,
                            QString& errorText, unsigned& orientation) {
    TraceScope trace("GetImageTypeInfoEx");
    // Memory only: the lock is never held across a file read.
    TLibraryLock lock;
    info = ImageInfo{};
    orientation = 0;
    try {
        FILEINFO fi{};
        int variant = 0;
        const auto* head = reinterpret_cast<const uint8_t*>(data.constData());
        if (IProt::IsKnownJpegImage(head, int(std::min<qsizetype>(data.size(), KnownJpegProbeBytes))) &&
            !ConvertKnownJpeg(data, variant, orientation)) {
            errorText = LibraryErrorText(ERROR_UNKNOWN_COMP);
            return false;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
        const int result = L_FileInfoMemory(bytes, &fi, data.size(), 0);
        if (result != SUCCESS) {
            errorText = LibraryErrorText(result);
            return false;
        }
        if (variant != 0) fi.Format = variant;
        FillInfo(fi, info);
        const int format = info.Format;
        if (readComments && (format == FILE_TIF || format == FILE_JFIF || format == 11 || format == 98)) {
            QStringList texts;
            if (L_ReadMemoryComments(bytes, data.size(), texts) == SUCCESS)
                for (int slot = 0; slot < CommentSlotCount && slot < texts.size(); ++slot)
                    info.Comments[size_t(slot)] = texts[slot];
        }
        if (readComments && (format == FILE_JFIF || format == FILE_EXIF_JPEG)) ReadProgramMarker(data, info);
        return true;
    } catch (const std::exception& e) {
        errorText = QStringLiteral("Image identification exception: %1").arg(ExceptionText(e));
        TraceLog::SevereMsg(errorText);
        return false;
    }
}

bool GetImageTypeInfoEx(const QString& fileName, ImageInfo& info, bool readComments,
                        QString& errorText) {
    info = ImageInfo{};
    if (!Platform::FileExists(fileName)) {
        errorText = QStringLiteral("file doesn't exist");
        TraceLog::WarningMsg(errorText + ":" + fileName);
        return false;
    }
    QByteArray data;
    if (!Platform::ReadWholeFile(fileName, data, MaxInMemoryBytes)) {
        errorText = ReadFailureText(errno);
        return false;
    }
    unsigned orientation = 0;
    return GetImageTypeInfoOfData(data, info, readComments, errorText, orientation);
}

// ---- resolution choice -------------------------------------------------------

void EnumerateAndChooseBestResolution(const QString& fileName, int format, bool preferSmall) {
    TraceScope trace("EnumerateAndChooseBestResolution");
    try {
        if (IsFlashPix(format)) {
            constexpr int MaxSizes = 32;
            QSize sizes[MaxSizes];
            int count = -1;
            if (L_EnumDimensions(fileName, sizes, count) == SUCCESS && count > 0 && count <= 29) {
                const QSize pcd = PCDResolutionSize(PCDResolution());
                const qint64 target = preferSmall ? SmallFlashPixPixels : qint64(pcd.width()) * pcd.height();
                int best = 0;
                qint64 bestDistance = -1;
                for (int i = 0; i < count; ++i) {
                    const qint64 distance = std::llabs(qint64(sizes[i].width()) * sizes[i].height() - target);
                    if (bestDistance < 0 || distance < bestDistance) {
                        best = i;
                        bestDistance = distance;
                    }
                }
                L_SetDimension(FILE_FPX, sizes[best].width(), sizes[best].height());
            }
        } else if (format == FILE_PCD && preferSmall) {
            L_SetPCDResolution(1);
        }
    } catch (const std::exception& e) {
        TraceLog::SevereMsg("Exception loading file " + fileName + ": " + ExceptionText(e));
    }
}

// ---- row callbacks --------------------------------------------------------------

int LoadRowCallback(pFILEINFO, pBITMAPHANDLE bitmap, uint8_t* buffer, int row, int lines,
                    void* userData) {
    int& counter = *static_cast<int*>(userData);
    // No rows: the decoder only asks whether to go on.
    if (lines > 0 && buffer) {
        L_AccessBitmap(bitmap);
        // The decoder may hand over the picture's own rows; copying those onto
        // themselves would be an overlapping copy.
        if (row >= 0 && row < bitmap->Height() && buffer != bitmap->Image.constScanLine(row))
            L_PutBitmapRow(bitmap, buffer, row, qint64(bitmap->BytesPerLine()) * lines);
        L_ReleaseBitmap(bitmap);
        counter += lines;
    }
    const int height = bitmap->Height();
    const int percent = height > 0 ? int((qint64(counter) * 200 + height) / (2 * qint64(height))) : 0;
    if (const TProgressHook& hook = ProgressHook(); hook && !hook(percent)) return ERROR_USER_ABORT;
    return BroadcastStatus(skLoadRows, percent);
}

int SaveRowCallback(pBITMAPHANDLE bitmap, uint8_t* buffer, int row, int lines, void* userData) {
    int& counter = *static_cast<int*>(userData);
    const int bytesPerLine = bitmap->BytesPerLine();
    L_AccessBitmap(bitmap);
    for (int i = 0; i < lines; ++i) {
        L_GetBitmapRow(bitmap, buffer, row + i, bytesPerLine);
        buffer += bytesPerLine;
    }
    L_ReleaseBitmap(bitmap);
    counter += lines;
    const int height = bitmap->Height();
    const int percent = height > 0 ? int((qint64(counter) * 200 + height) / (2 * qint64(height))) : 0;
    return BroadcastStatus(skSaveRows, percent);
}

// ---- loading ---------------------------------------------------------------------

TBitmapHandlePtr LoadPictureStream(QIODevice& stream, TColorMode colorMode, bool preferSmall,
                                   QString& errorText, ImageInfo& info) {
    TraceScope trace("LoadPictureStream");
    errorText.clear();
    info.Warning.clear();
    const bool seekable = !stream.isSequential();
    const qint64 start = seekable ? stream.pos() : 0;
    TScopeExit restore([&] {
        if (seekable) stream.seek(start);
    });
    if (!stream.isOpen() || !stream.isReadable()) {
        errorText = LibraryErrorText(ERROR_FILE_READ);
        return nullptr;
    }
    try {
        QByteArray data;
        unsigned flags = 0;
        auto* buffer = qobject_cast<QBuffer*>(&stream);
        if (buffer && buffer->pos() == 0)
            data = buffer->data();  // shared, not copied
        else if (!ReadRest(stream, data))
            throw EError(ImagingErrorText(ERROR_IMAGE_TOO_LARGE));
        const auto* head = reinterpret_cast<const uint8_t*>(data.constData());
        if (IProt::IsKnownJpegImage(head, int(std::min<qsizetype>(data.size(), KnownJpegProbeBytes)))) {
            int format = 0;
            ConvertKnownJpeg(data, format, flags);
        }
        const bool smallJpeg = preferSmall && data.startsWith("\xFF\xD8");
        TBitmapHandlePtr handle = DecodeData(data, colorMode, smallJpeg, QStringLiteral("(stream)"),
                                             errorText, info.Warning);
        if (!handle) return nullptr;
        ApplyOrientation(handle.get(), flags);
        return handle;
    } catch (const std::exception& e) {
        errorText = QStringLiteral("Load Memory Exception: %1").arg(ExceptionText(e));
        TraceLog::SevereMsg(errorText);
        return nullptr;
    }
}

// One load reads its file once: identification, the variant conversion, the
// comments and the decode all work on the bytes in memory.
TBitmapHandlePtr LoadPicture(const QString& fileName, TColorMode colorMode, bool preferSmall,
                             QString& errorText, ImageInfo& info) {
    TraceScope trace("LoadPicture");
    errorText.clear();
    if (!Platform::FileExists(fileName)) {
        errorText = QStringLiteral("file doesn't exist");
        TraceLog::WarningMsg(errorText + ":" + fileName);
        return nullptr;
    }
    TFileArbitration arbitration(fileName);
    QByteArray data;
    if (!Platform::ReadWholeFile(fileName, data, MaxInMemoryBytes)) {
        errorText = ReadFailureText(errno);
        return nullptr;
    }
    unsigned orientation = 0;
    if (!GetImageTypeInfoOfData(data, info, true, errorText, orientation)) return nullptr;

    // FlashPix decoding holds the library for the whole load and wants the
    // file read-only meanwhile; the attribute is put back on every path.
    std::optional<TLibraryLock> lock;
    bool madeReadOnly = false;
    struct stat original {};
    const QByteArray nativeName = QFile::encodeName(fileName);
    TScopeExit restoreAttribute([&] {
        lock.reset();
        // Back to the exact mode the file had, not merely "writable".
        if (madeReadOnly) ::chmod(nativeName.constData(), original.st_mode & 07777);
    });
    if (IsFlashPix(info.Format)) {
        lock.emplace();
        if (!Platform::IsReadOnlyFile(fileName) && ::stat(nativeName.constData(), &original) == 0)
            madeReadOnly = Platform::SetReadOnly(fileName, true);
        EnumerateAndChooseBestResolution(fileName, info.Format, preferSmall);
    } else if (info.Format == FILE_PCD) {
        EnumerateAndChooseBestResolution(fileName, info.Format, preferSmall);
    }
    try {
        // A variant is a JPEG once converted, and loads like one.
        const bool jpeg = IsJpegFormat(info.Format) || info.Format == FILE_VARIANT_A ||
                          info.Format == FILE_VARIANT_B;
        TBitmapHandlePtr handle =
            DecodeData(data, colorMode, preferSmall && jpeg, fileName, errorText, info.Warning);
        if (!handle) return nullptr;
        ApplyOrientation(handle.get(), orientation);
        return handle;
    } catch (const std::exception& e) {
        errorText = QStringLiteral("Load Exception: %1").arg(ExceptionText(e));
        TraceLog::SevereMsg(errorText);
        return nullptr;
    }
}

// ---- saving ---------------------------------------------------------------------

namespace {

// False (and the text set) when a save has no picture or no format row.
bool CheckSaveArguments(const BITMAPHANDLE* handle, int row, QString& errorText) {
    if (handle && row >= 0 && row < ImageTypeCount) return true;
    errorText = LibraryErrorText(handle ? ERROR_INV_PARAMETER : ERROR_NO_BITMAP);
    return false;
}

// What a save of Handle in format Row encodes: the row's type, the depth, and
// the picture itself or a converted copy of it.
struct TSaveSource {
    TSaveSource(BITMAPHANDLE* handle, int row)
        : Type(ImageTypeTable()[size_t(row)]), Bits(ChooseSaveBits(handle, row, Converted)),
          Bitmap(Converted ? Converted.get() : handle) {}
    const TImageTypeDescriptor& Type;
    TBitmapHandlePtr Converted;
    int Bits;
    BITMAPHANDLE* Bitmap;
};

} // namespace

bool SaveLeadToStream(BITMAPHANDLE* handle, int row, QIODevice& stream, QString& errorText) {
    TraceScope trace("SaveLeadToStream");
    if (!CheckSaveArguments(handle, row, errorText)) return false;
    try {
        const TSaveSource save(handle, row);
        QByteArray block;
        const int result = L_SaveBitmapMemory(block, save.Bitmap, save.Type.Code, save.Bits,
                                              save.Type.QualityFactor);
        if (result != SUCCESS) {
            errorText = LibraryErrorText(result);
            return false;
        }
        try {
            if (stream.write(block) != block.size()) throw EError(stream.errorString());
        } catch (const std::exception& e) {
            errorText = QStringLiteral("Stream Exception: %1").arg(ExceptionText(e));
            TraceLog::SevereMsg(errorText);
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        errorText = QStringLiteral("Exception: %1").arg(ExceptionText(e));
        TraceLog::SevereMsg(errorText);
        return false;
    }
}

// A file that exists but is held open elsewhere would be written in place
// through a shared handle; Linux has no exclusive opens to detect that case,
// so every save goes through the library's own file writer.
bool SaveLeadToFile(BITMAPHANDLE* handle, int row, const QString& fileName, QString& errorText) {
    TraceScope trace("SaveLeadToFile");
    if (!CheckSaveArguments(handle, row, errorText)) return false;
    try {
        const TSaveSource save(handle, row);
        BITMAPHANDLE* source = save.Bitmap;
        int result;
        if (HasStatusListeners()) {
            int counter = 0;
            result = L_SaveFile(fileName, source, save.Type.Code, save.Bits, save.Type.QualityFactor, 0,
                                SaveRowCallback, &counter);
        } else {
            result = L_SaveBitmap(fileName, source, save.Type.Code, save.Bits, save.Type.QualityFactor);
        }
        if (result == SUCCESS) return true;
        const QString folder = QFileInfo(fileName).absolutePath();
        struct statvfs st;
        const bool queried = statvfs(QFile::encodeName(folder).constData(), &st) == 0;
        const qint64 freeBytes = queried ? qint64(st.f_bavail) * qint64(st.f_frsize) : 0;
        // A folder that is not there is not a full disk: report the library's reason.
        if ((queried && freeBytes > source->Size()) || !Platform::DirectoryExists(folder)) {
            errorText = LibraryErrorText(result);
        } else {
            errorText = QStringLiteral("Destination drive %1 for save operation is out of free space")
                            .arg(DriveOf(folder));
            TraceLog::SevereMsg(errorText);
        }
        return false;
    } catch (const std::exception& e) {
        errorText = QStringLiteral("Exception: %1").arg(ExceptionText(e));
        TraceLog::SevereMsg(errorText);
        return false;
    }
}

// ---- copies handed to others ---------------------------------------------------------

int JpegOrientation(const QString& path) {
    FILEINFO info;
    if (L_FileInfo(path, &info, 0) != SUCCESS) return 1;
    return info.Orientation;
}

bool NeedsUprightCopy(const QString& path, int degrees) {
    if (degrees % 360 != 0) return true;
    FILEINFO info;
    if (L_FileInfo(path, &info, 0) != SUCCESS) return false;
    return info.Orientation != 1 || info.ForeignProfile;
}

bool SaveUprightCopy(const QString& source, const QString& target, int degrees, QString& errorText) {
    TraceScope trace("SaveUprightCopy");
    errorText.clear();
    try {
        // The load makes the picture upright and sRGB; the encoder writes
        // neither an orientation tag nor a profile.
        const std::unique_ptr<TIEBitmap> bitmap = TIEBitmap::CreateFromFile(source, ColorMode24Bits);
        if (bitmap->IsEmpty()) {
            errorText = LibraryErrorText(ERROR_USER_ABORT);
            return false;
        }
        if (degrees % 360 != 0) bitmap->Rotate(degrees);
        bitmap->SaveToFile(target, JpegHighQualityIndex);
        return true;
    } catch (const EError& e) {
        errorText = e.Message();
        return false;
    }
}

// ---- TIEBitmap file operations -----------------------------------------------------

void TIEBitmap::LoadFromFile(const QString& fileName, TColorMode colorMode) {
    QString errorText;
    ImageInfo info;
    TBitmapHandlePtr handle = LoadPicture(fileName, colorMode, PreferSmallSize(), errorText, info);
    // The previous picture goes in any case: the object shows this file or nothing.
    FreeHandle();
    SetHandle(handle.release());
    if (!FHandle) {
        if (!errorText.isEmpty()) throw TIEPixException(errorText);
        return;  // stopped by a listener or the progress hook
    }
    SourceFormat = info.Format;
    FormatIndex = info.FormatIndex;
    SourceFile = fileName;
    LoadWarning = info.Warning;
    CanSaveBack = !Platform::IsReadOnlyFile(fileName) && !OnReadOnlyMount(fileName) &&
                  IsSaveSupported(SourceFormat, 0);
    const QString turns = info.Comments[CommentRotation].trimmed();
    if (!turns.isEmpty()) {
        bool ok = false;
        const int quarterTurns = turns.toInt(&ok);
        if (ok && quarterTurns % 4 != 0) {
            try {
                Rotate(quarterTurns * 90);
            } catch (const TIEPixException& e) {
                TraceLog::WarningMsg(e.Message());  // shown unturned rather than not at all
            }
        }
    }
    Changed();
}

void TIEBitmap::LoadFromStream(QIODevice& stream, TColorMode colorMode) {
    QString errorText;
    ImageInfo info;
    TBitmapHandlePtr handle = LoadPictureStream(stream, colorMode, PreferSmallSize(), errorText, info);
    FreeHandle();
    SetHandle(handle.release());
    // A stop asked for by a listener or the progress hook gives no text of
    // its own; the caller still learns why nothing was loaded.
    if (!FHandle)
        throw TIEPixException(errorText.isEmpty() ? LibraryErrorText(ERROR_USER_ABORT) : errorText);
    SourceFormat = 0;
    LoadWarning = info.Warning;
    Changed();
}

namespace {

int SaveRowFor(const TIEBitmap& bitmap, int row) {
    if (row == UnknownFormatIndex) row = bitmap.GetFormatIndex();
    if (row == UnknownFormatIndex) row = PngFormatIndex;
    if (row < 0 || row >= ImageTypeCount) throw TIEPixException(LibraryErrorText(ERROR_INV_PARAMETER));
    return row;
}

[[noreturn]] void RaiseSystemError(int error) { throw TIEPixException(SystemErrorText(error)); }

} // namespace

void TIEBitmap::SaveToFile(const QString& fileName, int row) {
    // Nothing to save is an error, not a silent success.
    if (!FHandle) throw TIEPixException(LibraryErrorText(ERROR_NO_BITMAP));
    row = SaveRowFor(*this, row);
    QString errorText;
    if (!QFileInfo::exists(fileName)) {
        if (!SaveLeadToFile(FHandle, row, fileName, errorText)) throw TIEPixException(errorText);
        return;
    }
    const QString temp = CompanionName(fileName, QStringLiteral(".tmp"));
    const QString backup = CompanionName(fileName, QStringLiteral(".bak"));
    const QByteArray tempPath = QFile::encodeName(temp);
    const QByteArray backupPath = QFile::encodeName(backup);
    const QByteArray filePath = QFile::encodeName(fileName);
    RemoveFileIfThere(temp);
    RemoveFileIfThere(backup);
    bool movedAway = false;
    try {
        if (!SaveLeadToFile(FHandle, row, temp, errorText)) throw TIEPixException(errorText);
        struct stat original;
        if (::stat(filePath.constData(), &original) == 0)
            ::chmod(tempPath.constData(), original.st_mode & 07777);
        // The backup is a second name for the original, so the file is under
        // its own name at every moment; rename() then swaps in the new one
        // atomically. Without hard links the original is moved aside instead.
        if (::link(filePath.constData(), backupPath.constData()) != 0) {
            if (::rename(filePath.constData(), backupPath.constData()) != 0) RaiseSystemError(errno);
            movedAway = true;
        }
        if (::rename(tempPath.constData(), filePath.constData()) != 0) RaiseSystemError(errno);
        movedAway = false;
        Platform::SetReadOnly(backup, false);
        QFile::remove(backup);
    } catch (const TIEPixException&) {
        Platform::SetReadOnly(temp, false);
        RemoveFileIfThere(temp);
        if (movedAway)
            ::rename(backupPath.constData(), filePath.constData());
        else
            RemoveFileIfThere(backup);
        throw;
    }
}

void TIEBitmap::SaveToStream(QIODevice& stream, int row) {
    if (!FHandle) throw TIEPixException(LibraryErrorText(ERROR_NO_BITMAP));
    row = SaveRowFor(*this, row);
    QString errorText;
    if (!SaveLeadToStream(FHandle, row, stream, errorText)) throw TIEPixException(errorText);
}
