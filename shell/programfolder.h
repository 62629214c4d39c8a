#pragma once
// The program folder as one whole: the program, its skin and settings files
// and what lets it start on a desktop without Qt (lib/, plugins/, fonts/,
// licenses/, qt.conf). A copy of the program elsewhere, on a disc or on the
// hard disk, takes every file of it.
#include <QList>
#include <QString>

struct TProgramFile {
    QString Path;  // relative to the folder, "/" between names
    qint64 Size = 0;
};

// Every regular file in Folder and in the folders under it, in name order.
// The folder may be on a disc someone else made, so links (to files or to
// folders), FIFOs and devices are left out and never opened, and nothing
// deeper than ProgramFolderDepth folders is looked at. False with Error set
// when Folder or a folder under it cannot be read.
inline constexpr int ProgramFolderDepth = 8;
bool ListProgramFolder(const QString& folder, QList<TProgramFile>& files, QString& error);
