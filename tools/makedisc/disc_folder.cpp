#include "tools/makedisc/disc_folder.h"
#include "platform/paths.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace MakeDisc {

namespace {

constexpr qint64 SectorBytes = 2048;
constexpr const char* ManifestHeader =
    "# make-disc wrote these files; make-disc --force replaces exactly these.\n";

QString Trimmed(const QString& folder) {
    return folder.endsWith('/') && folder.size() > 1 ? folder.chopped(1) : folder;
}

// True for anything at Path, a dangling link included.
bool Exists(const QString& path) {
    const QFileInfo info(Trimmed(path));
    return info.exists() || info.isSymLink();
}

bool Rename(const QString& from, const QString& to, QString& error) {
    if (std::rename(QFile::encodeName(Trimmed(from)).constData(), QFile::encodeName(Trimmed(to)).constData()) == 0)
        return true;
    error = QStringLiteral("cannot move %1 to %2: %3")
                .arg(Trimmed(from), Trimmed(to), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

// One path a line: "%" and line breaks, which names may hold, are escaped.
QByteArray EncodeLine(const QString& path) {
    QByteArray out;
    for (const char c : path.toUtf8()) {
        if (c == '%') out += "%25";
        else if (c == '\n') out += "%0A";
        else if (c == '\r') out += "%0D";
        else out += c;
    }
    return out;
}

// A listed path is used only when it stays inside one of the owned trees.
bool SafeRelativePath(const QString& path) {
    const QStringList parts = path.split('/');
    if (parts.size() < 2) return false;
    if (std::none_of(std::begin(OwnedTrees), std::end(OwnedTrees),
                     [&](const char* tree) { return parts.front() == QLatin1String(tree); }))
        return false;
    return std::none_of(parts.begin(), parts.end(), [](const QString& p) {
        return p.isEmpty() || p == QLatin1String(".") || p == QLatin1String("..");
    });
}

// The files listed in Root's manifest; none when Root has no manifest.
std::optional<QSet<QString>> ReadManifest(const QString& root) {
    const QString path = root + QLatin1String(ManifestPath);
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QSet<QString> listed;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(line));
        if (SafeRelativePath(name)) listed.insert(name);
    }
    return listed;
}

QSet<QString> FoldersAbove(const QSet<QString>& files) {
    QSet<QString> folders;
    for (const QString& file : files)
        for (qsizetype at = file.indexOf('/'); at > 0; at = file.indexOf('/', at + 1))
            folders.insert(file.left(at));
    return folders;
}

// Removes the files Root's manifest names (never through a linked folder),
// then every folder left empty; returns what is left, relative to Root.
QStringList RemoveListed(const QString& root) {
    if (const auto listed = ReadManifest(root)) {
        QSet<QString> realFolders;
        const auto throughRealFolders = [&](const QString& rel) {
            for (qsizetype at = rel.indexOf('/'); at > 0; at = rel.indexOf('/', at + 1)) {
                const QString folder = rel.left(at);
                if (realFolders.contains(folder)) continue;
                const QFileInfo info(root + folder);
                if (info.isSymLink() || !info.isDir()) return false;
                realFolders.insert(folder);
            }
            return true;
        };
        for (const QString& rel : *listed) {
            const QFileInfo info(root + rel);
            if ((info.isSymLink() || !info.isDir()) && throughRealFolders(rel)) QFile::remove(root + rel);
        }
    }
    QStringList folders;
    for (const char* tree : OwnedTrees) {
        const QString top = root + QLatin1String(tree);
        if (!QFileInfo(top).isDir() || QFileInfo(top).isSymLink()) continue;
        QDirIterator it(top, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            if (!it.fileInfo().isSymLink()) folders << it.filePath();
        }
        folders << top;
    }
    // Deepest first, so that each folder is empty when its turn comes.
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.count('/') > b.count('/'); });
    for (const QString& folder : folders) QDir().rmdir(folder);

    QStringList left;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) left << it.next().mid(root.size());
    return left;
}

} // namespace

QStringList ForeignEntries(const QString& disc, int limit) {
    const QString root = Platform::WithTrailingSlash(disc);
    QStringList foreign;
    const auto listed = ReadManifest(root);
    const QSet<QString> folders = listed ? FoldersAbove(*listed) : QSet<QString>();
    for (const char* treeName : OwnedTrees) {
        const QString tree = QLatin1String(treeName);
        const QFileInfo top(root + tree);
        if (!top.exists() && !top.isSymLink()) continue;
        if (!top.isDir() || top.isSymLink() || !folders.contains(tree)) {
            foreign << (top.isDir() && !top.isSymLink() ? tree + '/' : tree);
            if (foreign.size() >= limit) return foreign;
            continue;
        }
        QDirIterator it(root + tree, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString rel = it.next().mid(root.size());
            const QFileInfo info = it.fileInfo();
            const bool realFolder = info.isDir() && !info.isSymLink();
            if (realFolder ? folders.contains(rel) : listed->contains(rel)) continue;
            foreign << (realFolder ? rel + '/' : rel);
            if (foreign.size() >= limit) return foreign;
        }
    }
    return foreign;
}

TDiscBuild::~TDiscBuild() {
    if (FWork.isEmpty() || FCommitted) return;
    if (!FKeepWork) QDir(FWork).removeRecursively();
    RemoveCreatedParents();
}

void TDiscBuild::RemoveCreatedParents() {
    if (FCreatedFrom.isEmpty()) return;
    // Only folders left empty go, from the one above the disc up.
    QString folder = QFileInfo(Trimmed(FDisc)).absolutePath();
    while (folder.startsWith(FCreatedFrom) && QDir().rmdir(folder) && folder != FCreatedFrom)
        folder = QFileInfo(folder).absolutePath();
}

bool TDiscBuild::Begin(const QString& disc, QString& error) {
    const QFileInfo info(disc);
    // Through a link to the real folder: the work must lie on the disc's own file system.
    const QString target = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    FDisc = Platform::WithTrailingSlash(target);
    const QString parent = QFileInfo(target).absolutePath();
    if (!QFileInfo(parent).exists()) {
        QString top = parent;
        while (!QFileInfo(QFileInfo(top).absolutePath()).exists()) top = QFileInfo(top).absolutePath();
        if (!QDir().mkpath(parent)) {
            error = QStringLiteral("cannot create the folder %1").arg(parent);
            return false;
        }
        FCreatedFrom = top;
    }
    QString name = QFileInfo(target).fileName();
    if (name.isEmpty()) name = QStringLiteral("disc");
    QTemporaryDir work(parent + QStringLiteral("/.make-disc-") + name + QStringLiteral("-XXXXXX"));
    if (!work.isValid()) {
        error = QStringLiteral("cannot create a working folder in %1: %2").arg(parent, work.errorString());
        RemoveCreatedParents();
        return false;
    }
    work.setAutoRemove(false);
    FWork = Platform::WithTrailingSlash(work.path());
    return true;
}

bool TDiscBuild::Commit(QString& error, QStringList& warnings) {
    QStringList files{QLatin1String(ManifestPath)};
    for (const char* tree : OwnedTrees) {
        QDirIterator it(FWork + QLatin1String(tree), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) files << it.next().mid(FWork.size());
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    QByteArray manifest(ManifestHeader);
    for (const QString& file : files) manifest += EncodeLine(file) + '\n';
    if (!QDir().mkpath(QFileInfo(FWork + QLatin1String(ManifestPath)).absolutePath()) ||
        !Platform::WriteFileAtomically(FWork + QLatin1String(ManifestPath), manifest)) {
        error = QStringLiteral("cannot write %1: %2")
                    .arg(FWork + QLatin1String(ManifestPath), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }

    const bool discExisted = Exists(FDisc);
    const QString previous = FWork + QStringLiteral("previous/");
    if (!QDir().mkpath(FDisc) || !QDir().mkdir(previous)) {
        error = QStringLiteral("cannot create the folder %1").arg(discExisted ? previous : FDisc);
        return false;
    }
    QStringList movedOut, movedIn;
    const auto rollBack = [&] {
        QString ignored;
        bool ok = true;
        for (const QString& tree : movedIn) ok = Rename(FDisc + tree, FWork + tree, ignored) && ok;
        for (const QString& tree : movedOut) ok = Rename(previous + tree, FDisc + tree, ignored) && ok;
        if (!discExisted) QDir().rmdir(FDisc);
        if (!ok) {
            FKeepWork = true;
            error += QStringLiteral("; the earlier disc's folders are still in %1").arg(previous);
        }
        return false;
    };
    for (const char* treeName : OwnedTrees) {
        const QString tree = QLatin1String(treeName);
        if (!Exists(FDisc + tree)) continue;
        if (!Rename(FDisc + tree, previous + tree, error)) return rollBack();
        movedOut << tree;
    }
    for (const char* treeName : OwnedTrees) {
        const QString tree = QLatin1String(treeName);
        if (!Exists(FWork + tree)) continue;
        if (!Rename(FWork + tree, FDisc + tree, error)) return rollBack();
        movedIn << tree;
    }
    FCommitted = true;

    const QStringList left = RemoveListed(previous);
    if (left.isEmpty()) {
        QDir().rmdir(previous);
        QDir().rmdir(FWork);
    } else {
        warnings << QStringLiteral("the earlier disc held files make-disc had not written; they are kept in %1: %2")
                        .arg(previous, QStringList(left.mid(0, 5)).join(QStringLiteral(", ")) +
                                           (left.size() > 5 ? QStringLiteral(", ...") : QString()));
    }
    return true;
}

qint64 DiscBytes(const QString& folder) {
    // The system area and the volume descriptors come before any file.
    qint64 bytes = 18 * SectorBytes + SectorBytes;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir() && !info.isSymLink()) bytes += SectorBytes;
        else bytes += (std::max<qint64>(info.size(), 0) + SectorBytes - 1) / SectorBytes * SectorBytes;
    }
    return bytes;
}

} // namespace MakeDisc
