// Counts what one load costs the file system: this program puts its own
// open/read functions in front of the C library's, so every open of a file
// under the folder measured is seen, whoever makes it (our code, Qt, a
// decoder), and every byte read from such a file is added up.
#include "bench/io.h"
#include "collection/thumbnail.h"
#include "imaging/loading.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr int MaxTrackedFd = 65536;
std::atomic<bool> Tracked[MaxTrackedFd];
std::atomic<long long> Opens{0};
std::atomic<long long> BytesRead{0};
char Prefix[4096];
size_t PrefixLength = 0;

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

void Opened(const char* path, int fd) {
    if (fd < 0 || fd >= MaxTrackedFd) return;
    const bool ours = PrefixLength > 0 && path && std::strncmp(path, Prefix, PrefixLength) == 0;
    Tracked[fd].store(ours);
    if (ours) ++Opens;
}

void Read(int fd, ssize_t n) {
    if (n > 0 && fd >= 0 && fd < MaxTrackedFd && Tracked[fd].load()) BytesRead += n;
}

mode_t ModeOf(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) ? mode_t(va_arg(args, int)) : 0;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    static auto real = Next<int (*)(const char*, int, ...)>("open");
    const int fd = real(path, flags, mode);
    Opened(path, fd);
    return fd;
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    static auto real = Next<int (*)(const char*, int, ...)>("open64");
    const int fd = real(path, flags, mode);
    Opened(path, fd);
    return fd;
}

int openat(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    static auto real = Next<int (*)(int, const char*, int, ...)>("openat");
    const int fd = real(dir, path, flags, mode);
    Opened(path, fd);
    return fd;
}

int openat64(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    static auto real = Next<int (*)(int, const char*, int, ...)>("openat64");
    const int fd = real(dir, path, flags, mode);
    Opened(path, fd);
    return fd;
}

ssize_t read(int fd, void* buffer, size_t count) {
    static auto real = Next<ssize_t (*)(int, void*, size_t)>("read");
    const ssize_t n = real(fd, buffer, count);
    Read(fd, n);
    return n;
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    static auto real = Next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    const ssize_t n = real(fd, buffer, count, offset);
    Read(fd, n);
    return n;
}

ssize_t pread64(int fd, void* buffer, size_t count, off64_t offset) {
    static auto real = Next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64");
    const ssize_t n = real(fd, buffer, count, offset);
    Read(fd, n);
    return n;
}

ssize_t readv(int fd, const struct iovec* iov, int count) {
    static auto real = Next<ssize_t (*)(int, const struct iovec*, int)>("readv");
    const ssize_t n = real(fd, iov, count);
    Read(fd, n);
    return n;
}

} // extern "C"

int RunIoBench(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumora-bench io DIR\n");
        return 2;
    }
    const QString dir = QDir(QString::fromLocal8Bit(argv[2])).canonicalPath();
    QStringList files;
    for (const QFileInfo& fi : QDir(dir).entryInfoList({"*.jpg", "*.JPG"}, QDir::Files, QDir::Name))
        files << fi.canonicalFilePath();
    if (files.isEmpty()) {
        std::fprintf(stderr, "no JPEG files in %s\n", argv[2]);
        return 1;
    }
    RegisterImagingErrorTexts();
    const QByteArray prefix = QFile::encodeName(dir + '/');
    std::snprintf(Prefix, sizeof Prefix, "%s", prefix.constData());
    PrefixLength = std::strlen(Prefix);
    qint64 fileBytes = 0;
    for (const QString& f : files) fileBytes += QFileInfo(f).size();

    struct TPath {
        const char* Name;
        bool (*Load)(const QString&);
    } paths[] = {
        {"thumbnail", [](const QString& f) { return MakeCenterCutThumbnailFor(f, ThumbnailSize) != nullptr; }},
        {"full-size", [](const QString& f) {
             QString error;
             ImageInfo info;
             return LoadPicture(f, ColorMode24Bits, false, error, info) != nullptr;
         }},
    };
    long long allOpens = 0, allBytes = 0;
    for (const TPath& path : paths) {
        const long long opens0 = Opens.load(), bytes0 = BytesRead.load();
        for (const QString& f : files) {
            if (!path.Load(f)) {
                std::fprintf(stderr, "failed: %s\n", qPrintable(f));
                return 1;
            }
        }
        const long long opens = Opens.load() - opens0, bytes = BytesRead.load() - bytes0;
        allOpens += opens;
        allBytes += bytes;
        std::printf("io %s: %.2f opens %.3f x\n", path.Name, double(opens) / files.size(),
                    double(bytes) / double(fileBytes));
    }
    std::printf("io: %.2f opens %.3f x\n", double(allOpens) / (2.0 * files.size()),
                double(allBytes) / (2.0 * double(fileBytes)));
    return 0;
}
