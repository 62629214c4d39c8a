#include "tools/makedisc/disc_folder.h"
#include "platform/paths.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MakeDisc {

namespace {

constexpr qint64 SectorBytes = 2048;
// Inside the disc folder: the working folder of a run, and in it the record
// of a commit under way; the same record marks each new tree's top folder
// while the trees are swapped.
constexpr const char* WorkName = ".make-disc-work";
constexpr const char* RunRecord = "run";
constexpr const char* CommitRecord = "commit";
constexpr const char* NewTreeMark = ".make-disc-new";
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

namespace {

QByteArray Native(const QString& path) { return QFile::encodeName(Trimmed(path)); }

// Removes Name in the folder Parent (a descriptor) with everything below it,
// never following a link: a link is removed as the link it is.
bool RemoveAt(int parent, const char* name) {
    if (::unlinkat(parent, name, 0) == 0 || errno == ENOENT) return true;
    if (errno != EISDIR && errno != EPERM) return false;
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        ok = RemoveAt(::dirfd(dir), entry->d_name) && ok;
    }
    ::closedir(dir);
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 && ok;
}

bool RemoveTree(const QString& path) {
    const QString trimmed = Trimmed(path);
    const qsizetype slash = trimmed.lastIndexOf('/');
    const int parent = ::open(Native(slash > 0 ? trimmed.left(slash) : QStringLiteral("/")).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) return false;
    const bool ok = RemoveAt(parent, QFile::encodeName(trimmed.mid(slash + 1)).constData());
    ::close(parent);
    return ok;
}

// A small file's text, read without following a link; empty when it is
// not a plain file.
QByteArray ReadRecord(const QString& path) {
    const int fd = ::open(Native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat st {};
    QByteArray text;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < 256) {
        text.resize(qsizetype(st.st_size));
        if (::read(fd, text.data(), size_t(text.size())) != st.st_size) text.clear();
    }
    ::close(fd);
    return text.trimmed();
}

bool IsRealFolder(const QString& path) {
    struct stat st {};
    return ::lstat(Native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Marked(const QString& tree, const QString& run) {
    return IsRealFolder(tree) && ReadRecord(tree + '/' + QLatin1String(NewTreeMark)) == run.toLatin1();
}

// Swaps two paths in one step; false with errno EINVAL (or ENOSYS) where
// the file system cannot.
bool Exchange(const QString& a, const QString& b) {
    return ::renameat2(AT_FDCWD, Native(a).constData(), AT_FDCWD, Native(b).constData(), RENAME_EXCHANGE) == 0;
}

bool ExchangeUnsupported(int error) { return error == EINVAL || error == ENOSYS || error == ENOTSUP; }

QString SystemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

} // namespace

void TestStopPoint(const char* step) {
    if (qgetenv("MAKE_DISC_TEST_STOP_AT") != step) return;
    std::fprintf(stderr, "make-disc: test stop at %s\n", step);
    std::fflush(stderr);
    for (;;) ::pause();
}

TDiscBuild::~TDiscBuild() {
    if (!FWork.isEmpty() && !FCommitted && !FKeepWork) RemoveTree(FWork);
    if (!FCommitted) RemoveCreatedParents();
    if (FLock >= 0) ::close(FLock);
}

void TDiscBuild::RemoveCreatedParents() {
    if (FCreatedFrom.isEmpty()) return;
    // Only folders left empty go, from the disc folder up.
    QString folder = Trimmed(FDisc);
    while (folder.startsWith(FCreatedFrom) && QDir().rmdir(folder) && folder != FCreatedFrom)
        folder = QFileInfo(folder).absolutePath();
}

bool TDiscBuild::Take(const QString& disc, bool create, QString& error) {
    if (FLock >= 0) return true;
    const QFileInfo info(disc);
    // Through a link to the real folder: the work must lie on the disc's own file system.
    const QString target = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    FDisc = Platform::WithTrailingSlash(target);
    if (!info.exists()) {
        if (!create) return true;
        QString top = target;
        while (!QFileInfo::exists(QFileInfo(top).absolutePath())) top = QFileInfo(top).absolutePath();
        if (!QDir().mkpath(target)) {
            error = QStringLiteral("cannot create the folder %1").arg(target);
            return false;
        }
        FCreatedFrom = top;
    }
    FLock = ::open(Native(FDisc).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (FLock < 0) {
        error = QStringLiteral("cannot open the folder %1: %2").arg(target, SystemError());
        return false;
    }
    if (::flock(FLock, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? QStringLiteral("another make-disc is writing to %1").arg(target)
                                     : QStringLiteral("cannot lock the folder %1: %2").arg(target, SystemError());
        return false;
    }
    FWork = FDisc + QLatin1String(WorkName) + '/';
    FNew = FWork + QStringLiteral("new/");
    FOld = FWork + QStringLiteral("old/");
    return true;
}

// The new tree goes in and the old one (if any) out into the working folder.
// Safe to repeat after a kill: where each tree is and which one carries this
// run's mark tells how far it had come.
bool TDiscBuild::PutInPlace(const QString& tree, QString& error) {
    const QString built = FNew + tree, placed = FDisc + tree, aside = FOld + tree;
    if (Marked(built, FRun)) {
        if (!Exists(placed)) return Rename(built, placed, error);
        if (!QDir().mkpath(FOld)) {
            error = QStringLiteral("cannot create the folder %1").arg(FOld);
            return false;
        }
        if (Exchange(built, placed)) {
            TestStopPoint(qPrintable(QStringLiteral("swapped ") + tree));
            return Rename(built, aside, error);
        }
        if (!ExchangeUnsupported(errno)) {
            error = QStringLiteral("cannot swap %1 and %2: %3").arg(Trimmed(built), placed, SystemError());
            return false;
        }
        // Without a swap in one step the disc lacks the tree between these two.
        return Rename(placed, aside, error) && Rename(built, placed, error);
    }
    if (Marked(placed, FRun) && Exists(built)) return Rename(built, aside, error);
    return true;
}

// PutInPlace undone, for a commit that cannot go on.
bool TDiscBuild::TakeOut(const QString& tree) {
    const QString built = FNew + tree, placed = FDisc + tree, aside = FOld + tree;
    QString ignored;
    if (!Marked(placed, FRun)) return !Exists(aside) || Exists(placed) || Rename(aside, placed, ignored);
    if (Exists(built)) return Exchange(built, placed);  // the old tree was still there
    if (!Rename(placed, built, ignored)) return false;
    return !Exists(aside) || Rename(aside, placed, ignored);
}

// After every tree is in place: the marks go, then the old trees as far as
// their list names them, then the working folder.
bool TDiscBuild::Finish(QStringList& warnings) {
    for (const char* tree : OwnedTrees) ::unlink(Native(FDisc + QLatin1String(tree) + '/' + QLatin1String(NewTreeMark)));
    FCommitted = true;
    const QStringList left = IsRealFolder(FOld) ? RemoveListed(FOld) : QStringList();
    if (left.isEmpty()) QDir().rmdir(Trimmed(FOld));
    if (!left.isEmpty()) {
        QString kept = FDisc + QStringLiteral(".make-disc-kept");
        for (int n = 2; Exists(kept); ++n) kept = FDisc + QStringLiteral(".make-disc-kept-%1").arg(n);
        QString ignored;
        if (!Rename(FOld, kept, ignored)) kept = FOld;
        warnings << QStringLiteral("the earlier disc held files make-disc had not written; they are kept in %1: %2")
                        .arg(Platform::WithTrailingSlash(kept),
                             QStringList(left.mid(0, 5)).join(QStringLiteral(", ")) +
                                 (left.size() > 5 ? QStringLiteral(", ...") : QString()));
    }
    if (Exists(FOld) || !RemoveTree(FWork)) {
        warnings << QStringLiteral("cannot remove the working folder %1").arg(FWork);
        return false;
    }
    return true;
}

bool TDiscBuild::Recover(const QString& disc, QStringList& notes, QString& error) {
    if (!Take(disc, false, error)) return false;
    if (FLock < 0) return true;  // no disc folder yet
    if (!Exists(FWork)) return true;
    const QString work = Trimmed(FWork);
    const QByteArray run = ReadRecord(FWork + QLatin1String(RunRecord));
    if (!IsRealFolder(FWork) || (run.isEmpty() && !QDir().rmdir(work))) {
        error = QStringLiteral("%1 is not a working folder of make-disc; move it away").arg(work);
        return false;
    }
    if (run.isEmpty()) return true;  // made and left empty
    FRun = QString::fromLatin1(run);
    if (ReadRecord(FWork + QLatin1String(CommitRecord)) != run) {
        if (!RemoveTree(FWork)) {
            error = QStringLiteral("cannot remove %1: %2").arg(work, SystemError());
            return false;
        }
        notes << QStringLiteral("an earlier run was stopped before its disc was complete; what it had "
                                "written (%1) is removed, the disc is as it was before that run")
                     .arg(work);
        return true;
    }
    for (const char* tree : OwnedTrees) {
        if (!PutInPlace(QLatin1String(tree), error)) {
            error = QStringLiteral("an earlier run was stopped while it put its disc in place, and it "
                                   "cannot be finished: %1; its folders are in %2")
                        .arg(error, work);
            FKeepWork = true;
            return false;
        }
    }
    QStringList warnings;
    Finish(warnings);
    notes << QStringLiteral("an earlier run was stopped while it put its disc in place; that is finished now, "
                            "the disc holds what it wrote");
    notes += warnings;
    FCommitted = false;  // this run's own build is still to come
    return true;
}

bool TDiscBuild::Begin(const QString& disc, QString& error) {
    if (!Take(disc, true, error)) return false;
    if (::mkdir(Native(FWork).constData(), 0700) != 0) {
        error = QStringLiteral("cannot create a working folder in %1: %2").arg(Trimmed(FDisc), SystemError());
        RemoveCreatedParents();
        return false;
    }
    FRun = QString::number(QRandomGenerator::system()->generate64(), 16);
    if (!Platform::WriteFileAtomically(FWork + QLatin1String(RunRecord), FRun.toLatin1() + '\n', 0600) ||
        !QDir().mkpath(FNew)) {
        error = QStringLiteral("cannot write in the working folder %1: %2").arg(FWork, SystemError());
        return false;
    }
    return true;
}

bool TDiscBuild::Commit(QString& error, QStringList& warnings) {
    QStringList files{QLatin1String(ManifestPath)};
    for (const char* tree : OwnedTrees) {
        QDirIterator it(FNew + QLatin1String(tree), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) files << it.next().mid(FNew.size());
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    QByteArray manifest(ManifestHeader);
    for (const QString& file : files) manifest += EncodeLine(file) + '\n';
    if (!QDir().mkpath(QFileInfo(FNew + QLatin1String(ManifestPath)).absolutePath()) ||
        !Platform::WriteFileAtomically(FNew + QLatin1String(ManifestPath), manifest)) {
        error = QStringLiteral("cannot write %1: %2").arg(FNew + QLatin1String(ManifestPath), SystemError());
        return false;
    }
    // From the commit record on, a run stopped at any moment is finished by the next one.
    for (const char* tree : OwnedTrees) {
        const QString top = FNew + QLatin1String(tree);
        if (Exists(top) && !Platform::WriteFileAtomically(top + '/' + QLatin1String(NewTreeMark), FRun.toLatin1() + '\n')) {
            error = QStringLiteral("cannot write in %1: %2").arg(top, SystemError());
            return false;
        }
    }
    if (!Platform::WriteFileAtomically(FWork + QLatin1String(CommitRecord), FRun.toLatin1() + '\n', 0600)) {
        error = QStringLiteral("cannot write in the working folder %1: %2").arg(FWork, SystemError());
        return false;
    }
    TestStopPoint("commit");
    QStringList placed;
    for (const char* treeName : OwnedTrees) {
        const QString tree = QLatin1String(treeName);
        if (!PutInPlace(tree, error)) {
            bool undone = TakeOut(tree);
            for (const QString& earlier : placed) undone = TakeOut(earlier) && undone;
            ::unlink(Native(FWork + QLatin1String(CommitRecord)));
            if (!undone) {
                FKeepWork = true;
                error += QStringLiteral("; the earlier disc's folders may be in %1").arg(FOld);
            }
            return false;
        }
        placed << tree;
        TestStopPoint(qPrintable(QStringLiteral("placed ") + tree));
    }
    Finish(warnings);
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
