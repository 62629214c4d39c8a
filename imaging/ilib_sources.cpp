// Bounded random access to the bytes of a photo, in memory or in a file.
#include "imaging/ilibint.h"
#include "platform/paths.h"
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ilib {

bool TMemorySource::ReadAt(qint64 offset, void* to, qint64 length) const {
    if (offset < 0 || length < 0 || offset > FSize || length > FSize - offset) return false;
    if (length > 0) std::memcpy(to, FData + offset, size_t(length));
    return true;
}

TFileSource::~TFileSource() {
    if (FFd >= 0) ::close(FFd);
}

int TFileSource::Open(const QString& fileName) {
    if (fileName.isEmpty()) return ERROR_FILENOTFOUND;
    const QByteArray path = QFile::encodeName(fileName);
    // O_NONBLOCK: a FIFO under a photo's name must be refused below, not
    // waited on here until someone writes to it.
    FFd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (FFd < 0) return errno == ENOENT || errno == ENOTDIR ? ERROR_FILENOTFOUND : ERROR_FILE_OPEN;
    struct stat st;
    if (::fstat(FFd, &st) != 0) return ERROR_FILE_READ;
    if (!S_ISREG(st.st_mode)) return ERROR_FILE_OPEN;
    FSize = st.st_size;
    FModifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return SUCCESS;
}

bool TFileSource::ReadAt(qint64 offset, void* to, qint64 length) const {
    if (FFd < 0 || offset < 0 || length < 0 || offset > FSize || length > FSize - offset) return false;
    auto* out = static_cast<char*>(to);
    while (length > 0) {
        const ssize_t n = ::pread(FFd, out, size_t(length), off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        offset += n;
        length -= n;
    }
    return true;
}

int ReadWholeFile(const QString& fileName, QByteArray& data) {
    if (Platform::ReadWholeFile(fileName, data, MaxFileBytes)) return SUCCESS;
    switch (errno) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILENOTFOUND;
    case EFBIG:
        return ERROR_IMAGE_TOO_LARGE;
    case EIO:
        return ERROR_FILE_READ;
    default:
        return ERROR_FILE_OPEN;  // not a regular file, no permission, ...
    }
}

}  // namespace ilib
