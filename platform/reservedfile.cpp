#include "platform/reservedfile.h"
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

TReservedFile::TReservedFile(const QString& target, const QString& suffix) : FTarget(target) {
    const QByteArray native = QFile::encodeName(target);
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? native.left(slash + 1) : QByteArray();
    const QByteArray base = slash >= 0 ? native.mid(slash + 1) : native;
    if (base.isEmpty()) return;
    const QByteArray end = QFile::encodeName(suffix);
    QByteArray name = folder + '.' + base + ".XXXXXX" + end;
    const int fd = mkostemps(name.data(), int(end.size()), O_CLOEXEC);
    if (fd < 0) return;
    // mkostemp makes the file 0600; a document is as readable as any other.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0644 & ~mask);
    close(fd);
    FTemporary = QFile::decodeName(name);
}

TReservedFile::~TReservedFile() { Discard(); }

bool TReservedFile::Commit() {
    if (FTemporary.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    const QByteArray temporary = QFile::encodeName(FTemporary);
    bool ok = true;
    const int fd = open(temporary.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 || fsync(fd) != 0) ok = false;
    if (fd >= 0) close(fd);
    if (ok && rename(temporary.constData(), QFile::encodeName(FTarget).constData()) != 0) ok = false;
    if (!ok) {
        const int saved = errno;
        Discard();
        errno = saved;
        return false;
    }
    FTemporary.clear();
    return true;
}

void TReservedFile::Discard() {
    if (FTemporary.isEmpty()) return;
    unlink(QFile::encodeName(FTemporary).constData());
    FTemporary.clear();
}

} // namespace Platform
