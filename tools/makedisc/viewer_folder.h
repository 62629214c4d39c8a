#pragma once
// The viewer folder make-disc puts into Viewer/LMR/: the folder scripts/bundle
// makes (the program with its libraries, Qt plugins, fonts, licences and
// skin files), which starts on a desktop without Qt. It is copied whole.
#include <QString>

namespace MakeDisc {

// The build's viewer folder, <build>/LMR/ beside make-disc's tools/ folder,
// when it holds a program; else empty.
QString DefaultViewerFolder();
// A warning when Viewer's program is older than the program it is made from
// (<build>/lumora beside it), so the disc would get an old viewer; else empty.
QString StaleViewerWarning(const QString& viewer);
// Copies every file of Viewer (as ListProgramFolder finds them) into
// ProgramFolder, each with its permissions. Returns an error text, empty
// when every file is in place; Files receives how many were copied.
QString CopyViewerFolder(const QString& viewer, const QString& programFolder, int& files);

} // namespace MakeDisc
