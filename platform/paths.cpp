#include "platform/paths.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

// Creates Folder and any missing folders above it with Mode; true when it
// exists as a folder afterwards.
bool MakeFolders(const QByteArray& folder, mode_t mode) {
    if (folder.isEmpty()) return false;
    QByteArray partial;
    const QList<QByteArray> parts = folder.split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) partial += '/';
        partial += parts[i];
        if (parts[i].isEmpty()) continue;
        if (mkdir(partial.constData(), mode) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode);
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

} // namespace

QString ExecutableFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    QString exe;
    if (n > 0) {
        exe = QFile::decodeName(QByteArray(buffer, n));
    } else {
        // Without /proc the working folder is the best guess left.
        return WithTrailingSlash(QDir::currentPath());
    }
    const qsizetype slash = exe.lastIndexOf('/');
    return slash >= 0 ? exe.left(slash + 1) : WithTrailingSlash(QDir::currentPath());
}

QString ConfigFolder() {
    // Relative values of XDG_CONFIG_HOME are to be ignored, as the XDG rules say.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!base.startsWith('/')) {
        QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty()) home = QDir::homePath();
        base = WithTrailingSlash(home) + ".config";
    }
    const QString folder = WithTrailingSlash(base) + "lumora/";
    MakeFolders(Native(folder.chopped(1)), 0700);
    return folder;
}

QString CacheFolder(bool create) {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!base.startsWith('/')) {
        QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty()) home = QDir::homePath();
        base = WithTrailingSlash(home) + ".cache";
    }
    const QString folder = WithTrailingSlash(base) + "lumora/";
    if (create) MakeFolders(Native(folder.chopped(1)), 0700);
    return folder;
}

QString WithTrailingSlash(const QString& folder) {
    if (folder.isEmpty() || folder.endsWith('/')) return folder;
    return folder + '/';
}

bool FileExists(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && stat(Native(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && stat(Native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsReadOnlyFile(const QString& path) {
    struct stat st {};
    const QByteArray native = Native(path);
    if (path.isEmpty() || stat(native.constData(), &st) != 0) return false;
    // No write bit at all is the read-only attribute (copied from a CD, say),
    // which also holds for root, who passes every access() check.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return access(native.constData(), W_OK) != 0;
}

bool SetReadOnly(const QString& path, bool readOnly) {
    struct stat st {};
    const QByteArray native = Native(path);
    if (path.isEmpty() || stat(native.constData(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    mode = readOnly ? (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    return chmod(native.constData(), mode) == 0;
}

bool WriteFileAtomically(const QString& path, const QByteArray& data, int mode) {
    if (path.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    QByteArray target = Native(path);
    struct stat st {};
    mode_t newMode = mode_t(mode) & 07777;
    if (lstat(target.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            // Replace the file the link points at, not the link itself.
            char resolved[PATH_MAX];
            if (!realpath(target.constData(), resolved)) return false;
            target = resolved;
            if (stat(target.constData(), &st) != 0) return false;
        }
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        // A read-only file stays unwritten, even though a rename could
        // replace it; and a mode narrowed by the user is never widened.
        if (access(target.constData(), W_OK) != 0) return false;
        newMode &= (st.st_mode & 07777);
    }

    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? target.left(slash + 1) : QByteArray("./");
    const QByteArray base = slash >= 0 ? target.mid(slash + 1) : target;
    QByteArray tempName = folder + '.' + base + ".XXXXXX";
    const int fd = mkostemp(tempName.data(), O_CLOEXEC);
    if (fd < 0) return false;

    bool ok = fchmod(fd, newMode) == 0 && WriteAll(fd, data.constData(), data.size()) &&
              fsync(fd) == 0;
    int savedErrno = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && rename(tempName.constData(), target.constData()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        unlink(tempName.constData());
        errno = savedErrno;
        return false;
    }
    // Make the rename itself durable; a failure here no longer loses data.
    const int dirFd = open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

bool ReadWholeFile(const QString& path, QByteArray& data, qint64 maxBytes) {
    data.clear();
    if (path.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    // O_NONBLOCK so that a FIFO in place of a settings file cannot hang us;
    // only regular files are read.
    const int fd = open(Native(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    const bool ok = ReadWholeOpenFile(fd, data, maxBytes);
    const int saved = errno;
    close(fd);
    errno = saved;
    return ok;
}

bool ReadWholeOpenFile(int fd, QByteArray& data, qint64 maxBytes) {
    data.clear();
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (st.st_size > maxBytes) {
        errno = EFBIG;
        return false;
    }
    // Straight into the result: one read call for the whole file as a rule,
    // then one more that finds the end (or that the file grew meanwhile).
    QByteArray result(qsizetype(st.st_size), Qt::Uninitialized);
    qint64 got = 0;
    for (;;) {
        if (got == result.size()) {
            if (got >= maxBytes) {
                // At the bound: one more byte means the file is too large.
                char probe;
                const ssize_t more = read(fd, &probe, 1);
                if (more > 0) {
                    errno = EFBIG;
                    return false;
                }
                if (more < 0 && errno == EINTR) continue;
                break;
            }
            result.resize(qsizetype(std::min<qint64>(maxBytes, std::max<qint64>(got * 2, got + 65536))));
        }
        const ssize_t n = read(fd, result.data() + got, size_t(result.size() - got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    result.truncate(qsizetype(got));
    data = std::move(result);
    return true;
}

int CountUnnamableEntries(const QString& folder, const QByteArray& suffix) {
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) return 0;
    int count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.size() < suffix.size() ||
            ::strncasecmp(name.constData() + name.size() - suffix.size(), suffix.constData(),
                          size_t(suffix.size())) != 0)
            continue;
        if (QFile::encodeName(QFile::decodeName(name)) != name) ++count;
    }
    ::closedir(dir);
    return count;
}

} // namespace Platform
