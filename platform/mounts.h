#pragma once
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// The mount holding a folder, standing in for the drive-type and volume-label
// queries: an ISO 9660 or UDF file system counts as a CD.
namespace Platform {

struct TMountInfo {
    QString MountPoint;  // absolute, without trailing "/" (except "/")
    QString FsType;      // e.g. "ext4", "iso9660", "udf"
    QString Device;      // e.g. "/dev/sr0"
};

class TMountTable {
public:
    virtual ~TMountTable() = default;
    // The mount whose mount point is the longest prefix of Path; none when
    // the table cannot be read.
    virtual std::optional<TMountInfo> MountOf(const QString& path) const = 0;
    // The file-system label of Device; empty when it has none we can read.
    virtual QString LabelOf(const TMountInfo& mount) const = 0;
};

// The table in use: /proc/self/mountinfo and /dev/disk/by-label unless a test
// installed another one.
const TMountTable& MountTable();
// Installs Table (nullptr restores the system one).
void SetMountTable(std::unique_ptr<TMountTable> table);

// The system table reading MountInfoFile (format of /proc/self/mountinfo)
// afresh on every question and labels from the symlinks in ByLabelFolder;
// tests point it at files of their own.
std::unique_ptr<TMountTable> MakeSystemMountTable(
    const QString& mountInfoFile = QStringLiteral("/proc/self/mountinfo"),
    const QString& byLabelFolder = QStringLiteral("/dev/disk/by-label/"));

// The mounts listed in a mountinfo text, in file order; broken lines are skipped.
std::vector<TMountInfo> ParseMountInfo(const QByteArray& text);
// The entry whose mount point is the longest prefix of the absolute Path on a
// "/" boundary (the later one of equal mount points: it is mounted on top).
std::optional<TMountInfo> LongestMount(const std::vector<TMountInfo>& mounts,
                                       const QString& path);
// "\040" style octal escapes of mountinfo fields undone.
QString UnescapeMountField(const QByteArray& field);
// "\x20" style escapes of udev's by-label names undone.
QString UnescapeLabel(const QByteArray& name);

// True when Path lies on a CD or DVD file system.
bool IsOnCD(const QString& path);
// Volume label of the mount holding Path: the file-system label, else the
// mount point's last name; empty when unknown.
QString VolumeLabel(const QString& path);

} // namespace Platform
