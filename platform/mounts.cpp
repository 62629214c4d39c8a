#include "platform/mounts.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <mutex>

namespace Platform {

namespace {

constexpr qint64 MaxMountInfoBytes = qint64(16) << 20;
// A by-label folder with more entries than this is not a real one.
constexpr int MaxLabelEntries = 100000;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// Realpath of Path; for a path that does not exist (yet), that of its
// deepest existing folder with the rest appended, so links on the way count.
QString Resolved(const QString& path) {
    QString head = QDir::cleanPath(path);
    QString tail;
    char buffer[PATH_MAX];
    while (!head.isEmpty()) {
        if (realpath(QFile::encodeName(head).constData(), buffer)) {
            const QString real = QFile::decodeName(buffer);
            return tail.isEmpty() ? real : QDir::cleanPath(real + u'/' + tail);
        }
        const qsizetype slash = head.lastIndexOf(u'/');
        if (slash < 0) break;
        tail = tail.isEmpty() ? head.mid(slash + 1) : head.mid(slash + 1) + u'/' + tail;
        head = slash == 0 && head.size() > 1 ? QStringLiteral("/") : head.left(slash);
    }
    return path;
}

class TSystemMountTable final : public TMountTable {
public:
    TSystemMountTable(QString mountInfoFile, QString byLabelFolder)
        : FMountInfoFile(std::move(mountInfoFile)),
          FByLabelFolder(WithTrailingSlash(std::move(byLabelFolder))) {}

    std::optional<TMountInfo> MountOf(const QString& path) const override {
        if (path.isEmpty()) return std::nullopt;
        // Mounts change (a disc goes in), so the table is read for every question.
        QByteArray text;
        if (!ReadWholeFile(FMountInfoFile, text, MaxMountInfoBytes)) return std::nullopt;
        const QString absolute = QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path);
        return LongestMount(ParseMountInfo(text), Resolved(absolute));
    }

    QString LabelOf(const TMountInfo& mount) const override {
        if (mount.Device.isEmpty()) return {};
        const QString device = Resolved(mount.Device);
        const QByteArray folder = QFile::encodeName(FByLabelFolder);
        DIR* dir = opendir(folder.constData());
        if (!dir) return {};
        QString label;
        int seen = 0;
        while (dirent* entry = readdir(dir)) {
            if (++seen > MaxLabelEntries) break;
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..") continue;
            char target[PATH_MAX];
            if (!realpath((folder + name).constData(), target)) continue;
            if (QFile::decodeName(target) == device) {
                label = UnescapeLabel(name);
                break;
            }
        }
        closedir(dir);
        return label;
    }

private:
    QString FMountInfoFile;
    QString FByLabelFolder;
};

struct TTableSlot {
    std::mutex Lock;
    // Replaced tables are kept until exit so that a reference handed out
    // earlier never dangles.
    std::vector<std::unique_ptr<TMountTable>> Tables;
    std::atomic<const TMountTable*> Current{nullptr};
};

TTableSlot& Slot() {
    static TTableSlot slot;
    return slot;
}

const TMountTable& SystemTable() {
    static const std::unique_ptr<TMountTable> table = MakeSystemMountTable();
    return *table;
}

} // namespace

std::unique_ptr<TMountTable> MakeSystemMountTable(const QString& mountInfoFile,
                                                  const QString& byLabelFolder) {
    return std::make_unique<TSystemMountTable>(mountInfoFile, byLabelFolder);
}

QString UnescapeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            out += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                        (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return QFile::decodeName(out);
}

QString UnescapeLabel(const QByteArray& name) {
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            HexValue(name[i + 2]) >= 0 && HexValue(name[i + 3]) >= 0) {
            out += char((HexValue(name[i + 2]) << 4) | HexValue(name[i + 3]));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return QString::fromUtf8(out);
}

std::vector<TMountInfo> ParseMountInfo(const QByteArray& text) {
    std::vector<TMountInfo> mounts;
    for (const QByteArray& line : text.split('\n')) {
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const QList<QByteArray> fields = line.split(' ');
        qsizetype separator = -1;
        for (qsizetype i = 6; i < fields.size(); ++i) {
            if (fields[i] == "-") {
                separator = i;
                break;
            }
        }
        if (separator < 0 || separator + 2 >= fields.size()) continue;
        TMountInfo info;
        info.MountPoint = UnescapeMountField(fields[4]);
        info.FsType = UnescapeMountField(fields[separator + 1]);
        info.Device = UnescapeMountField(fields[separator + 2]);
        if (!info.MountPoint.startsWith('/')) continue;
        if (info.MountPoint.size() > 1 && info.MountPoint.endsWith('/')) info.MountPoint.chop(1);
        mounts.push_back(std::move(info));
    }
    return mounts;
}

std::optional<TMountInfo> LongestMount(const std::vector<TMountInfo>& mounts, const QString& path) {
    if (!path.startsWith('/')) return std::nullopt;
    const QString clean = QDir::cleanPath(path);
    const TMountInfo* best = nullptr;
    for (const TMountInfo& mount : mounts) {
        const QString& point = mount.MountPoint;
        const bool covers = point == "/" || clean == point ||
                            (clean.startsWith(point) && clean.at(point.size()) == '/');
        if (covers && (!best || point.size() >= best->MountPoint.size())) best = &mount;
    }
    if (!best) return std::nullopt;
    return *best;
}

const TMountTable& MountTable() {
    const TMountTable* table = Slot().Current.load(std::memory_order_acquire);
    return table ? *table : SystemTable();
}

void SetMountTable(std::unique_ptr<TMountTable> table) {
    TTableSlot& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.Lock);
    const TMountTable* raw = table.get();
    if (table) slot.Tables.push_back(std::move(table));
    slot.Current.store(raw, std::memory_order_release);
}

bool IsOnCD(const QString& path) {
    const std::optional<TMountInfo> mount = MountTable().MountOf(path);
    if (!mount) return false;
    const QString type = mount->FsType.toLower();
    return type == "iso9660" || type == "udf";
}

QString VolumeLabel(const QString& path) {
    const TMountTable& table = MountTable();
    const std::optional<TMountInfo> mount = table.MountOf(path);
    if (!mount) return {};
    const QString label = table.LabelOf(*mount);
    if (!label.isEmpty()) return label;
    return mount->MountPoint.mid(mount->MountPoint.lastIndexOf('/') + 1);
}

} // namespace Platform
