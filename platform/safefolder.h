#pragma once
// A folder held open by its descriptor, for folders that someone else can
// fill: the program folder on a disc or a stick, a shared or an installed
// copy. Such a folder may hold symbolic links planted to make us write or
// delete elsewhere, so nothing here ever follows one:
// - the folder's own last name is opened without following a link;
// - every other operation names one entry directly inside the folder (a
//   plain name: not empty, no "/", not "." or ".."), relative to the
//   descriptor, so a folder renamed or replaced meanwhile is not reached
//   through its old path;
// - a link entry is reported as a link and is never read, written or removed.
// Files are replaced through a temporary file in the same folder and a
// rename, so readers see the old content or the new, never a mix.
// Failures return false (or an unopened folder) with errno set.
#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace Platform {

class TSafeFolder {
public:
    enum class TKind { Missing, File, Folder, Link, Other };

    struct TEntry {
        QString Name;
        TKind Kind = TKind::Missing;
        qint64 Size = 0;         // bytes of a file
        qint64 ModifiedNs = 0;   // modification time, nanoseconds since the epoch
        // A file without any write permission bit (the read-only attribute,
        // which holds for root too), or one we may not write.
        bool ReadOnly = false;
    };

    // Not open.
    TSafeFolder() = default;
    ~TSafeFolder();
    TSafeFolder(TSafeFolder&& other) noexcept;
    TSafeFolder& operator=(TSafeFolder&& other) noexcept;
    TSafeFolder(const TSafeFolder&) = delete;
    TSafeFolder& operator=(const TSafeFolder&) = delete;

    // Opens the folder Path. Refused when its last name is a link (ELOOP) or
    // no folder (ENOTDIR); the folders above it are the caller's choice and
    // are followed. With Create a missing folder is made with Mode first; the
    // folder above it must exist.
    static TSafeFolder Open(const QString& path, bool create = false, int mode = 0755);
    // The folder Name inside this one, by the same rules.
    TSafeFolder OpenFolder(const QString& name, bool create = false, int mode = 0755) const;

    bool IsOpen() const { return FFd >= 0; }
    // The path it was opened by, with a trailing "/".
    const QString& Path() const { return FPath; }
    // We may create and remove entries in it.
    bool CanWrite() const;

    // Entry Name itself (Missing when there is none).
    TEntry Stat(const QString& name) const;
    // Every entry, in no particular order. Names whose bytes are not valid
    // in the file-name encoding cannot be named by a QString and are left out.
    std::vector<TEntry> List() const;

    // Reads the regular file Name whole. A link, folder, FIFO or device is
    // refused, never waited on; more than MaxBytes is refused (EFBIG).
    bool ReadFile(const QString& name, QByteArray& data, qint64 maxBytes = qint64(1) << 31) const;
    // Creates or replaces the regular file Name with Data (Mode for a new
    // file; an existing one keeps no more permission than it had). An entry
    // that is a link (ELOOP), a folder (EISDIR) or anything else but a
    // regular file is left as it is, and so is a read-only file (EACCES).
    // Nothing is left behind when it fails.
    bool WriteFileAtomically(const QString& name, const QByteArray& data, int mode = 0644) const;
    // Removes Name when it is a regular file; a link or anything else stays (ELOOP, EISDIR).
    bool RemoveFile(const QString& name) const;

    // Copies the regular file Name of Source into this folder, under Target
    // (Name when empty): written under a temporary name and renamed into
    // place, so a reader sees the old file or the whole new one. The bytes
    // move in chunks with copy_file_range (the file system may clone them);
    // after each chunk Step is told the bytes copied so far and may answer
    // false to stop (ECANCELED, nothing left behind). The copy keeps the
    // source's modification time and mode, with write permission added for
    // the owner (files from a disc are read-only). A link or anything else
    // but a regular file is refused on either side.
    using TCopyStep = std::function<bool(qint64 bytesCopied)>;
    static constexpr qint64 CopyChunkBytes = qint64(4) << 20;
    bool CopyFileIn(const TSafeFolder& source, const QString& name, const TCopyStep& step = {},
                    const QString& target = QString()) const;
    // Removes the folder Name with everything in it, never following a link
    // (a link inside goes as a link). For folders this program made.
    bool RemoveTree(const QString& name) const;
    // Flushes the file system holding the folder (syncfs).
    bool Sync() const;
    // Bytes an unprivileged writer may still put on its file system; -1 when unknown.
    qint64 FreeBytes() const;

    // A file written in pieces that appears under its name only whole: it is
    // written under a hidden temporary name (NewFilePrefix, then random
    // letters) in this folder, and Commit syncs it, renames it into place,
    // never over an entry that exists (EEXIST), and syncs the folder. A file
    // not committed is removed when dropped; one left by a crash keeps its
    // temporary name, for the next run to remove.
    class TNewFile {
    public:
        TNewFile() = default;
        ~TNewFile();
        TNewFile(TNewFile&& other) noexcept;
        TNewFile& operator=(TNewFile&& other) noexcept;
        TNewFile(const TNewFile&) = delete;
        TNewFile& operator=(const TNewFile&) = delete;

        bool IsOpen() const { return FFd >= 0; }
        bool Write(const char* data, qint64 size);
        bool Commit(const QString& name);

    private:
        friend class TSafeFolder;
        void Drop();

        int FDirFd = -1;
        int FFd = -1;
        QByteArray FTemp;
    };
    static constexpr const char* NewFilePrefix = ".new-";
    // A new file with Mode, not open on failure.
    TNewFile CreateNewFile(int mode = 0644) const;

    // A plain name of one entry: not empty, no "/" or NUL, not "." or "..".
    static bool IsPlainName(const QString& name);

private:
    TSafeFolder(int fd, QString path) : FFd(fd), FPath(std::move(path)) {}
    static TSafeFolder OpenAt(int dirFd, const QByteArray& name, const QString& path, bool create, int mode);

    int FFd = -1;
    QString FPath;
};

} // namespace Platform
