#include "platform/safefolder.h"
#include "platform/paths.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <vector>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Platform {

namespace {

// The bytes of a plain name; empty when Name is none.
QByteArray PlainNative(const QString& name) {
    if (!TSafeFolder::IsPlainName(name)) {
        errno = EINVAL;
        return {};
    }
    return QFile::encodeName(name);
}

TSafeFolder::TKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) return TSafeFolder::TKind::File;
    if (S_ISDIR(mode)) return TSafeFolder::TKind::Folder;
    if (S_ISLNK(mode)) return TSafeFolder::TKind::Link;
    return TSafeFolder::TKind::Other;
}

bool WriteAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Chunk by chunk from In to Out; copy_file_range where the kernel offers
// it, plain reads and writes where it does not (another file system on an
// old kernel, a special file system).
bool CopyBytes(int in, int out, qint64 size, const TSafeFolder::TCopyStep& step) {
    qint64 done = 0;
    bool ranged = true;
    std::vector<char> buffer;
    while (done < size) {
        const size_t want = size_t(std::min<qint64>(TSafeFolder::CopyChunkBytes, size - done));
        ssize_t n = -1;
        if (ranged) {
            n = copy_file_range(in, nullptr, out, nullptr, want, 0);
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                ranged = false;
                continue;
            }
        } else {
            buffer.resize(want);
            n = read(in, buffer.data(), want);
            if (n > 0 && !WriteAll(out, buffer.data(), n)) return false;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;  // the file shrank meanwhile: what there was
        done += n;
        if (step && !step(done)) {
            errno = ECANCELED;
            return false;
        }
    }
    return true;
}

// Keeps errno across the clean-up calls of a failure path.
class TErrnoKeeper {
public:
    TErrnoKeeper() : FSaved(errno) {}
    ~TErrnoKeeper() { errno = FSaved; }

private:
    int FSaved;
};

} // namespace

TSafeFolder::~TSafeFolder() {
    if (FFd >= 0) {
        TErrnoKeeper keep;
        close(FFd);
    }
}

TSafeFolder::TSafeFolder(TSafeFolder&& other) noexcept : FFd(other.FFd), FPath(std::move(other.FPath)) {
    other.FFd = -1;
}

TSafeFolder& TSafeFolder::operator=(TSafeFolder&& other) noexcept {
    if (this != &other) {
        if (FFd >= 0) close(FFd);
        FFd = other.FFd;
        FPath = std::move(other.FPath);
        other.FFd = -1;
    }
    return *this;
}

bool TSafeFolder::IsPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains('/') && !name.contains(QChar(0));
}

TSafeFolder TSafeFolder::OpenAt(int dirFd, const QByteArray& name, const QString& path, bool create, int mode) {
    if (create && mkdirat(dirFd, name.constData(), mode_t(mode) & 07777) != 0 && errno != EEXIST) return {};
    // O_NOFOLLOW guards the last name only, which is the one a disc can plant.
    const int fd = openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return {};
    return TSafeFolder(fd, WithTrailingSlash(path));
}

TSafeFolder TSafeFolder::Open(const QString& path, bool create, int mode) {
    // A trailing "/" would make the kernel follow a link in the last name.
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith('/')) trimmed.chop(1);
    if (trimmed.isEmpty() || trimmed.contains(QChar(0))) {
        errno = ENOENT;
        return {};
    }
    return OpenAt(AT_FDCWD, QFile::encodeName(trimmed), trimmed, create, mode);
}

TSafeFolder TSafeFolder::OpenFolder(const QString& name, bool create, int mode) const {
    const QByteArray native = PlainNative(name);
    if (native.isEmpty()) return {};
    if (!IsOpen()) {
        errno = EBADF;
        return {};
    }
    return OpenAt(FFd, native, FPath + name, create, mode);
}

bool TSafeFolder::CanWrite() const {
    return IsOpen() && faccessat(FFd, ".", W_OK | X_OK, AT_EACCESS) == 0;
}

TSafeFolder::TEntry TSafeFolder::Stat(const QString& name) const {
    TEntry entry;
    entry.Name = name;
    const QByteArray native = PlainNative(name);
    if (native.isEmpty()) return entry;
    if (!IsOpen()) {
        errno = EBADF;
        return entry;
    }
    struct stat st {};
    if (fstatat(FFd, native.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) return entry;
    entry.Kind = KindOf(st.st_mode);
    if (entry.Kind == TKind::File) {
        entry.Size = qint64(st.st_size);
        // No write bit at all is the read-only attribute, also for root.
        entry.ReadOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                         faccessat(FFd, native.constData(), W_OK, AT_EACCESS) != 0;
    }
    entry.ModifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return entry;
}

std::vector<TSafeFolder::TEntry> TSafeFolder::List() const {
    std::vector<TEntry> entries;
    if (!IsOpen()) {
        errno = EBADF;
        return entries;
    }
    // A descriptor of its own, so that listing never moves ours.
    const int fd = openat(FFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return entries;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        TErrnoKeeper keep;
        close(fd);
        return entries;
    }
    while (const dirent* d = readdir(dir)) {
        const QByteArray native(d->d_name);
        if (native == "." || native == "..") continue;
        const QString name = QFile::decodeName(native);
        if (QFile::encodeName(name) != native) continue;
        TEntry entry = Stat(name);
        if (entry.Kind != TKind::Missing) entries.push_back(std::move(entry));
    }
    closedir(dir);
    return entries;
}

bool TSafeFolder::ReadFile(const QString& name, QByteArray& data, qint64 maxBytes) const {
    data.clear();
    const QByteArray native = PlainNative(name);
    if (native.isEmpty()) return false;
    if (!IsOpen()) {
        errno = EBADF;
        return false;
    }
    // O_NONBLOCK: a FIFO under a file's name cannot hang us.
    const int fd = openat(FFd, native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ReadWholeOpenFile(fd, data, maxBytes);
    TErrnoKeeper keep;
    close(fd);
    return ok;
}

bool TSafeFolder::WriteFileAtomically(const QString& name, const QByteArray& data, int mode) const {
    const QByteArray native = PlainNative(name);
    if (native.isEmpty()) return false;
    if (!IsOpen()) {
        errno = EBADF;
        return false;
    }
    mode_t newMode = mode_t(mode) & 07777;
    const TEntry old = Stat(name);
    switch (old.Kind) {
    case TKind::Missing: break;
    case TKind::File:
        if (old.ReadOnly) {
            errno = EACCES;
            return false;
        }
        {
            // A mode narrowed by the user is never widened.
            struct stat st {};
            if (fstatat(FFd, native.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) newMode &= st.st_mode & 07777;
        }
        break;
    case TKind::Link: errno = ELOOP; return false;
    case TKind::Folder: errno = EISDIR; return false;
    case TKind::Other: errno = EINVAL; return false;
    }

    // A hidden temporary name no reader of the folder takes for its own.
    QByteArray temp;
    int fd = -1;
    for (int tries = 0; tries < 100 && fd < 0; ++tries) {
        temp = '.' + native + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = openat(FFd, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = fchmod(fd, newMode) == 0 && WriteAll(fd, data.constData(), data.size()) && fsync(fd) == 0;
    int saved = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    // The rename replaces the entry itself; a link put there meanwhile is
    // replaced, never followed.
    if (ok && renameat(FFd, temp.constData(), FFd, native.constData()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        unlinkat(FFd, temp.constData(), 0);
        errno = saved;
        return false;
    }
    // Makes the rename itself durable; a failure here no longer loses data.
    fsync(FFd);
    return true;
}

bool TSafeFolder::RemoveFile(const QString& name) const {
    const TEntry entry = Stat(name);
    switch (entry.Kind) {
    case TKind::File: break;
    case TKind::Missing: return false;
    case TKind::Link: errno = ELOOP; return false;
    case TKind::Folder: errno = EISDIR; return false;
    case TKind::Other: errno = EINVAL; return false;
    }
    // unlinkat removes the entry itself: were it swapped for a link since
    // Stat, the link would go, never what it names.
    return unlinkat(FFd, QFile::encodeName(name).constData(), 0) == 0;
}

TSafeFolder::TNewFile TSafeFolder::CreateNewFile(int mode) const {
    TNewFile file;
    if (!IsOpen()) {
        errno = EBADF;
        return file;
    }
    file.FDirFd = fcntl(FFd, F_DUPFD_CLOEXEC, 0);
    if (file.FDirFd < 0) return file;
    for (int tries = 0; tries < 100 && file.FFd < 0; ++tries) {
        file.FTemp = QByteArray(NewFilePrefix) + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        file.FFd = openat(file.FDirFd, file.FTemp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          mode_t(mode) & 0777);
        if (file.FFd < 0 && errno != EEXIST) break;
    }
    if (file.FFd < 0) {
        TErrnoKeeper keep;
        close(file.FDirFd);
        file.FDirFd = -1;
    }
    return file;
}

TSafeFolder::TNewFile::~TNewFile() { Drop(); }

TSafeFolder::TNewFile::TNewFile(TNewFile&& other) noexcept
    : FDirFd(other.FDirFd), FFd(other.FFd), FTemp(std::move(other.FTemp)) {
    other.FDirFd = other.FFd = -1;
}

TSafeFolder::TNewFile& TSafeFolder::TNewFile::operator=(TNewFile&& other) noexcept {
    if (this != &other) {
        Drop();
        FDirFd = other.FDirFd;
        FFd = other.FFd;
        FTemp = std::move(other.FTemp);
        other.FDirFd = other.FFd = -1;
    }
    return *this;
}

void TSafeFolder::TNewFile::Drop() {
    TErrnoKeeper keep;
    if (FFd >= 0) {
        close(FFd);
        unlinkat(FDirFd, FTemp.constData(), 0);
    }
    if (FDirFd >= 0) close(FDirFd);
    FFd = FDirFd = -1;
}

bool TSafeFolder::TNewFile::Write(const char* data, qint64 size) {
    if (FFd < 0) {
        errno = EBADF;
        return false;
    }
    return WriteAll(FFd, data, size);
}

bool TSafeFolder::TNewFile::Commit(const QString& name) {
    const QByteArray native = PlainNative(name);
    if (native.isEmpty()) return false;
    if (FFd < 0) {
        errno = EBADF;
        return false;
    }
    if (fsync(FFd) != 0) return false;
    if (close(FFd) != 0) {
        FFd = -1;
        TErrnoKeeper keep;
        unlinkat(FDirFd, FTemp.constData(), 0);
        return false;
    }
    FFd = -1;
    // A rename that never replaces: a name taken meanwhile (by a link too)
    // fails with EEXIST instead of being overwritten. Where the file system
    // cannot, a hard link and an unlink do the same.
    bool moved = renameat2(FDirFd, FTemp.constData(), FDirFd, native.constData(), RENAME_NOREPLACE) == 0;
    if (!moved && errno == EINVAL && linkat(FDirFd, FTemp.constData(), FDirFd, native.constData(), 0) == 0) {
        unlinkat(FDirFd, FTemp.constData(), 0);
        moved = true;
    }
    if (!moved) {
        TErrnoKeeper keep;
        unlinkat(FDirFd, FTemp.constData(), 0);
        return false;
    }
    fsync(FDirFd);
    close(FDirFd);
    FDirFd = -1;
    return true;
}

} // namespace Platform

namespace Platform {

bool TSafeFolder::CopyFileIn(const TSafeFolder& source, const QString& name, const TCopyStep& step,
                             const QString& target) const {
    const QByteArray from = PlainNative(name);
    const QByteArray to = PlainNative(target.isEmpty() ? name : target);
    if (from.isEmpty() || to.isEmpty()) return false;
    if (!IsOpen() || !source.IsOpen()) {
        errno = EBADF;
        return false;
    }
    const TEntry old = Stat(target.isEmpty() ? name : target);
    if (old.Kind == TKind::Link) {
        errno = ELOOP;
        return false;
    }
    if (old.Kind == TKind::Folder || old.Kind == TKind::Other) {
        errno = EISDIR;
        return false;
    }
    const int in = openat(source.FFd, from.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int saved = S_ISREG(st.st_mode) ? errno : EINVAL;
        close(in);
        errno = saved;
        return false;
    }
    QByteArray temp;
    int out = -1;
    for (int tries = 0; tries < 100 && out < 0; ++tries) {
        temp = '.' + to + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        out = openat(FFd, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out < 0 && errno != EEXIST) break;
    }
    if (out < 0) {
        TErrnoKeeper keep;
        close(in);
        return false;
    }
    // The source's time (the "newer" rule of a later install needs it) and
    // mode, writable by the owner.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    bool ok = CopyBytes(in, out, qint64(st.st_size), step) &&
              fchmod(out, (st.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID)) | S_IWUSR) == 0 &&
              futimens(out, times) == 0;
    int saved = errno;
    close(in);
    if (close(out) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && renameat(FFd, temp.constData(), FFd, to.constData()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        unlinkat(FFd, temp.constData(), 0);
        errno = saved;
        return false;
    }
    return true;
}

bool TSafeFolder::RemoveTree(const QString& name) const {
    const TEntry entry = Stat(name);
    if (entry.Kind == TKind::Missing) return true;
    const QByteArray native = QFile::encodeName(name);
    if (entry.Kind != TKind::Folder) return unlinkat(FFd, native.constData(), 0) == 0;
    {
        const TSafeFolder inner = OpenFolder(name);
        if (!inner.IsOpen()) return false;
        bool ok = true;
        for (const TEntry& child : inner.List()) ok = inner.RemoveTree(child.Name) && ok;
        if (!ok) return false;
    }
    return unlinkat(FFd, native.constData(), AT_REMOVEDIR) == 0;
}

bool TSafeFolder::Sync() const { return IsOpen() && syncfs(FFd) == 0; }

qint64 TSafeFolder::FreeBytes() const {
    struct statvfs st {};
    if (!IsOpen() || fstatvfs(FFd, &st) != 0) return -1;
    return qint64(st.f_bavail) * qint64(st.f_frsize);
}

} // namespace Platform
