#pragma once
// What make-disc is going to write: the rolls, their size folders and one job
// per photo. Built on the main thread before any worker starts; the workers
// only read it.
#include "collection/roll.h"
#include <QList>
#include <QPainterPath>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>

namespace MakeDisc {

// Sizes are the viewer's levels (collection/roll.h): 1 Tiny .. 6 ExLarge,
// named by SizeFolderNames. The landscape box of each level; 0 has none.
inline constexpr TLevel FirstLevel = 1;
inline constexpr TLevel LastLevel = LevelCount - 1;
inline constexpr std::array<std::array<int, 2>, LevelCount> LevelBoxes = {{
    {0, 0}, {96, 64}, {192, 128}, {384, 256}, {768, 512}, {1536, 1024}, {3072, 2048}}};

TLevelSet AllLevels();
TLevel LevelByName(const QString& name);  // case-insensitive; 0 when unknown

// The box of a level for a picture of the given orientation (portrait boxes
// are the landscape ones transposed).
QSize LevelBox(TLevel level, bool portrait);
// Size of a picture of Source size fitted into the level's box, keeping its
// aspect ratio. A picture that already fits keeps its size: copies are never
// enlarged. Sides are at least 1 pixel.
QSize FitIntoLevel(QSize source, TLevel level);

// File-name prefix from a roll name: its ASCII letters and digits, lower
// case, at most 16 of them; "roll" when none are left. Never contains "-",
// which the viewer's frame-number key splits at.
QString RollPrefix(const QString& rollName);

// Film frame names of a demo roll: "XX", "X", "00", "0", 1, 2, ... with the
// half frame "<k>A" after frame HalfFrameAfter.
QStringList DemoFrameNames(int count, int halfFrameAfter);

enum class TScene { Coast, City, Garden, Mountain };

// Everything a worker needs to draw one demo frame. The label paths are made
// on the main thread (text needs the font database) and belong to this job
// only, so no two threads ever share a path.
struct TDemoFrame {
    TScene Scene = TScene::Coast;
    unsigned Seed = 1;
    bool Portrait = false;
    QPainterPath RollLabel;
    QPainterPath FrameLabel;
};

enum class TVariant { None, A, B };

struct TFrameJob {
    QString FileName;  // "<prefix>-<frame>.jpg"
    bool IsDemo = true;
    TDemoFrame Demo;   // IsDemo
    QString Source;    // a person's photo file (not IsDemo)
    TVariant Variant = TVariant::None;
};

struct TRollPlan {
    QString Name;      // folder name under Pictures/
    QString Prefix;
    TLevelSet Levels = AllLevels();
    QList<TFrameJob> Frames;
};

struct TDemoOptions {
    int Rolls = 3;
    int Frames = 0;    // 0: the default count of each roll (12 to 16)
    TLevelSet Levels = AllLevels();
    int Variants = 0;
};

// The demo disc. Needs a QGuiApplication (the labels are text).
QList<TRollPlan> MakeDemoPlan(const TDemoOptions& options);

// Taken as photos: JPEG, PNG and TIFF files, by their extension.
bool IsPhotoFileName(const QString& name);

// A file of the photos folder that does not go on the disc, and why.
struct TLeftOut {
    QString Path;
    QString Reason;
};

struct TPhotoPlan {
    QList<TRollPlan> Rolls;
    QList<TLeftOut> LeftOut;  // files (and deeper folders) not taken, in folder order
    QString Error;            // set when there is nothing to make a disc from
};

// Rolls from a person's photos: one per sub-folder of Folder holding photos,
// plus one named after Folder when Folder holds photos itself. Files in name
// order (numbers compared as numbers) become <prefix>-1.jpg, -2.jpg, ...
// Every other file is named in LeftOut; hidden files are ignored.
TPhotoPlan MakePhotoPlan(const QString& folder, TLevelSet levels, int variants);

// Name order for a person's files: digit runs compare as numbers ("photo 9"
// before "photo 10"), everything else ignoring case.
int NaturalCompare(const QString& a, const QString& b);

// Marks Count photos of the roll, spread over it, as variant files, A and B in
// turn.
void AssignVariants(TRollPlan& roll, int count);

} // namespace MakeDisc
