#pragma once
// The install: the roll shown on the thumbnails page, in the sizes the user
// picks, together with the viewer's program folder, copied to a folder on
// the hard disk, so that the roll can be viewed without its disc; its
// rotations carried over, a desktop entry that starts the installed copy on
// it, and the destination remembered for next time.
//
// D/Rolls/<name>/<size>/...   the photos of each size chosen
// D/LMR/...                   the program folder, whole (the program, its
//                             libraries, plugins, fonts, skins and settings),
//                             its Lumora.ini marked as an installed copy
//
// Nothing is written before the destination has been checked (writable,
// room for everything); a cancel or a failure removes what the install
// made, and files are never seen half-written.
#include "forms/installform.h"
#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QStyle;
class TRoll;

// One folder's files to copy: bare names, from SourceDir to DestDir (both
// with "/"), and the bytes they hold.
class TFileStringList : public QStringList {
public:
    TFileStringList(QString sourceDir, QString destDir) : SourceDir(std::move(sourceDir)), DestDir(std::move(destDir)) {}
    QString SourceDir;
    QString DestDir;
    qint64 TotalSize = 0;
};

class TInstallFrm : public QDialog {
    Q_OBJECT
public:
    explicit TInstallFrm(QWidget* parent = nullptr);
    ~TInstallFrm() override;

    TInstallForm Form;
    qint64 TotalBytes = 0;
    std::vector<std::unique_ptr<TFileStringList>> CopyJobs;
    bool InstallCancelled = false;
    QString ViewRollExe;
    QString BaseShortCutFolder;
    TRoll* InstallRoll = nullptr;

    // Fills the window for Roll and runs it modally.
    void PrepareInstall(TRoll* roll);
    // Everything but running it (tests drive the window themselves).
    void Prepare(TRoll* roll);
    void EnableSizes();
    void UpdateInstallButton();
    void ReadShortcutSettings();
    void ReadDestination();
    // Checks the entries and installs; an error is raised with its text.
    void Button1Click();

    // Where the bytes still to copy are measured against: the free bytes of
    // the file system holding Folder. Tests put a full disk here.
    using TFreeSpaceProbe = std::function<qint64(const QString& folder)>;
    static void SetFreeSpaceProbe(TFreeSpaceProbe probe);
    // The program file the desktop entry starts in the installed folder:
    // the running program's own name unless set (tests run as another program).
    static void SetProgramFileName(const QString& name);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void DoInstall(const QString& destination, const QString& rollName);
    void AddSizeJobs(int size);
    void AddProgramFiles();
    void CopyAll();
    // The desktop entry of the installed roll.
    void CreateShortcut(const QString& rollFolder, const QString& programFolder);
    void RemoveWhatWasMade();

    // The install running: its destination and roll name, and what it made.
    QString FDestination;
    QString FRollName;
    QStringList FMadeFolders;   // deepest last
    QString FSavedStyle;        // the application style while the window is open
};

// The thumbnails page's install button opens the window from now on.
void RegisterInstall();
