#include "tools/makedisc/disc_plan.h"
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QImageReader>
#include <algorithm>
#include <cmath>

namespace MakeDisc {

TLevelSet AllLevels() {
    TLevelSet all;
    for (int level = FirstLevel; level <= LastLevel; ++level) all.Include(level);
    return all;
}

TLevel LevelByName(const QString& name) {
    for (int level = FirstLevel; level <= LastLevel; ++level)
        if (name.compare(QLatin1String(SizeFolderNames[size_t(level)]), Qt::CaseInsensitive) == 0)
            return TLevel(level);
    return 0;
}

QSize LevelBox(TLevel level, bool portrait) {
    const auto& box = LevelBoxes[level];
    return portrait ? QSize(box[1], box[0]) : QSize(box[0], box[1]);
}

QSize FitIntoLevel(QSize source, TLevel level) {
    if (source.width() <= 0 || source.height() <= 0) return {};
    const QSize box = LevelBox(level, source.height() > source.width());
    if (source.width() <= box.width() && source.height() <= box.height()) return source;
    const double scale = std::min(double(box.width()) / source.width(),
                                  double(box.height()) / source.height());
    const int w = std::clamp(int(std::lround(source.width() * scale)), 1, box.width());
    const int h = std::clamp(int(std::lround(source.height() * scale)), 1, box.height());
    return {w, h};
}

QString RollPrefix(const QString& rollName) {
    QString prefix;
    for (QChar c : rollName) {
        const char16_t u = c.toLower().unicode();
        if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')) prefix += QChar(u);
        if (prefix.size() == 16) break;
    }
    return prefix.isEmpty() ? QStringLiteral("roll") : prefix;
}

QStringList DemoFrameNames(int count, int halfFrameAfter) {
    static const char* const leaders[] = {"XX", "X", "00", "0"};
    QStringList names;
    for (int i = 0; i < 4 && names.size() < count; ++i) names << QLatin1String(leaders[i]);
    for (int n = 1; names.size() < count; ++n) {
        names << QString::number(n);
        if (n == halfFrameAfter && names.size() < count) names << QString::number(n) + 'A';
    }
    return names;
}

void AssignVariants(TRollPlan& roll, int count) {
    const int frames = int(roll.Frames.size());
    count = std::clamp(count, 0, frames);
    for (int i = 0; i < count; ++i) {
        // Spread over the roll so that variant files sit between plain ones.
        const int at = int(qint64(i) * frames / count);
        roll.Frames[at].Variant = (i % 2 == 0) ? TVariant::A : TVariant::B;
    }
}

namespace {

struct TDemoRoll {
    const char* Name;
    const char* Prefix;
    TScene Scene;
    bool LacksSome;  // no Medium and no ExLarge
};

// The second roll lacks two size folders so that the viewer's zoom has a gap
// to step over.
const TDemoRoll DemoRolls[] = {
    {"Coast 2019", "coast", TScene::Coast, false},
    {"City Walk", "city", TScene::City, true},
    {"Garden", "garden", TScene::Garden, false},
    {"Mountain Trail", "mount", TScene::Mountain, false},
    {"Harbour Lights", "harbour", TScene::Coast, false},
    {"Old Town", "town", TScene::City, false},
    {"Autumn Park", "park", TScene::Garden, false},
};
constexpr int DemoRollCount = int(sizeof(DemoRolls) / sizeof(DemoRolls[0]));

QFont LabelFont(int pixelSize) {
    static const bool registered = [] {
        if (QFontDatabase::families().contains(QStringLiteral("DejaVu Sans"))) return true;
        // Without fontconfig the offscreen platform may not know the font yet.
        return QFontDatabase::addApplicationFont(
                   QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf")) >= 0;
    }();
    (void)registered;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(pixelSize);
    return font;
}

// Text as a path placed with its top-left (Right false) or bottom-right
// corner (Right true) at Corner.
QPainterPath TextPath(const QString& text, int pixelSize, QPointF corner, bool right) {
    QPainterPath path;
    path.addText(QPointF(0, 0), LabelFont(pixelSize), text);
    const QRectF bounds = path.boundingRect();
    const QPointF at = right ? corner - bounds.bottomRight() : corner - bounds.topLeft();
    path.translate(at);
    return path;
}

TDemoFrame MakeDemoFrame(const TDemoRoll& roll, const QString& rollName, const QString& frame,
                         int rollIndex, int frameIndex) {
    TDemoFrame f;
    f.Scene = roll.Scene;
    f.Seed = unsigned(rollIndex) * 7919u + unsigned(frameIndex) * 104729u + 17u;
    f.Portrait = (frameIndex + rollIndex) % 5 == 2;
    const QSize size = LevelBox(LastLevel, f.Portrait);
    const int side = std::min(size.width(), size.height());
    const double margin = side * 0.045;
    f.RollLabel = TextPath(rollName, int(side * 0.1), QPointF(margin, margin), false);
    f.FrameLabel = TextPath(frame, int(side * 0.24),
                            QPointF(size.width() - margin, size.height() - margin), true);
    return f;
}

} // namespace

QList<TRollPlan> MakeDemoPlan(const TDemoOptions& options) {
    QList<TRollPlan> plan;
    for (int r = 0; r < options.Rolls; ++r) {
        const TDemoRoll& demo = DemoRolls[r % DemoRollCount];
        TRollPlan roll;
        if (r < DemoRollCount) {
            roll.Name = QString::fromLatin1(demo.Name);
            roll.Prefix = QString::fromLatin1(demo.Prefix);
        } else {
            roll.Name = QStringLiteral("Roll %1").arg(r + 1);
            roll.Prefix = QStringLiteral("roll%1").arg(r + 1);
        }
        roll.Levels = {};
        for (int level = FirstLevel; level <= LastLevel; ++level) {
            const bool lacking = demo.LacksSome && (level == 4 || level == 6);
            if (options.Levels.Contains(level) && !lacking) roll.Levels.Include(level);
        }
        // A roll asked only for sizes it lacks still gets them: a roll without
        // any size folder would show no photos.
        if (roll.Levels.IsEmpty()) roll.Levels = options.Levels;

        static const int defaultCounts[] = {14, 12, 16};
        const int count = options.Frames > 0 ? options.Frames : defaultCounts[r % 3];
        const QStringList names = DemoFrameNames(count, 3 + (r % 3) * 2);
        for (int i = 0; i < names.size(); ++i) {
            TFrameJob job;
            job.FileName = roll.Prefix + '-' + names[i] + QStringLiteral(".jpg");
            job.IsDemo = true;
            job.Demo = MakeDemoFrame(demo, roll.Name, names[i], r, i);
            roll.Frames << job;
        }
        AssignVariants(roll, options.Variants);
        plan << roll;
    }
    return plan;
}

int NaturalCompare(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit()) ++ei;
            while (ej < b.size() && b[ej].isDigit()) ++ej;
            // Compare the runs as numbers of any length: leading zeros dropped,
            // then the longer run is the larger number.
            qsizetype si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            const int c = QStringView(a).mid(si, ei - si).compare(QStringView(b).mid(sj, ej - sj));
            if (c != 0) return c < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const QChar x = a[i].toCaseFolded(), y = b[j].toCaseFolded();
        if (x != y) return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

namespace {

template <size_t N>
bool OneOf(const QString& suffix, const char* const (&list)[N]) {
    return std::any_of(std::begin(list), std::end(list),
                       [&](const char* s) { return suffix == QLatin1String(s); });
}

const char* const PhotoSuffixes[] = {"jpg", "jpeg", "jpe", "jfif", "png", "tif", "tiff"};
const char* const HeifSuffixes[] = {"heic", "heif", "hif", "avif"};
const char* const RawSuffixes[] = {"3fr", "arw", "cr2", "cr3", "crw", "dcr", "dng", "erf", "iiq",
                                   "kdc", "mef", "mos", "mrw", "nef", "nrw", "orf", "pef", "raf",
                                   "raw", "rw2", "rwl", "sr2", "srf", "srw", "x3f"};
const char* const VideoSuffixes[] = {"3gp", "avi", "m2ts", "m4v", "mkv", "mov", "mp4", "mpg", "mts", "wmv"};

// Why a file is not taken, in words a person can act on.
QString LeftOutReason(const QFileInfo& file) {
    const QString suffix = file.suffix().toLower();
    if (OneOf(suffix, HeifSuffixes)) return QStringLiteral("HEIC/HEIF photo, not readable here: export it as JPEG");
    if (OneOf(suffix, RawSuffixes)) return QStringLiteral("camera RAW file: export it as JPEG, PNG or TIFF");
    if (OneOf(suffix, VideoSuffixes)) return QStringLiteral("a video, not a photo");
    // Look inside: a picture in another format, or one under a wrong name.
    const QByteArray format = QImageReader::imageFormat(file.absoluteFilePath()).toUpper();
    if (format == "JPEG" || format == "PNG" || format == "TIFF")
        return QStringLiteral("a %1 picture under another name: rename it to end in .%2")
            .arg(QString::fromLatin1(format), QString::fromLatin1(format == "JPEG" ? "jpg" : format.toLower()));
    if (!format.isEmpty())
        return QStringLiteral("%1 picture: only JPEG, PNG and TIFF files are taken").arg(QString::fromLatin1(format));
    return QStringLiteral("not a photo");
}

// The photos of Dir in name order; every other file and every sub-folder
// (when SubFoldersLeftOut) goes to LeftOut.
QStringList PhotosIn(const QDir& dir, bool subFoldersLeftOut, QList<TLeftOut>& leftOut) {
    // Hidden files (".DS_Store", "._IMG_0001.jpg") are never photos of the roll.
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | (subFoldersLeftOut ? QDir::Dirs : QDir::Filters()) |
                                                        QDir::NoDotAndDotDot,
                                                    QDir::NoSort);
    QStringList photos;
    QList<QFileInfo> others;
    for (const QFileInfo& entry : entries) {
        if (entry.isFile() && IsPhotoFileName(entry.fileName())) photos << entry.fileName();
        else others << entry;
    }
    const auto byName = [](const QString& a, const QString& b) {
        const int c = NaturalCompare(a, b);
        return c != 0 ? c < 0 : a < b;
    };
    std::sort(photos.begin(), photos.end(), byName);
    std::sort(others.begin(), others.end(),
              [&](const QFileInfo& a, const QFileInfo& b) { return byName(a.fileName(), b.fileName()); });
    for (const QFileInfo& other : others) {
        if (other.isDir())
            leftOut << TLeftOut{other.absoluteFilePath() + '/',
                                QStringLiteral("a folder inside a roll folder: only one level of sub-folders becomes rolls")};
        else
            leftOut << TLeftOut{other.absoluteFilePath(), LeftOutReason(other)};
    }
    return photos;
}

TRollPlan PhotoRoll(const QString& name, const QDir& dir, const QStringList& files,
                    TLevelSet levels, int variants) {
    TRollPlan roll;
    roll.Name = name;
    roll.Prefix = RollPrefix(name);
    roll.Levels = levels;
    for (int i = 0; i < files.size(); ++i) {
        TFrameJob job;
        job.FileName = roll.Prefix + '-' + QString::number(i + 1) + QStringLiteral(".jpg");
        job.IsDemo = false;
        job.Source = dir.absoluteFilePath(files[i]);
        roll.Frames << job;
    }
    AssignVariants(roll, variants);
    return roll;
}

} // namespace

bool IsPhotoFileName(const QString& name) {
    return OneOf(QFileInfo(name).suffix().toLower(), PhotoSuffixes);
}

TPhotoPlan MakePhotoPlan(const QString& folder, TLevelSet levels, int variants) {
    TPhotoPlan plan;
    const QFileInfo info(folder);
    if (!info.exists()) {
        plan.Error = QStringLiteral("photos folder %1 does not exist").arg(folder);
        return plan;
    }
    if (!info.isDir()) {
        plan.Error = QStringLiteral("%1 is not a folder").arg(folder);
        return plan;
    }
    const QDir dir(info.absoluteFilePath());
    const QStringList own = PhotosIn(dir, false, plan.LeftOut);
    // One level of sub-folders only: rolls are flat folders of photos.
    QStringList subFolders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(subFolders.begin(), subFolders.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    for (const QString& sub : subFolders) {
        const QDir subDir(dir.absoluteFilePath(sub));
        const QStringList files = PhotosIn(subDir, true, plan.LeftOut);
        if (!files.isEmpty()) plan.Rolls << PhotoRoll(sub, subDir, files, levels, variants);
    }
    if (!own.isEmpty()) {
        QString name = dir.dirName();
        if (name.isEmpty() || name == QLatin1String("/")) name = QStringLiteral("Photos");
        // The viewer finds rolls by name ignoring case; keep the names apart.
        const auto taken = [&](const QString& n) {
            return std::any_of(plan.Rolls.begin(), plan.Rolls.end(), [&](const TRollPlan& r) {
                return r.Name.compare(n, Qt::CaseInsensitive) == 0;
            });
        };
        const QString base = name;
        for (int n = 2; taken(name); ++n) name = QStringLiteral("%1 %2").arg(base).arg(n);
        plan.Rolls.prepend(PhotoRoll(name, dir, own, levels, variants));
    }
    if (plan.Rolls.isEmpty())
        plan.Error = QStringLiteral("no photos (JPEG, PNG or TIFF files) in %1 or in its sub-folders")
                         .arg(dir.absolutePath());
    return plan;
}

} // namespace MakeDisc
