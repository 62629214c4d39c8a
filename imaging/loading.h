#pragma once
// Identification, loading and saving of picture files and streams: the image
// type table, the status listeners and per-thread progress hook, the library
// lock and the file arbitrator, and the load/save routines TIEBitmap uses.
// Load and save routines never raise: they give no picture (or false) and an
// error text. An empty error text with no picture means the load was stopped.
#include "imaging/iebitmap.h"
#include "imaging/imagetypes.h"
#include "imaging/screen.h"
#include "imaging/ilib.h"
#include <QIODevice>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// ---- identification record -----------------------------------------------
// The two photo-service JPEG variants have codes of their own.
constexpr int FILE_VARIANT_A = 512;
constexpr int FILE_VARIANT_B = 513;

constexpr int CommentSlotCount = 72;
constexpr int CommentTitle = 68;
constexpr int CommentComments = 69;
constexpr int CommentRotation = 70;   // a count of quarter turns
constexpr int CommentInformation = 71;

// The name of comment slot Index; empty for slots 21..67 and out-of-range ones.
QString CommentSlotName(int index);

struct ImageInfo {
    int Format = 0;
    uint8_t FormatIndex = UnknownFormatIndex;
    QString Description;
    int Width = 0, Height = 0, BitsPerPixel = 0;
    int XResolution = 0, YResolution = 0;
    int SizeOnDisk = 0, SizeInMemory = 0;
    QString Compression;
    std::array<QString, CommentSlotCount> Comments;
    // Set by a load that could read the picture only in part (damaged
    // segments, data cut short): what was wrong. Empty after a clean load.
    QString Warning;
};

// ---- Photo CD size ----------------------------------------------------------
int PCDResolution();                 // 0..5, default 3 (768 x 512)
int ChangePCDResolution(int value);  // returns the previous value
QSize PCDResolutionSize(int resolution);

// ---- status listeners and progress hook --------------------------------------
// A listener gets (kind, percent) and answers true to go on, false to stop.
// Kinds: 0 the library's own status, 1 rows saved, 2 rows loaded.
enum TStatusKind { skLibrary = 0, skSaveRows = 1, skLoadRows = 2 };
using TStatusListener = std::function<bool(int kind, int percent)>;

struct TStatusCallbackReference {
    const void* Id = nullptr;  // identifies the listener for removal (its owner)
    TStatusListener Listener;
};

// Changed on the main thread only; called from any loading thread.
void AddStatusListener(const void* id, TStatusListener listener);
void RemoveStatusListener(const void* id);  // the first entry with Id
bool HasStatusListeners();
// For tests: drops every listener.
void ClearStatusListeners();
// SUCCESS, or ERROR_USER_ABORT when a listener answered stop.
int BroadcastStatus(int kind, int percent);

// Per-thread hook: percentage in, true to continue.
using TProgressHook = std::function<bool(int percent)>;
const TProgressHook& ProgressHook();
void SetProgressHook(TProgressHook hook);

// Sets this thread's progress hook for a scope and clears it afterwards.
class TProgressHookScope {
public:
    explicit TProgressHookScope(TProgressHook hook) { SetProgressHook(std::move(hook)); }
    ~TProgressHookScope() { SetProgressHook(nullptr); }
    TProgressHookScope(const TProgressHookScope&) = delete;
    TProgressHookScope& operator=(const TProgressHookScope&) = delete;
};

// ---- small loads -------------------------------------------------------------
// Per thread: what a load of a picture that prefers a small size asks of the
// JPEG decoder: the shorter side the result must still reach, and whether
// only the centre cut is wanted (thumbnails). Other formats load whole.
constexpr int DefaultSmallSizeTarget = 70;
struct TSmallLoad {
    int MinShortSide = DefaultSmallSizeTarget;
    bool CentreSquare = false;
    bool operator==(const TSmallLoad&) const = default;
};
const TSmallLoad& SmallLoad();
void SetSmallLoad(const TSmallLoad& request);

// Sets this thread's small-load request for a scope and puts the old one back.
class TSmallLoadScope {
public:
    explicit TSmallLoadScope(TSmallLoad request) : FPrevious(SmallLoad()) { SetSmallLoad(request); }
    ~TSmallLoadScope() { SetSmallLoad(FPrevious); }
    TSmallLoadScope(const TSmallLoadScope&) = delete;
    TSmallLoadScope& operator=(const TSmallLoadScope&) = delete;

private:
    TSmallLoad FPrevious;
};

// ---- library lock ---------------------------------------------------------------
// Serialises identification and FlashPix loads across threads. On the GUI
// thread the wait lets pending events run between 100 ms slices.
class TLibraryLock {
public:
    TLibraryLock();
    ~TLibraryLock();
    TLibraryLock(const TLibraryLock&) = delete;
    TLibraryLock& operator=(const TLibraryLock&) = delete;
};

// ---- file arbitrator --------------------------------------------------------------
// Keeps two threads from loading the same file at once.
class TFileArbitrator {
public:
    enum TEvent { feWaiting, feAcquired, feReleased };
    using TObserver = std::function<void(TEvent event, const QString& upperName)>;

    void Acquire(const QString& name);
    void Release(const QString& name);
    bool IsBusy(const QString& name) const;
    // For tests: called (under the arbitrator's lock, so it must not block)
    // when a thread starts waiting, acquires or releases a name.
    void SetObserver(TObserver observer);

private:
    mutable std::mutex FLock;
    std::condition_variable FReleased;
    QStringList FBusy;
    TObserver FObserver;
};

TFileArbitrator& FileArbitrator();

// Holds the arbitrator for one file name for a scope.
class TFileArbitration {
public:
    explicit TFileArbitration(const QString& name) : FName(name) { FileArbitrator().Acquire(FName); }
    ~TFileArbitration() { FileArbitrator().Release(FName); }
    TFileArbitration(const TFileArbitration&) = delete;
    TFileArbitration& operator=(const TFileArbitration&) = delete;

private:
    QString FName;
};

// ---- loading ----------------------------------------------------------------------
TBitmapHandlePtr LoadPicture(const QString& fileName, TColorMode colorMode, bool preferSmall,
                             QString& errorText, ImageInfo& info);
// Info is left untouched.
TBitmapHandlePtr LoadPictureStream(QIODevice& stream, TColorMode colorMode, bool preferSmall,
                                   QString& errorText, ImageInfo& info);
// Identification of a file. It is read once, whole; the identification
// itself runs on the bytes in memory, holding the library lock.
bool GetImageTypeInfoEx(const QString& fileName, ImageInfo& info, bool readComments,
                        QString& errorText);
// The same for a file already in memory. A photo-service variant in Data is
// turned into the plain JPEG in place; Orientation receives the turn the
// variant asks for (see IProt).
bool GetImageTypeInfoOfData(QByteArray& data, ImageInfo& info, bool readComments,
                            QString& errorText, unsigned& orientation);
bool IsKnownJpegStream(QIODevice& stream);
bool IsKnownJpegFile(const QString& fileName);
void EnumerateAndChooseBestResolution(const QString& fileName, int format, bool preferSmall);

// Fills the comment slots 68..71 from the program's APP6 marker in Data.
void ReadProgramMarker(const QByteArray& data, ImageInfo& info);

// Row callbacks of the facade's L_LoadFile / L_SaveFile; UserData points to
// an int row counter.
int LoadRowCallback(pFILEINFO info, pBITMAPHANDLE bitmap, uint8_t* buffer, int row, int lines,
                    void* userData);
int SaveRowCallback(pBITMAPHANDLE bitmap, uint8_t* buffer, int row, int lines, void* userData);

// ---- saving ------------------------------------------------------------------------
bool SaveLeadToFile(BITMAPHANDLE* handle, int row, const QString& fileName, QString& errorText);
bool SaveLeadToStream(BITMAPHANDLE* handle, int row, QIODevice& stream, QString& errorText);

// ---- copies handed to others (upload, e-mail) -----------------------------------
// A photo file as it lies on the disc may show sideways or washed out in
// another program than ours (the orientation tag and the colour profile are
// honoured by some and not by others). A copy that leaves the program is
// therefore written upright and in sRGB whenever the file needs it.
//
// The EXIF orientation of the JPEG at Path, 1 to 8: 1 for an upright photo,
// for one without the tag, for any other file and for one that cannot be
// read; 2 to 8 for a photo a load turns or mirrors upright. Reads the
// file's header only.
int JpegOrientation(const QString& path);
// True when the photo at Path cannot be handed on byte for byte: it carries
// an orientation tag other than 1 or a colour profile other than sRGB, or
// Degrees (the user's stored turn) is no multiple of 360.
bool NeedsUprightCopy(const QString& path, int degrees);
// Writes the photo at Source to Target as a JPEG of high quality as the
// viewer shows it: upright by its orientation tag, in sRGB, then turned by
// Degrees, with no orientation tag or profile left. Target lies in a folder
// of the program's own (the run's private temporary folder). False, with the
// reason in ErrorText, when the photo cannot be read or the copy written.
bool SaveUprightCopy(const QString& source, const QString& target, int degrees, QString& errorText);

// FileName with its extension replaced by Extension (".tmp"); appended when
// the name has none.
QString ChangeFileExt(const QString& fileName, const QString& extension);
// The ".tmp" or ".bak" companion of a save over FileName: ChangeFileExt, or
// the extension appended when that would name FileName itself.
QString CompanionName(const QString& fileName, const QString& extension);

