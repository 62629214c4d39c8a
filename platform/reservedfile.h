#pragma once
// A document that appears under its name only once it is whole: another
// writer (a printer engine, say) fills a temporary file in the target's
// folder, and Commit renames it into place. Until then the target is
// untouched; a job that fails or is cancelled leaves nothing behind. The
// rename replaces whatever the target name is (a link included) and never
// writes through a link.
#include <QString>

namespace Platform {

class TReservedFile {
public:
    // Reserves a fresh temporary name beside Target, ending in Suffix (the
    // file is created empty, mode 0644 less the umask's bits).
    explicit TReservedFile(const QString& target, const QString& suffix = QString());
    // Removes the temporary file unless it was committed.
    ~TReservedFile();
    TReservedFile(const TReservedFile&) = delete;
    TReservedFile& operator=(const TReservedFile&) = delete;

    bool IsValid() const { return !FTemporary.isEmpty(); }
    const QString& Target() const { return FTarget; }
    const QString& TemporaryPath() const { return FTemporary; }
    // Syncs the temporary file and renames it to Target; false (errno set)
    // when it cannot, the temporary file then removed.
    bool Commit();
    void Discard();

private:
    QString FTarget;
    QString FTemporary;
};

} // namespace Platform
