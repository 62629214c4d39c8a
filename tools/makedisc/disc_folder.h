#pragma once
// The disc folder as make-disc owns it. A disc is built in a working folder
// beside the target and moved in at the end, so a run that fails leaves the
// target as it was. make-disc owns the target's Pictures and Viewer trees,
// and only when its own list of what it wrote there names everything in
// them; a re-run replaces exactly those trees and never touches anything
// else in the folder.
#include <QString>
#include <QStringList>

namespace MakeDisc {

inline constexpr const char* OwnedTrees[] = {"Pictures", "Viewer"};
// Every file make-disc wrote, relative to the disc folder, one per line.
inline constexpr const char* ManifestPath = "Viewer/LMR/make-disc.txt";

// Entries of Disc's Pictures and Viewer trees that make-disc's list does not
// name (relative paths, folders with a trailing "/"), at most Limit of them;
// a tree next to no list is named whole. Empty: the trees may be replaced.
QStringList ForeignEntries(const QString& disc, int limit);

class TDiscBuild {
public:
    TDiscBuild() = default;
    // A build that was not committed is removed with everything in it.
    ~TDiscBuild();
    TDiscBuild(const TDiscBuild&) = delete;
    TDiscBuild& operator=(const TDiscBuild&) = delete;

    // Makes the working folder beside Disc (which need not exist yet; the
    // folders above it are made as needed). False with Error set on failure.
    bool Begin(const QString& disc, QString& error);
    // The working folder, trailing "/": Pictures/ and Viewer/ are written here.
    QString Folder() const { return FWork; }
    // Lists what was written, moves Disc's old trees out and the new ones in,
    // then removes the old trees as far as their list names them. False with
    // Error set when the new disc could not be put in place; Disc is then as
    // before. Warnings name what was left behind.
    bool Commit(QString& error, QStringList& warnings);

private:
    void RemoveCreatedParents();

    QString FDisc;         // trailing "/"
    QString FWork;         // trailing "/"
    QString FCreatedFrom;  // the highest folder above Disc made by Begin, or empty
    bool FCommitted = false;
    bool FKeepWork = false;  // holds the old disc after a failed roll-back
};

// Bytes the folder takes on a disc: each file in whole 2048-byte sectors,
// a sector per folder for its records, and the volume's own first sectors.
qint64 DiscBytes(const QString& folder);

} // namespace MakeDisc
