#pragma once
// The disc folder as make-disc owns it. A disc is built in a hidden working
// folder inside the target and swapped in at the end, so a run that fails
// leaves the target as it was. make-disc owns the target's Pictures and Viewer trees,
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

// For tests: with MAKE_DISC_TEST_STOP_AT set to Step, the run says so on
// stderr and waits there to be killed.
void TestStopPoint(const char* step);

class TDiscBuild {
public:
    TDiscBuild() = default;
    // A build that was not committed is removed with everything in it.
    ~TDiscBuild();
    TDiscBuild(const TDiscBuild&) = delete;
    TDiscBuild& operator=(const TDiscBuild&) = delete;

    // When Disc exists: takes it for this run (false with Error when another
    // make-disc holds it) and deals with what a run that was stopped left in
    // it: a build that never reached its commit is removed, a commit under
    // way is finished. Notes say what was found and done.
    bool Recover(const QString& disc, QStringList& notes, QString& error);
    // Makes the hidden working folder inside Disc (Disc and the folders above
    // it are made as needed), so that the commit is a rename within one file
    // system, also at the root of a stick. False with Error set on failure.
    bool Begin(const QString& disc, QString& error);
    // Where Pictures/ and Viewer/ are written, trailing "/".
    QString Folder() const { return FNew; }
    // Lists what was written and swaps the new trees in for Disc's old ones,
    // each in one step where the file system can (else the old one is moved
    // aside just before), so a run killed at any moment leaves every tree
    // either old or new and the next run finishes the commit. The old trees
    // are then removed as far as their list names them. False with Error
    // set when the new disc could not be put in place; Disc is then as
    // before. Warnings name what was left behind.
    bool Commit(QString& error, QStringList& warnings);

private:
    bool Take(const QString& disc, bool create, QString& error);
    bool PutInPlace(const QString& tree, QString& error);
    bool TakeOut(const QString& tree);
    bool Finish(QStringList& warnings);
    void RemoveCreatedParents();

    QString FDisc;         // trailing "/"
    QString FWork;         // Disc's hidden working folder, trailing "/"
    QString FNew, FOld;    // the new and the old trees' folders in it
    QString FRun;          // this build's mark, in its commit record and new trees
    QString FCreatedFrom;  // the highest folder made by Begin (Disc itself or above), or empty
    int FLock = -1;        // Disc, locked against other runs
    bool FCommitted = false;
    bool FKeepWork = false;  // holds the old disc after a failed roll-back
};

// Bytes the folder takes on a disc: each file in whole 2048-byte sectors,
// a sector per folder for its records, and the volume's own first sectors.
qint64 DiscBytes(const QString& folder);

} // namespace MakeDisc
