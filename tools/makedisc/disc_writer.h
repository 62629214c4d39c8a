#pragma once
// Writes the planned rolls: every photo drawn or read once, reduced size by
// size with area averaging and encoded through the imaging facade, photos of
// one roll spread over worker threads.
#include "tools/makedisc/disc_plan.h"
#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

namespace MakeDisc {

// Called once per photo of a roll when its work ends: Done of Total photos
// finished, Name the photo's own file name (the disc's name for demo frames),
// Written false when the photo was left out. Calls are serialised.
using TProgress = std::function<void(int done, int total, const QString& name, bool written)>;

struct TWriteSettings {
    QString PicturesFolder;  // <disc>/Pictures/, trailing "/"
    int QualityFactor = 0;   // the imaging library's factor (QualityFactorFor)
    int Threads = 1;
    TProgress Progress;      // optional
    // Set from outside (an interrupt) to stop the roll; it then fails with "stopped".
    const std::atomic<bool>* Cancel = nullptr;
};

struct TRollReport {
    int Photos = 0;          // photos written, numbered without gaps
    int Files = 0;           // files written over all size folders
    QStringList Skipped;     // the source file of each photo that could not be read ...
    QStringList SkipReasons; // ... and why
    QString Failure;         // first write failure; empty when the roll is complete
};

// The quality factor (2..255) whose JPEG quality is nearest to Quality
// (1..100); of equal candidates the better quality wins.
int QualityFactorFor(int jpegQuality);

// A person's photo, turned upright by its EXIF orientation, in sRGB (a photo
// with another colour profile is converted, so that wide-gamut photos keep
// their colours on a disc whose copies carry no profile), transparent parts
// laid on white. Null with Error set when it cannot be read.
QImage ReadUprightPhoto(const QString& path, QString& error);

// Writes the roll into PicturesFolder + roll name. Photos that cannot be read
// are skipped and the later ones renumbered so that frame numbers stay
// 1, 2, ...; a roll left without any photo leaves no folder behind. A write
// failure stops the roll's remaining work.
TRollReport WriteRoll(const TRollPlan& roll, const TWriteSettings& settings);

} // namespace MakeDisc
