#pragma once
// Rolls and photos: one roll is one folder of JPEG photos (one scanned film),
// one photo is one file in it. In the disc layout a roll folder holds up to
// six size folders with the same file names; in the plain layout the photos
// lie directly in the program folder.
#include "collection/thumbloader.h"
#include "collection/thumbnail.h"
#include "imaging/iebitmap.h"
#include <QPainter>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QObject>
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class TRoll;
class TMedia;
class TTask;
class TIniFile;
class TThumbLoaderThread;

// A resolution level, 0..6 in ascending resolution; 0 means no size folder.
using TLevel = uint8_t;
constexpr TLevel LevelCount = 7;

// Folder name of each level; level 0 has none.
inline constexpr std::array<const char*, LevelCount> SizeFolderNames = {
    "", "Tiny", "Thumb", "Small", "Medium", "Large", "ExLarge"};
// The size a roll's photos are first shown in: Medium, Large, Small, ExLarge, Thumb, Tiny.
inline constexpr std::array<TLevel, 6> ViewSizePreference = {4, 5, 3, 6, 2, 1};
// The file handed to printing, upload and e-mail: Large first.
inline constexpr std::array<TLevel, 6> BestSizePreference = {5, 4, 3, 6, 2, 1};

// SizeFolderNames[Level] + "/", or empty for level 0 (and anything out of range).
QString SizeFolderOf(int level);

// The set of size folders present in a roll (levels 1..6).
class TLevelSet {
public:
    void Include(int level) {
        if (level >= 1 && level < LevelCount) FBits = uint8_t(FBits | (1u << level));
    }
    bool Contains(int level) const {
        return level >= 1 && level < LevelCount && (FBits & (1u << level)) != 0;
    }
    bool IsEmpty() const { return FBits == 0; }
    // Smallest and largest level present; 0 when none.
    TLevel Min() const;
    TLevel Max() const;
    // First level of Order that is present; 0 when none.
    template <size_t N>
    TLevel FirstOf(const std::array<TLevel, N>& order) const {
        for (TLevel level : order)
            if (Contains(level)) return level;
        return 0;
    }
    bool operator==(const TLevelSet&) const = default;

private:
    uint8_t FBits = 0;
};

// The sort key of a photo: the frame part of "prefix-frame[A].jpg", with the
// film's lead frames XX, X and 00 mapped to -3, -2, -1. A name without "-"
// is its own key.
QString FrameNumberKey(const QString& path);
// The key as a frame number; none when it is not a decimal integer.
std::optional<qint64> FrameNumberOf(const QString& key);

// Case-insensitive comparison in the user's locale (<0, 0, >0); used for
// photo paths and roll names alike.
int CompareTextIgnoringCase(const QString& a, const QString& b);

// One queued thumbnail job: the photo and its position in the roll.
class TTask {
public:
    TTask(TMedia* media, int32_t index) : Media(media), Index(index) {}
    TMedia* Media;
    int32_t Index;
};

// Raised on the main thread when a thumbnail has been made; Sender is the task.
using TThumbnailEvent = std::function<void(TTask* sender)>;

// One photo. Owned by its roll's Media list.
class TMedia {
public:
    // Disc layout: the photo FileName of roll folder Folder, shown at the roll's DefaultLevel.
    static std::unique_ptr<TMedia> Create(TRoll* roll, const QString& fileName,
                                          const QString& folder);
    // Plain layout: the photo at Path, which never changes size.
    static std::unique_ptr<TMedia> CreateFromPath(TRoll* roll, const QString& path);
    ~TMedia();
    TMedia(const TMedia&) = delete;
    TMedia& operator=(const TMedia&) = delete;

    TRoll* Roll;
    QString Folder;       // the roll folder, trailing "/"
    QString FileName;     // with extension, no folder
    QString SizeFolder;   // size folder shown, trailing "/"; empty at level 0
    std::unique_ptr<TIEBitmap> Image;
    std::unique_ptr<TThumbnail> Thumbnail;
    int32_t Rotation = 0;  // degrees, kept in -359..359
    TLevel Level = 0;
    double ZoomFactor = 1.0;
    QSize DisplaySize{0, 0};
    int32_t ExtraSteps = 0;   // digital zoom steps beyond the size folders
    bool LevelGap = false;    // a size switch is owed: the next size was missing

    // Folder + SizeFolder + FileName.
    QString FullPath() const;
    // The photo's files in the size folders above the one shown, smallest
    // first (none in the plain layout): what a screen of a higher density
    // may read the photo from.
    QStringList SharperPaths() const;
    // The file from the best size folder present (Large first); empty when the
    // roll has no size folder.
    QString BestQualityPath() const;

    // The full image, loaded on first use and turned by Rotation. Raises the
    // loading errors to the caller.
    TIEBitmap* GetImage();

    // Any thread (the loader asks it as a hint; the main thread decides).
    bool HasThumbnail() const { return FHasThumbnail.load(); }
    // The file a thumbnail of Pixels x Pixels is made from: for the 70
    // pixels of a screen of ratio 1, the roll's smallest size folder (the
    // photo itself in the plain layout), whatever its size, as always; for
    // more (a screen of a higher ratio), the smallest size folder whose
    // picture's shorter side covers Pixels, else the largest. Reads only
    // what the scan fixed, and the files' headers.
    QString ThumbnailSource(int pixels = ThumbnailSize) const;
    // Any thread: a finished, unturned thumbnail of the photo at the roll's
    // ThumbnailPixels; none when it cannot be made. Reads only what the scan
    // fixed, so a loader thread may call it while the main thread draws or
    // turns the photo.
    std::unique_ptr<TThumbnail> MakeThumbnail() const;
    // Main thread: stores a thumbnail made by MakeThumbnail, turned by the
    // photo's Rotation of this moment (which may have changed while it was
    // made). None frees the old one; one made for another density than the
    // roll's of this moment is dropped (its photo is queued again).
    void SetThumbnail(std::unique_ptr<TThumbnail> thumbnail);
    // Main thread: MakeThumbnail and SetThumbnail in one.
    void LoadThumbnail();
    void FreeThumbnail();
    // The thumbnail stretched into Rect, or a black box while there is none.
    void DrawThumbnail(QPainter& canvas, const QRect& rect) const;

    // Rotation persistence (see rotation.h).
    void Rotate(int delta);
    void StoreRotation();

    // Back to the roll's default size, no digital zoom, image freed.
    void ResetZoom();
    // Shows size folder Level; a plain-layout photo (level 0) never changes.
    void SetLevel(TLevel level);
    // Delta +1 zooms in, -1 out. True when the size folder changed, so the
    // caller reloads from FullPath; false means scale digitally.
    bool StepResolution(int delta);
    bool CanZoomIn() const;
    bool CanZoomOut() const;

private:
    explicit TMedia(TRoll* roll) : Roll(roll) {}
    // Mirrors Thumbnail != none for the loader thread, which must not read
    // the pointer the main thread writes.
    std::atomic<bool> FHasThumbnail{false};
    friend class TRoll;
};

// One roll: a folder of photos, scanned once when it is first opened.
class TRoll {
public:
    // Folder gets a trailing "/" when it has none.
    TRoll(bool useSizeFolders, QString name, QString folder, TThumbnailEvent onThumbnail = {});
    // Writes the rotations back when they changed; never throws.
    ~TRoll();
    TRoll(const TRoll&) = delete;
    TRoll& operator=(const TRoll&) = delete;

    QString Name;     // the folder's own name (disc layout) or the program folder (plain layout)
    QString Folder;   // trailing "/"
    std::vector<std::unique_ptr<TMedia>> Media;  // display order after Prepare
    bool Scanned = false;
    bool Queued = false;
    TThumbnailEvent OnThumbnail;
    // Consumed front first by the loader; appended by the main thread. Both
    // sides hold TasksLock while they touch the list.
    std::deque<std::unique_ptr<TTask>> Tasks;
    std::mutex TasksLock;
    std::unique_ptr<TThumbLoaderThread> Loader;  // the roll's loader thread, when there is one
    bool UseSizeFolders;
    TLevelSet SizesPresent;
    QString ThumbFolder;      // smallest size folder present, trailing "/"; empty when none
    QStringList Rotations;    // "file name=degrees" lines of this roll's section
    bool RotationsDirty = false;
    bool NumericNames = true; // every file name so far contains "-"
    int LeftOutNames = 0;     // photos left out by the scan: their names are not valid UTF-8
    TLevel DefaultLevel = 0;

    // Scans the folder (first call only), sorts, and queues one thumbnail task
    // per photo when none are queued.
    void Prepare();
    bool IsReady() const { return Scanned && Queued; }
    int Count() const { return int(Media.size()); }
    TMedia* Items(int i) const { return Media.at(size_t(i)).get(); }
    // FullPath of every photo in display order.
    QStringList FileList() const;
    // Queued := false and every photo's thumbnail freed.
    void FreeThumbnails();

    // The loader: started when there are tasks and none runs, resumed when
    // paused; paused between two tasks. Main thread only.
    void StartThumbLoader();
    void PauseThumbLoader();
    // The loader's priority; Idle when there is no loader. Setting it without
    // a loader does nothing.
    TLoaderPriority LoaderPriority() const;
    void SetLoaderPriority(TLoaderPriority priority);
    // A main-thread object that lives exactly as long as the roll, for
    // others to watch (a QPointer to it turns null when the roll goes).
    QObject* Context() const { return FContext.get(); }

    bool Sorted() const { return FSorted; }
    // Setting it sorts the photos the first time.
    void SetSorted(bool value);

    // Rotation persistence (see rotation.h).
    void LoadRotations();
    // File none means RotationFile(); an empty Section means RotationSection().
    // Raises EError when the file cannot be written.
    void SaveRotations(TIniFile* file = nullptr, const QString& section = QString());
    QString RotationSection() const;
    // Writes the rotations when they changed since the last write (the user
    // leaves the roll, the program ends), so a crash loses nothing written
    // before. False, with the reason, when the file could not be written;
    // the roll stays marked as changed then.
    bool SaveRotationsIfChanged(QString* reason = nullptr);

    // The steps of Prepare, public for tests.
    void FindSizes();
    void ChooseDefaultLevel();
    void ScanFiles();
    void AddFile(const QString& name);
    // The folder ScanFiles lists.
    QString ScanFolder() const;

    // The side of the thumbnails in pixels: 70 times the screen's device
    // pixel ratio. Any thread reads it; the main thread sets it, and a new
    // value frees the thumbnails made so far (the next Prepare queues them
    // again at the new size).
    int ThumbnailPixels() const { return FThumbnailPixels.load(); }
    void SetThumbnailPixels(int pixels);

private:
    void Sort();
    void ThumbnailLoaded(TThumbLoaderThread* sender, TTask* task);
    void LoaderEnded(TThumbLoaderThread* sender);
    bool FSorted = false;
    std::unique_ptr<QObject> FContext;
    std::atomic<int> FThumbnailPixels{ThumbnailSize};
};

// The thumbnails' side in pixels on a screen of device pixel ratio Ratio.
int ThumbnailPixelsFor(qreal ratio);

// Index of the "name=value" line for Name in Lines (names ignore case); -1 when none.
int IndexOfName(const QStringList& lines, const QString& name);
// Value text of the line for Name (everything after the first "="); none when missing.
std::optional<QString> ValueOfName(const QStringList& lines, const QString& name);
