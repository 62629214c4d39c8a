#pragma once
// The main window's arithmetic, apart from its widgets: the roll grid, the
// section caption of each page, the toolbar places and the hover bookkeeping.
#include <QList>
#include <QString>

// The three pages of the view notebook.
enum class TViewPage { Rolls = 0, Thumbs = 1, FullView = 2 };

// The roll page's grid: up to five film cans a row, centred. Fewer rolls
// give wider gaps (20 - 3 x columns); a narrow window drops columns, keeping
// the gap the row started with.
struct TRollGridLayout {
    int Columns = 1;
    int Gap = 17;
    int LeftMargin = 0;
    bool operator==(const TRollGridLayout&) const = default;
};
TRollGridLayout ArrangeRollGrid(int rollCount, int clientWidth, int iconWidth);

// The caption of the section bar for a page: "Roll Selection", the roll's
// name, "Photo View" (the texts come from the string table).
QString SectionCaptionFor(TViewPage page, const QString& rollName, const QString& rollSelection,
                          const QString& photoView);

// The tops of a toolbar's buttons once some are hidden: the visible buttons
// keep their order and take the places from the top, so no gap remains.
// Slots are the designed tops, one per button; hidden buttons keep theirs.
QList<int> StackVisibleButtons(const QList<int>& places, const QList<bool>& visible);

// The icon under the mouse on a page, and what to repaint when it moves.
class THoverTracker {
public:
    explicit THoverTracker(int initial) : FIndex(initial) {}
    int Index() const { return FIndex; }
    // The icons whose look changes: the new one (when not negative) first,
    // then the old one (when not negative and not the new one).
    QList<int> MoveTo(int index);
    // Forgets the icon without repainting (a page change).
    void Reset(int index) { FIndex = index; }

private:
    int FIndex;
};

// The brand logo plays this many frames, then pauses for 10 to 22 seconds,
// from a whole number 0..12 drawn at random.
constexpr int LogoFramesPlayed = 11;
int LogoPauseMs(int randomZeroToTwelve);
