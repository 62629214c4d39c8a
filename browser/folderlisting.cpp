#include "browser/folderlisting.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Browser {

namespace {

// Entries read from one child only to learn whether it has a sub-folder.
constexpr int MaxProbeEntries = 4096;

// An open folder that is closed with the object.
class TOpenFolder {
public:
    TOpenFolder(int parentFd, const QByteArray& name) {
        const int fd = openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 && !(FDir = fdopendir(fd))) close(fd);
    }
    ~TOpenFolder() {
        if (FDir) closedir(FDir);
    }
    TOpenFolder(const TOpenFolder&) = delete;
    TOpenFolder& operator=(const TOpenFolder&) = delete;
    explicit operator bool() const { return FDir != nullptr; }
    int Fd() const { return dirfd(FDir); }
    dirent* Next() { return readdir(FDir); }

private:
    DIR* FDir = nullptr;
};

bool Hidden(const char* name) { return name[0] == '.'; }

// The name as a path can spell it; empty when decoding loses bytes.
QString Nameable(const char* name) {
    const QString decoded = QFile::decodeName(name);
    return QFile::encodeName(decoded) == name ? decoded : QString();
}

// Links and file systems that give no type are asked with stat, which
// follows the link.
bool IsFolder(int dirFd, const dirent* entry) {
    if (entry->d_type == DT_DIR) return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
    struct stat st;
    return fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

bool HasSubFoldersAt(int parentFd, const QByteArray& name) {
    TOpenFolder folder(parentFd, name);
    if (!folder) return false;
    int seen = 0;
    while (dirent* entry = folder.Next()) {
        if (++seen > MaxProbeEntries) return true;
        if (!Hidden(entry->d_name) && IsFolder(folder.Fd(), entry)) return true;
    }
    return false;
}

} // namespace

std::optional<std::vector<TSubFolder>> ListSubFolders(const QString& path, const TNaturalOrder& order) {
    TOpenFolder folder(AT_FDCWD, QFile::encodeName(path));
    if (!folder) return std::nullopt;
    std::vector<TSubFolder> list;
    while (dirent* entry = folder.Next()) {
        if (Hidden(entry->d_name) || !IsFolder(folder.Fd(), entry)) continue;
        const QString name = Nameable(entry->d_name);
        if (name.isEmpty()) continue;
        list.push_back({name, HasSubFoldersAt(folder.Fd(), entry->d_name)});
    }
    std::sort(list.begin(), list.end(),
              [&](const TSubFolder& a, const TSubFolder& b) { return order(a.Name, b.Name); });
    return list;
}

bool HasSubFolders(const QString& path) { return HasSubFoldersAt(AT_FDCWD, QFile::encodeName(path)); }

std::optional<TFolderCounts> CountFolder(const QString& path) {
    TOpenFolder folder(AT_FDCWD, QFile::encodeName(path));
    if (!folder) return std::nullopt;
    TFolderCounts counts{0, 0, 0};
    while (dirent* entry = folder.Next()) {
        if (Hidden(entry->d_name)) continue;
        struct stat st;
        const bool known = fstatat(folder.Fd(), entry->d_name, &st, 0) == 0;
        if (known && S_ISDIR(st.st_mode)) {
            if (counts.Folders < INT_MAX) ++counts.Folders;
            continue;
        }
        if (counts.Files < INT_MAX) ++counts.Files;
        if (known && S_ISREG(st.st_mode)) counts.Bytes += st.st_size;
    }
    return counts;
}

} // namespace Browser
