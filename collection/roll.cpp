#include "collection/roll.h"
#include "collection/rotation.h"
#include "imaging/ilib.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "shell/tracelog.h"
#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <utility>

QString SizeFolderOf(int level) {
    if (level <= 0 || level >= LevelCount) return QString();
    return QString::fromLatin1(SizeFolderNames[size_t(level)]) + '/';
}

TLevel TLevelSet::Min() const {
    for (int level = 1; level < LevelCount; ++level)
        if (Contains(level)) return TLevel(level);
    return 0;
}

TLevel TLevelSet::Max() const {
    for (int level = LevelCount - 1; level >= 1; --level)
        if (Contains(level)) return TLevel(level);
    return 0;
}

QString FrameNumberKey(const QString& path) {
    QString name = path.mid(path.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0) name.truncate(dot);
    const qsizetype dash = name.indexOf('-');
    if (dash < 0) return name;
    const qsizetype next = name.indexOf('-', dash + 1);
    QString key = next < 0 ? name.mid(dash + 1) : name.mid(dash + 1, next - dash - 1);
    // Half-frame scans carry an "A" after the frame number.
    if (key.endsWith('A') || key.endsWith('a')) key.chop(1);
    // The film's lead frames come before frame 0.
    if (key == QLatin1String("XX")) return QStringLiteral("-3");
    if (key == QLatin1String("X")) return QStringLiteral("-2");
    if (key == QLatin1String("00")) return QStringLiteral("-1");
    return key;
}

std::optional<qint64> FrameNumberOf(const QString& key) {
    bool ok = false;
    const qint64 value = key.toLongLong(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

namespace {

// One per thread: making a collator costs far more than a comparison.
const QCollator& IgnoringCaseCollator() {
    thread_local const QCollator collator = [] {
        QCollator made;  // the user's locale
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator;
}

} // namespace

int CompareTextIgnoringCase(const QString& a, const QString& b) {
    return IgnoringCaseCollator().compare(a, b);
}

int IndexOfName(const QStringList& lines, const QString& name) {
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const qsizetype eq = line.indexOf('=');
        if (eq < 0) continue;
        if (QStringView(line).left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

std::optional<QString> ValueOfName(const QStringList& lines, const QString& name) {
    const int i = IndexOfName(lines, name);
    if (i < 0) return std::nullopt;
    return lines[i].mid(lines[i].indexOf('=') + 1);
}

// ---- TMedia ----------------------------------------------------------------

std::unique_ptr<TMedia> TMedia::Create(TRoll* roll, const QString& fileName,
                                       const QString& folder) {
    std::unique_ptr<TMedia> media(new TMedia(roll));
    media->Folder = Platform::WithTrailingSlash(folder);
    media->FileName = fileName;
    media->Level = roll ? roll->DefaultLevel : 0;
    // A disc roll without size folders keeps its photos in the roll folder.
    media->SizeFolder = SizeFolderOf(media->Level);
    return media;
}

std::unique_ptr<TMedia> TMedia::CreateFromPath(TRoll* roll, const QString& path) {
    std::unique_ptr<TMedia> media(new TMedia(roll));
    const qsizetype slash = path.lastIndexOf('/');
    media->FileName = path.mid(slash + 1);
    media->Folder = slash < 0 ? QString() : path.left(slash + 1);
    media->Level = 0;
    return media;
}

TMedia::~TMedia() = default;

QString TMedia::FullPath() const { return Folder + SizeFolder + FileName; }

QStringList TMedia::SharperPaths() const {
    QStringList paths;
    if (!Roll || Level == 0) return paths;
    for (int level = Level + 1; level < LevelCount; ++level)
        if (Roll->SizesPresent.Contains(level)) paths << Folder + SizeFolderOf(level) + FileName;
    return paths;
}

QString TMedia::BestQualityPath() const {
    if (!Roll) return QString();
    const TLevel best = Roll->SizesPresent.FirstOf(BestSizePreference);
    if (best == 0) return QString();
    return Folder + SizeFolderOf(best) + FileName;
}

TIEBitmap* TMedia::GetImage() {
    if (!Image) {
        std::unique_ptr<TIEBitmap> image = TIEBitmap::CreateFromFile(FullPath(), ColorModeOwnDepth);
        if (image && Rotation != 0) image->Rotate(Rotation);
        Image = std::move(image);
    }
    return Image.get();
}

QString TMedia::ThumbnailSource(int pixels) const {
    // The plain layout has no thumbnail folder: the photo itself is the source.
    if (!Roll || Roll->ThumbFolder.isEmpty()) return FullPath();
    const QString smallest = Roll->ThumbFolder + FileName;
    if (pixels <= ThumbnailSize) return smallest;
    QString largest;
    for (int level = 1; level < LevelCount; ++level) {
        if (!Roll->SizesPresent.Contains(level)) continue;
        largest = Folder + SizeFolderOf(level) + FileName;
        FILEINFO info;
        if (L_FileInfo(largest, &info, 0) == SUCCESS && std::min(info.Width, info.Height) >= pixels) return largest;
    }
    return largest.isEmpty() ? smallest : largest;
}

std::unique_ptr<TThumbnail> TMedia::MakeThumbnail() const {
    const int pixels = Roll ? Roll->ThumbnailPixels() : ThumbnailSize;
    return MakeCenterCutThumbnailFor(ThumbnailSource(pixels), pixels);
}

void TMedia::SetThumbnail(std::unique_ptr<TThumbnail> thumbnail) {
    // Made for the density the window had before it moved to another screen.
    if (thumbnail && Roll && thumbnail->GetSize().width() != Roll->ThumbnailPixels()) thumbnail.reset();
    if (thumbnail && Rotation != 0) {
        try {
            thumbnail->Rotate(Rotation);
        } catch (const EError& e) {
            // Like any other thumbnail failure: the icon stays a black box.
            TraceLog::WarningMsg(QStringLiteral("Thumbnail of %1 not rotated: %2")
                                     .arg(FileName, e.Message()));
            thumbnail.reset();
        }
    }
    Thumbnail = std::move(thumbnail);
    FHasThumbnail.store(Thumbnail != nullptr);
}

void TMedia::LoadThumbnail() { SetThumbnail(MakeThumbnail()); }

void TMedia::FreeThumbnail() {
    Thumbnail.reset();
    FHasThumbnail.store(false);
}

void TMedia::DrawThumbnail(QPainter& canvas, const QRect& rect) const {
    if (Thumbnail)
        Thumbnail->Draw(canvas, rect);
    else
        canvas.fillRect(rect, Qt::black);
}

void TMedia::ResetZoom() {
    ZoomFactor = 1.0;
    ExtraSteps = 0;
    LevelGap = false;
    if (Roll) SetLevel(Roll->DefaultLevel);
    Image.reset();
}

void TMedia::SetLevel(TLevel level) {
    if (level == Level || Level == 0) return;
    Level = level;
    SizeFolder = SizeFolderOf(level);
}

bool TMedia::StepResolution(int delta) {
    const TLevelSet sizes = Roll ? Roll->SizesPresent : TLevelSet();
    const int cur = Level;
    const int maxLevel = sizes.Max();
    const int minLevel = sizes.Min();
    if (ExtraSteps != 0) {
        ExtraSteps += delta;
        if (!LevelGap) return false;
        if (ExtraSteps == 0) {
            LevelGap = false;
            return false;
        }
        const int target = cur + ExtraSteps;
        if (target > maxLevel || target < minLevel) return false;
        if (!sizes.Contains(target)) return false;
        SetLevel(TLevel(target));
        LevelGap = false;
        ExtraSteps = 0;
        return true;
    }
    const bool attempt = (cur > minLevel && cur < maxLevel) || (cur == maxLevel && delta == -1) ||
                         (cur == minLevel && delta == +1);
    if (!attempt) {
        ExtraSteps += delta;
        return false;
    }
    const int target = cur + delta;
    if (sizes.Contains(target)) {
        SetLevel(TLevel(target));
        ExtraSteps = 0;
        return true;
    }
    ExtraSteps += delta;
    LevelGap = true;
    return false;
}

bool TMedia::CanZoomIn() const {
    const int maxLevel = Roll ? Roll->SizesPresent.Max() : 0;
    return ExtraSteps < 2 || Level != maxLevel;
}

bool TMedia::CanZoomOut() const {
    const int minLevel = Roll ? Roll->SizesPresent.Min() : 0;
    return ExtraSteps > -2 || Level != minLevel;
}

// ---- TRoll -----------------------------------------------------------------

TRoll::TRoll(bool useSizeFolders, QString name, QString folder, TThumbnailEvent onThumbnail)
    : Name(std::move(name)),
      Folder(Platform::WithTrailingSlash(folder)),
      OnThumbnail(std::move(onThumbnail)),
      UseSizeFolders(useSizeFolders),
      FContext(std::make_unique<QObject>()) {}

TRoll::~TRoll() {
    // The loader stops first (it may be using a task and a photo), then the
    // tasks go, so that nothing refers to a freed photo.
    Loader.reset();
    RollThumbCache().Remove(this);
    Tasks.clear();
    // The roll list writes first and tells the user of a failure; this is the
    // last chance for a roll freed any other way.
    SaveRotationsIfChanged();
    Rotations.clear();
    Media.clear();
}

void TRoll::Prepare() {
    TraceScope trace("TRoll.Prepare");
    if (!Scanned) {
        Scanned = true;
        FindSizes();
        ChooseDefaultLevel();
        LoadRotations();
        ScanFiles();
    }
    if (!Queued) {
        RollThumbCache().Touch(this);
        SetSorted(true);
        {
            // Behind any tasks still pending from before the thumbnails were freed.
            std::lock_guard lock(TasksLock);
            for (int i = 0; i < Count(); ++i) Tasks.push_back(std::make_unique<TTask>(Items(i), i));
        }
        Queued = true;
    }
}

void TRoll::StartThumbLoader() {
    {
        std::lock_guard lock(TasksLock);
        if (Tasks.empty()) return;
    }
    // A loader that ran out of tasks but has not been freed yet will not see
    // the new ones: it makes way for a new loader.
    if (Loader && Loader->Finished()) Loader.reset();
    if (!Loader) {
        Loader = std::make_unique<TThumbLoaderThread>(
            *this, [this](TThumbLoaderThread* sender, TTask* task) { ThumbnailLoaded(sender, task); },
            [this](TThumbLoaderThread* sender) { LoaderEnded(sender); });
        Loader->Start();
    } else if (Loader->Paused()) {
        Loader->Resume();
    }
}

void TRoll::PauseThumbLoader() {
    if (Loader) Loader->Pause();
}

TLoaderPriority TRoll::LoaderPriority() const {
    return Loader ? Loader->Priority() : QThread::IdlePriority;
}

void TRoll::SetLoaderPriority(TLoaderPriority priority) {
    if (Loader) Loader->SetPriority(priority);
}

void TRoll::ThumbnailLoaded(TThumbLoaderThread*, TTask* task) {
    if (OnThumbnail) OnThumbnail(task);
}

void TRoll::LoaderEnded(TThumbLoaderThread* sender) {
    // The loader's thread has ended; the loader object goes with it.
    if (Loader.get() == sender) Loader.reset();
}

QStringList TRoll::FileList() const {
    QStringList list;
    list.reserve(Count());
    for (const auto& media : Media) list.append(media->FullPath());
    return list;
}

void TRoll::FreeThumbnails() {
    Queued = false;
    for (const auto& media : Media) media->FreeThumbnail();
}

void TRoll::SetThumbnailPixels(int pixels) {
    pixels = std::max(pixels, 1);
    if (FThumbnailPixels.exchange(pixels) == pixels) return;
    FreeThumbnails();
}

int ThumbnailPixelsFor(qreal ratio) { return std::max(ThumbnailSize, int(std::lround(ThumbnailSize * ratio))); }

void TRoll::SetSorted(bool value) {
    if (value && !FSorted) Sort();
    FSorted = value;
}

void TRoll::FindSizes() {
    SizesPresent = TLevelSet();
    ThumbFolder.clear();
    // In the plain layout the photos lie in the program folder itself; a
    // folder there that happens to be called "Small" is not a size folder.
    if (!UseSizeFolders) return;
    const QString rollPath = QFileInfo(Folder).canonicalFilePath();
    for (int level = 1; level < LevelCount; ++level) {
        const QString folder = Folder + QString::fromLatin1(SizeFolderNames[size_t(level)]);
        // Follows symlinks; a dangling link or a link loop is not a folder.
        if (!Platform::DirectoryExists(folder)) continue;
        // Nor is a link back to the roll folder or a folder above it: it holds
        // the size folders, not photos, and going down it never ends.
        const QString target = QFileInfo(folder).canonicalFilePath();
        if (!rollPath.isEmpty() &&
            (target == rollPath || target == QStringLiteral("/") || rollPath.startsWith(target + '/')))
            continue;
        if (SizesPresent.IsEmpty()) ThumbFolder = folder + '/';
        SizesPresent.Include(level);
    }
}

void TRoll::ChooseDefaultLevel() { DefaultLevel = SizesPresent.FirstOf(ViewSizePreference); }

QString TRoll::ScanFolder() const {
    return UseSizeFolders ? Folder + SizeFolderOf(DefaultLevel) : Folder;
}

void TRoll::ScanFiles() {
    TraceScope trace("TRoll.ScanFiles");
    // "*.jpg" matches ".jpg" and ".JPG" alike, as on the disc's own file
    // system. Only regular files count (symlinks followed): a folder or a
    // FIFO named like a photo is skipped. Hidden (dot) files are skipped too.
    // Names that are not valid UTF-8 are not listed by Qt at all, since they
    // could not be opened again through a QString path; they are counted so
    // that the user can be told some photos are missing.
    const QDir dir(ScanFolder());
    const QFileInfoList entries = dir.entryInfoList(
        QStringList{QStringLiteral("*.jpg")}, QDir::Files, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (!entry.isFile()) continue;
        AddFile(entry.fileName());
    }
    LeftOutNames = Platform::CountUnnamableEntries(ScanFolder(), QByteArrayLiteral(".jpg"));
    if (LeftOutNames > 0)
        TraceLog::WarningMsg(QStringLiteral("%1 photo(s) in %2 left out: their names are not valid UTF-8")
                                 .arg(LeftOutNames)
                                 .arg(ScanFolder()));
}

void TRoll::AddFile(const QString& name) {
    std::unique_ptr<TMedia> media =
        UseSizeFolders ? TMedia::Create(this, name, Folder) : TMedia::CreateFromPath(this, Folder + name);
    if (const std::optional<QString> value = ValueOfName(Rotations, name))
        media->Rotation = StoredRotationValue(*value);
    NumericNames = NumericNames && name.contains('-');
    Media.push_back(std::move(media));
}

void TRoll::Sort() {
    TraceScope trace("TRoll.Sort");
    if (Media.size() < 2) return;
    if (NumericNames) {
        std::vector<std::pair<qint64, std::unique_ptr<TMedia>>> keyed;
        keyed.reserve(Media.size());
        bool allNumbers = true;
        for (auto& media : Media) {
            const std::optional<qint64> frame = FrameNumberOf(FrameNumberKey(media->FullPath()));
            if (!frame) {
                allNumbers = false;
                break;
            }
            keyed.emplace_back(*frame, nullptr);
        }
        // A name like "r-ab.jpg" has no frame number: the roll sorts by name
        // instead of failing.
        if (allNumbers) {
            for (size_t i = 0; i < Media.size(); ++i) keyed[i].second = std::move(Media[i]);
            std::sort(keyed.begin(), keyed.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
            for (size_t i = 0; i < Media.size(); ++i) Media[i] = std::move(keyed[i].second);
            return;
        }
    }
    const QCollator& collator = IgnoringCaseCollator();
    std::vector<std::pair<QString, std::unique_ptr<TMedia>>> keyed;
    keyed.reserve(Media.size());
    for (auto& media : Media) {
        QString path = media->FullPath();
        keyed.emplace_back(std::move(path), std::move(media));
    }
    std::sort(keyed.begin(), keyed.end(), [&collator](const auto& a, const auto& b) {
        return collator.compare(a.first, b.first) < 0;
    });
    for (size_t i = 0; i < Media.size(); ++i) Media[i] = std::move(keyed[i].second);
}
