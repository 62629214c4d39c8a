#pragma once
// The slideshow's transition effects, drawn by our own code. An effect number
// (the imaging library's numbering, see TransitionEffects) selects a drawing;
// the new photo replaces what was under its rectangle in visible steps over
// about three quarters of a second, and the last step leaves exactly the
// photo as a plain paint would have drawn it.
//
// The frames are pure: TTransitionPlan::DrawFrame paints the frame at a given
// progress from the old picture and the new one, so tests and tools draw any
// step into a QImage. PaintTransition runs the steps against a frame clock,
// shows each one and asks the stop check between them.
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>
#include <array>
#include <chrono>
#include <functional>
#include <vector>

class TIEBitmap;

// ---- the effects table -------------------------------------------------------

// One entry of the effects table. Name is the text shown for it; a Variant
// entry stands for the numbers (Number - Number mod 1000) up to
// (Number - Number mod 1000) + (Number mod 1000) - 1.
struct TTransitionEffect {
    const char* Name;
    int Number;
    bool Variant;
};

inline constexpr int TransitionEffectCount = 14;
// The table, in entry order. The names live here until they move into the
// program's string table.
extern const std::array<TTransitionEffect, TransitionEffectCount> TransitionEffects;
// The show chooses among entries 0 to 12; entry 13 is never chosen.
inline constexpr int ShowTransitionCount = 13;

// A random source: a whole number from 0 to Bound - 1.
using TTransitionRandom = std::function<int(int bound)>;
// The show's choice: an entry from 0 to 12, its number, and for a variant
// entry a number drawn from its range.
int ChooseTransitionEffect(const TTransitionRandom& random);
// The same with the process-wide generator.
int ChooseTransitionEffect();

// ---- drawings ------------------------------------------------------------------

// The drawings effect numbers map to. Push and slide names say which way the
// pictures move: PushDown brings the new photo in from the top.
enum class TTransitionKind {
    PlainCopy,
    Dissolve,
    // The "Random Wipe" family.
    WipeFromLeft,
    WipeFromRight,
    WipeFromTop,
    WipeFromBottom,
    WipeFromTopLeft,
    WipeFromBottomRight,
    SplitOutVertical,
    SplitOutHorizontal,
    BoxOut,
    CircleOut,
    CircleIn,
    BlindsHorizontal,
    BlindsVertical,
    DiamondOut,
    // Named entries.
    WipeDiamonds,
    WipeSpin,
    SpinClockwise,
    SpinSymmetric,
    PushDown,
    PushUp,
    PushLeft,
    PushRight,
    SlideDiagonal,
    SlideSquaresIn,
    MeltLeft,
    MeltRight,
    RandomLines,
    RandomBlocks,
    CircleHorizontalInterlace,
};

// Which drawing an effect number gives. Every number draws something: the
// table's numbers their own effect; other numbers of the thousand that holds
// a table entry a drawing of that family (2xxx the wipes, 4xxx the spins,
// 5xxx the pushes, 6xxx the slides, 12xxx melts, lines and blocks, 15xxx the
// interlace), chosen by the number modulo the family's size; 0 and below a
// plain copy; anything else a dissolve.
TTransitionKind TransitionKindFor(int effectNumber);
// The drawings of the "Random Wipe" and "Random Push" ranges, in the order
// the number modulo their count picks them.
const std::vector<TTransitionKind>& RandomWipeKinds();
const std::vector<TTransitionKind>& RandomPushKinds();
// A short description of a drawing ("wipe from left"), for tools and logs.
const char* TransitionKindDescription(TTransitionKind kind);

// ---- frames --------------------------------------------------------------------

// Time between two steps: about 60 frames a second.
inline constexpr std::chrono::milliseconds TransitionStepTime{16};

// One transition of a given size: its drawing, its step count and whatever
// it places at random (drawn once from a seed, so every frame of one
// transition agrees and the same seed gives the same frames).
class TTransitionPlan {
public:
    // Seed 0 takes the effect number as the seed.
    TTransitionPlan(int effectNumber, QSize size, unsigned seed = 0);

    TTransitionKind Kind() const { return FKind; }
    QSize Size() const { return FSize; }
    // N: step k of N shows progress k / N; step 0 is the old picture alone,
    // step N the new one.
    int Steps() const { return FSteps; }
    std::chrono::milliseconds Duration() const { return TransitionStepTime * FSteps; }

    // Paints the frame at Progress (0 the old picture, 1 the new, clamped)
    // into the rectangle of Size() at At. Both pictures are Size() large.
    // Touches nothing outside that rectangle and leaves the painter's state
    // as it was.
    void DrawFrame(QPainter& painter, QPoint at, const QImage& oldPicture, const QImage& newPicture,
                   double progress) const;
    void DrawStep(QPainter& painter, QPoint at, const QImage& oldPicture, const QImage& newPicture,
                  int step) const {
        DrawFrame(painter, at, oldPicture, newPicture, double(step) / FSteps);
    }

private:
    struct TCell {
        QRect Rect;
        float Start = 0;  // progress at which the cell's own motion begins
        bool Reverse = false;  // a line streaking in from the right
    };

    void DrawShapeReveal(QPainter& p, const QImage& oldPicture, const QImage& newPicture, double t) const;
    void DrawDiamonds(QPainter& p, const QImage& oldPicture, const QImage& newPicture, double t) const;
    void DrawBlinds(QPainter& p, const QImage& oldPicture, const QImage& newPicture, double t) const;
    void DrawSoftWipe(QPainter& p, const QImage& oldPicture, const QImage& newPicture, double t) const;
    void DrawPush(QPainter& p, const QImage& oldPicture, const QImage& newPicture, double t) const;
    void DrawSlideDiagonal(QPainter& p, const QImage& oldPicture, const QImage& newPicture, double t) const;
    void DrawCells(QPainter& p, const QImage& oldPicture, const QImage& newPicture, double t) const;
    void DrawMelt(QPainter& p, const QImage& oldPicture, const QImage& newPicture, double t) const;
    void DrawInterlace(QPainter& p, const QImage& oldPicture, const QImage& newPicture, double t) const;

    TTransitionKind FKind;
    QSize FSize;
    int FSteps = 1;
    float FCellSpan = 1;        // share of the time each cell or column moves
    std::vector<TCell> FCells;  // blocks, lines, squares or melt columns
    mutable QImage FScratch;    // a frame composed pixel by pixel
};

// ---- running a transition ------------------------------------------------------

// Where the steps take their time from. Tests pass a clock that only counts.
class TFrameClock {
public:
    virtual ~TFrameClock() = default;
    virtual std::chrono::microseconds Now() = 0;
    // Returns at Due or soon after; at once when Due has passed.
    virtual void SleepUntil(std::chrono::microseconds due) = 0;
};

// The steady clock, sleeping for real.
TFrameClock& SteadyFrameClock();

struct TTransitionHooks {
    // Asked between two steps; false stops the transition after the step just
    // shown. It must answer within about a millisecond (a window lets its
    // pending input run here).
    std::function<bool()> StopCheck;
    // Shows the rectangle just drawn at once (a window repaints it).
    std::function<void(const QRect&)> Present;
    // Null: SteadyFrameClock().
    TFrameClock* Clock = nullptr;
    // 0: the effect number (see TTransitionPlan).
    unsigned Seed = 0;
};

enum class TTransitionEnd {
    Completed,  // the photo stands whole in the rectangle
    Stopped,    // the stop check ended it after some step
    NoPicture,  // no photo, an empty rectangle or a canvas that takes no painter: nothing drawn
};

// Draws Photo stretched into Rect of Canvas with effect Effect, over what
// Canvas holds there. Canvas is the picture the window shows (a 32-bit
// format, such as the window's RGB32 backing picture); a painter is
// opened on it for each step and closed before Present, so the window may
// draw Canvas in its paint event meanwhile. A TIEBitmap is painted the way
// TIEBitmap::Draw paints it (dithered on a palette screen).
TTransitionEnd PaintTransition(QImage& canvas, const QRect& rect, const TIEBitmap& photo, int effect,
                               const TTransitionHooks& hooks);
TTransitionEnd PaintTransition(QImage& canvas, const QRect& rect, const QImage& photo, int effect,
                               const TTransitionHooks& hooks);
// The same on any painter, with the picture under Rect given as OldPicture
// (a copy of that area; stretched when its size differs, black when null).
TTransitionEnd PaintTransition(QPainter& target, const QRect& rect, const QImage& oldPicture,
                               const TIEBitmap& photo, int effect, const TTransitionHooks& hooks);
TTransitionEnd PaintTransition(QPainter& target, const QRect& rect, const QImage& oldPicture,
                               const QImage& photo, int effect, const TTransitionHooks& hooks);
