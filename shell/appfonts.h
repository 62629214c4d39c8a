#pragma once
// Fonts that travel with the program. The 3D captions are laid out for
// Arial's widths, and a desktop may have no font at all, or none with Arial's
// metrics; the program folder's fonts/ holds Liberation Sans (Arial's
// metrics) and DejaVu Sans for them.
#include <QString>
#include <QStringList>

// Registers every font file (.ttf, .otf) in Folder with the application and
// has "Arial" resolve to Liberation Sans wherever the system has no Arial,
// before fontconfig would pick its nearest sans face, which may be a wider
// one. Returns the families registered, in name order; files that are no
// font, links and anything but a regular file are skipped.
QStringList RegisterProgramFonts(const QString& folder);
