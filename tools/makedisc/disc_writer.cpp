#include "tools/makedisc/disc_writer.h"
#include "imaging/ilib.h"
#include "platform/paths.h"
#include "suite/iprot/iprot.h"
#include "tools/makedisc/disc_scene.h"
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace MakeDisc {

int QualityFactorFor(int jpegQuality) {
    int best = 2, bestDistance = 1 << 30;
    for (int factor = 2; factor <= 255; ++factor) {
        const int distance = std::abs(QualityFactorToJpegQuality(factor) - jpegQuality);
        if (distance < bestDistance) {
            best = factor;
            bestDistance = distance;
        }
    }
    return best;
}

QImage ReadUprightPhoto(const QString& path, QString& error) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Large camera files exceed Qt's default limit; the budget in WriteRoll
    // keeps the total in check instead.
    reader.setAllocationLimit(2048);
    QImage image = reader.read();
    if (image.isNull()) {
        error = reader.errorString();
        return image;
    }
    // The disc's copies carry no colour profile, so viewers take them as
    // sRGB: convert before the precision is cut to 8 bits.
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb)) {
        image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
        if (image.isNull()) {
            error = QStringLiteral("not enough memory to convert the colours");
            return image;
        }
    }
    if (image.hasAlphaChannel()) {
        // Transparent parts would turn black in a JPEG; lay them on white.
        QImage flat(image.size(), QImage::Format_RGB32);
        if (flat.isNull()) {
            error = QStringLiteral("not enough memory to convert the picture");
            return flat;
        }
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = std::move(flat);
    }
    // The result is upright: the disc's copies carry no orientation tag.
    image = image.convertToFormat(QImage::Format_RGB888);
    if (image.isNull()) error = QStringLiteral("not enough memory to convert the picture");
    return image;
}

namespace {

// Bounds the pixel memory of photos being worked on at once, so that many
// threads reading large camera files cannot exhaust memory. A photo larger
// than the whole budget still runs, alone.
class TMemoryBudget {
public:
    explicit TMemoryBudget(qint64 capacity) : FCapacity(capacity) {}
    void Acquire(qint64 bytes) {
        std::unique_lock lock(FMutex);
        FFreed.wait(lock, [&] { return FUsed == 0 || FUsed + bytes <= FCapacity; });
        FUsed += bytes;
    }
    void Release(qint64 bytes) {
        {
            std::lock_guard lock(FMutex);
            FUsed -= bytes;
        }
        FFreed.notify_all();
    }

private:
    const qint64 FCapacity;
    qint64 FUsed = 0;
    std::mutex FMutex;
    std::condition_variable FFreed;
};

class TBudgetLease {
public:
    TBudgetLease(TMemoryBudget& budget, qint64 bytes) : FBudget(budget), FBytes(bytes) {
        FBudget.Acquire(FBytes);
    }
    ~TBudgetLease() { FBudget.Release(FBytes); }
    TBudgetLease(const TBudgetLease&) = delete;
    TBudgetLease& operator=(const TBudgetLease&) = delete;

private:
    TMemoryBudget& FBudget;
    const qint64 FBytes;
};

enum class TOutcome { Written, Skipped, Failed };

struct TFrameResult {
    TOutcome Outcome = TOutcome::Failed;
    QString Message;
    int Files = 0;
};

QString LevelFolder(const QString& rollFolder, TLevel level) {
    return rollFolder + SizeFolderOf(level);
}

QString SaveLevel(BITMAPHANDLE& bitmap, const QString& path, TVariant variant, int factor) {
    if (variant == TVariant::None) {
        const int rc = L_SaveBitmap(path, &bitmap, FILE_JFIF, 24, factor);
        if (rc != SUCCESS)
            return QStringLiteral("cannot write %1: %2").arg(path, ImagingErrorText(rc));
        return {};
    }
    QByteArray jpeg;
    const int rc = L_SaveBitmapMemory(jpeg, &bitmap, FILE_JFIF, 24, factor);
    if (rc != SUCCESS)
        return QStringLiteral("cannot encode %1: %2").arg(path, ImagingErrorText(rc));
    const QByteArray file = variant == TVariant::A ? IProt::MakeVariantA(jpeg, 0)
                                                   : IProt::MakeVariantB(jpeg, 0);
    if (file.isEmpty()) return QStringLiteral("cannot make the variant file %1").arg(path);
    if (!Platform::WriteFileAtomically(path, file))
        return QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

bool Cancelled(const TWriteSettings& settings) {
    return settings.Cancel != nullptr && settings.Cancel->load();
}

TFrameResult ProcessFrame(const TRollPlan& roll, const TFrameJob& job, const QString& rollFolder,
                          const TWriteSettings& settings, TMemoryBudget& budget,
                          const std::atomic<bool>& stop) {
    TFrameResult result;
    QImage picture;
    std::unique_ptr<TBudgetLease> lease;
    if (job.IsDemo) {
        picture = DrawDemoScene(job.Demo).convertToFormat(QImage::Format_RGB888);
        if (picture.isNull()) {
            result.Message = QStringLiteral("not enough memory to draw %1").arg(job.FileName);
            return result;
        }
    } else {
        const QSize header = QImageReader(job.Source).size();
        const qint64 estimate = header.isValid() ? qint64(header.width()) * header.height() * 8
                                                 : qint64(64) << 20;
        lease = std::make_unique<TBudgetLease>(budget, estimate);
        QString error;
        picture = ReadUprightPhoto(job.Source, error);
        if (picture.isNull()) {
            result.Outcome = TOutcome::Skipped;
            result.Message = QStringLiteral("cannot be read: %1").arg(error);
            return result;
        }
    }
    const QSize original = picture.size();

    BITMAPHANDLE current;
    current.Image = std::move(picture);
    current.BitsPerPixel = 24;
    for (TLevel level = LastLevel; level >= FirstLevel; --level) {
        if (!roll.Levels.Contains(level)) continue;
        if (stop.load() || Cancelled(settings)) {
            result.Message = QStringLiteral("stopped");
            return result;
        }
        const QSize target =
            job.IsDemo ? LevelBox(level, job.Demo.Portrait) : FitIntoLevel(original, level);
        if (target != current.Image.size()) {
            // Each size is reduced from the next larger one: far less work than
            // from the original, and with area averaging nearly the same result.
            BITMAPHANDLE next = current;
            const int rc = L_ResampleBitmap(&next, target.width(), target.height());
            if (rc != SUCCESS) {
                result.Message = QStringLiteral("cannot reduce %1 to %2 x %3: %4")
                                     .arg(job.FileName)
                                     .arg(target.width())
                                     .arg(target.height())
                                     .arg(ImagingErrorText(rc));
                return result;
            }
            current = std::move(next);
        }
        const QString error = SaveLevel(current, LevelFolder(rollFolder, level) + job.FileName,
                                        job.Variant, settings.QualityFactor);
        if (!error.isEmpty()) {
            result.Message = error;
            return result;
        }
        ++result.Files;
    }
    result.Outcome = TOutcome::Written;
    return result;
}

// Closes the gaps that skipped photos leave: <prefix>-<n>.jpg renamed so
// that the written photos are numbered 1, 2, ... in their original order.
QString Renumber(const TRollPlan& roll, const QString& rollFolder,
                 const std::vector<TFrameResult>& results) {
    int number = 0;
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i].Outcome != TOutcome::Written) continue;
        ++number;
        const QString to = roll.Prefix + '-' + QString::number(number) + QStringLiteral(".jpg");
        const QString& from = roll.Frames[int(i)].FileName;
        if (from == to) continue;
        for (TLevel level = FirstLevel; level <= LastLevel; ++level) {
            if (!roll.Levels.Contains(level)) continue;
            const QString folder = LevelFolder(rollFolder, level);
            // The roll is written into a fresh folder and numbers only go down,
            // so the new name is free.
            if (std::rename(QFile::encodeName(folder + from).constData(),
                            QFile::encodeName(folder + to).constData()) != 0)
                return QStringLiteral("cannot rename %1 to %2: %3")
                    .arg(folder + from, to, QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    return {};
}

} // namespace

TRollReport WriteRoll(const TRollPlan& roll, const TWriteSettings& settings) {
    TRollReport report;
    const QString rollFolder = settings.PicturesFolder + roll.Name + '/';
    for (TLevel level = FirstLevel; level <= LastLevel; ++level) {
        if (!roll.Levels.Contains(level)) continue;
        if (!QDir().mkpath(LevelFolder(rollFolder, level))) {
            report.Failure = QStringLiteral("cannot create the folder %1").arg(LevelFolder(rollFolder, level));
            return report;
        }
    }

    const int count = int(roll.Frames.size());
    std::vector<TFrameResult> results(static_cast<size_t>(count));
    std::atomic<int> nextJob{0};
    std::atomic<bool> stop{false};
    TMemoryBudget budget(qint64(1536) << 20);
    std::mutex progressMutex;
    int done = 0;
    const auto worker = [&] {
        for (;;) {
            if (Cancelled(settings)) stop = true;
            const int i = nextJob.fetch_add(1);
            if (i >= count || stop.load()) return;
            TFrameResult& r = results[size_t(i)];
            try {
                r = ProcessFrame(roll, roll.Frames[i], rollFolder, settings, budget, stop);
            } catch (const std::exception& e) {
                r = TFrameResult{TOutcome::Failed, QStringLiteral("%1: %2").arg(roll.Frames[i].FileName, QString::fromLocal8Bit(e.what())), 0};
            }
            if (r.Outcome == TOutcome::Failed) {
                stop = true;
            } else if (settings.Progress) {
                const TFrameJob& job = roll.Frames[i];
                const QString name = job.IsDemo ? job.FileName : QFileInfo(job.Source).fileName();
                std::lock_guard lock(progressMutex);
                settings.Progress(++done, count, name, r.Outcome == TOutcome::Written);
            }
        }
    };
    const int threads = std::clamp(settings.Threads, 1, std::max(count, 1));
    {
        std::vector<std::thread> pool;
        pool.reserve(size_t(threads - 1));
        for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
        worker();  // this thread works too
        for (std::thread& t : pool) t.join();
    }

    bool skipped = false;
    for (int i = 0; i < count; ++i) {
        const TFrameResult& r = results[size_t(i)];
        report.Files += r.Files;
        switch (r.Outcome) {
        case TOutcome::Written: ++report.Photos; break;
        case TOutcome::Skipped:
            skipped = true;
            report.Skipped << roll.Frames[i].Source;
            report.SkipReasons << r.Message;
            break;
        case TOutcome::Failed:
            // Frames never started after a stop carry no message of their own.
            if (report.Failure.isEmpty() && !r.Message.isEmpty() && r.Message != QLatin1String("stopped"))
                report.Failure = r.Message;
            break;
        }
    }
    if (report.Failure.isEmpty() && stop.load()) report.Failure = QStringLiteral("stopped");
    if (!report.Failure.isEmpty()) return report;

    if (skipped) report.Failure = Renumber(roll, rollFolder, results);
    if (report.Photos == 0) {
        // Only empty folders go; anything else in them is left alone.
        for (TLevel level = FirstLevel; level <= LastLevel; ++level)
            if (roll.Levels.Contains(level)) QDir().rmdir(LevelFolder(rollFolder, level));
        QDir().rmdir(rollFolder);
    }
    return report;
}

} // namespace MakeDisc
