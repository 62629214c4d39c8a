#pragma once
// Rotation persistence. The photos of a disc are read-only, so a turned photo
// is remembered in "LmrRotate.ini" instead: one section per roll, one key per
// rotated photo (its file name), the value in degrees (90, 180, 270, -90, ...).
// The TRoll and TMedia members that read and write it live in rotation.cpp.
#include "shell/inifile.h"
#include <QString>
#include <functional>

inline const char* const RotationFileName = "LmrRotate.ini";

// The program-wide rotation file; none until OpenRotationFile.
TIniFile* RotationFile();
// Opens Folder + "LmrRotate.ini", freeing the previous object. An empty Folder
// means the per-user settings folder, which stays writable when the program
// runs from a disc.
void OpenRotationFile(const QString& folder);
// Frees the rotation file object (program end, tests).
void CloseRotationFile();

// Told once when rotations could not be written at program end (the main
// window shows it in a warning box). Text names the rolls and the reason.
using TRotationSaveFailed = std::function<void(const QString& text)>;
void SetRotationSaveFailureReport(TRotationSaveFailed report);
// Calls the report when one is set; otherwise the failure stays in the trace log.
void ReportRotationSaveFailure(const QString& text);

// The section of a roll:
//  - plain layout: the roll folder;
//  - disc layout with an empty folder: empty;
//  - disc layout on a CD: the disc's volume label followed by the roll name, so a
//    disc finds its rotations wherever it is mounted;
//  - otherwise (an installed copy on a hard disk): the folder followed by the name.
QString RotationSectionFor(bool fotavoLayout, const QString& folder, const QString& name);

// A stored value as a photo's rotation: a decimal multiple of 90, reduced to
// -270..270. Anything else (not a number, 45, ...) reads as 0.
int32_t StoredRotationValue(const QString& text);
// A stored value as an integer, 0 when it is not a decimal number.
qint64 StoredIntegerValue(const QString& text);
