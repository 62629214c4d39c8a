#pragma once
// What make-disc is going to write: the rolls, their size folders and one job
// per photo. Built on the main thread before any worker starts; the workers
// only read it.
#include <QList>
#include <QPainterPath>
#include <QSize>
#include <QString>
#include <QStringList>

namespace MakeDisc {

constexpr int LevelCount = 6;

// Size folders in ascending resolution, with the landscape box of each.
struct TLevelBox {
    const char* Name;
    int Width;
    int Height;
};
inline constexpr TLevelBox LevelBoxes[LevelCount] = {
    {"Tiny", 96, 64},     {"Thumb", 192, 128},   {"Small", 384, 256},
    {"Medium", 768, 512}, {"Large", 1536, 1024}, {"ExLarge", 3072, 2048},
};

// A set of levels: bit i stands for LevelBoxes[i].
using TLevelMask = unsigned;
constexpr TLevelMask AllLevels = (1u << LevelCount) - 1;
constexpr TLevelMask LevelBit(int index) { return 1u << index; }
int LevelIndexByName(const QString& name);  // case-insensitive; -1 when unknown

// The box of a level for a picture of the given orientation (portrait boxes
// are the landscape ones transposed).
QSize LevelBox(int index, bool portrait);
// Size of a picture of Source size fitted into the level's box, keeping its
// aspect ratio. A picture that already fits keeps its size: copies are never
// enlarged. Sides are at least 1 pixel.
QSize FitIntoLevel(QSize source, int index);

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
    TLevelMask Levels = AllLevels;
    QList<TFrameJob> Frames;
};

struct TDemoOptions {
    int Rolls = 3;
    int Frames = 0;    // 0: the default count of each roll (12 to 16)
    TLevelMask Levels = AllLevels;
    int Variants = 0;
};

// The demo disc. Needs a QGuiApplication (the labels are text).
QList<TRollPlan> MakeDemoPlan(const TDemoOptions& options);

// Rolls from a person's JPEG files: one per sub-folder of Folder holding
// JPEGs, plus one named after Folder when Folder holds JPEGs itself. Files in
// name order (numbers compared as numbers) become <prefix>-1.jpg, -2.jpg, ...
// Error receives a readable text when there is nothing to make a disc from.
QList<TRollPlan> MakePhotoPlan(const QString& folder, TLevelMask levels, int variants,
                               QString& error);

// Name order for a person's files: digit runs compare as numbers ("photo 9"
// before "photo 10"), everything else ignoring case.
int NaturalCompare(const QString& a, const QString& b);

// Marks Count photos of the roll, spread over it, as variant files, A and B in
// turn.
void AssignVariants(TRollPlan& roll, int count);

} // namespace MakeDisc
