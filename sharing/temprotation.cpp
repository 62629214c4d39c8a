#include "sharing/temprotation.h"
#include "collection/roll.h"
#include "imaging/loading.h"
#include "platform/errors.h"
#include "shell/strings.h"
#include "shell/tracelog.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace {

constexpr int MaxCopyNumber = 1000;

bool Taken(const QString& path) {
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

QString UniqueCopyName(const QString& folder, const QString& fileName) {
    if (folder.isEmpty() || !QDir().mkpath(folder) || !QFileInfo(folder).isDir()) return QString();
    const QString base = folder.endsWith('/') ? folder : folder + '/';
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.indexOf('.');
    const QString head = dot < 0 ? name : name.left(dot);
    // A name without a dot keeps having none.
    const QString tail = dot < 0 ? QString() : name.mid(dot);
    QString candidate = base + head + tail;
    for (int n = 1; n <= MaxCopyNumber && Taken(candidate); ++n)
        candidate = base + head + QStringLiteral(" (%1)").arg(n) + tail;
    return Taken(candidate) ? QString() : candidate;
}

TTempRotationFiles::TTempRotationFiles() = default;

TTempRotationFiles::~TTempRotationFiles() {
    // The folder goes with every copy in it; QTemporaryDir removes it
    // without following a link inside.
    for (const QString& file : FFiles) QFile::remove(file);
}

QString TTempRotationFiles::Folder() const { return FFolder ? FFolder->path() : QString(); }

QString TTempRotationFiles::AddRotatedPhoto(TMedia* photo) {
    const QString best = photo->BestQualityPath();
    return AddRotatedFile(photo, best.isEmpty() ? photo->FullPath() : best);
}

QString TTempRotationFiles::AddRotatedFile(TMedia* photo, const QString& sourcePath) {
    TraceScope trace("TTempRotationFiles.AddRotatedFile");
    const QString shown = QFileInfo(sourcePath).fileName();
    try {
        if (!FFolder) {
            // Made by the user alone (0700), with a name nobody can guess.
            FFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/lumora-send-XXXXXX"));
            if (!FFolder->isValid()) {
                const QString why = FFolder->errorString();
                FFolder.reset();
                throw EError(why);
            }
        }
        const QString path = UniqueCopyName(FFolder->path(), sourcePath);
        if (path.isEmpty()) throw EError(QStringLiteral("No free name for its copy."));
        // Upright by its tag, in sRGB, then turned as the user turned it.
        QString why;
        if (!SaveUprightCopy(sourcePath, path, photo->Rotation, why)) {
            QFile::remove(path);
            throw EError(why);
        }
        FFiles << path;
        return path;
    } catch (const EError& e) {
        throw EError(ResText(TStr::PhotoNotPrepared, {shown, e.Message()}));
    }
}
