#include "viewer/mainlogic.h"
#include <algorithm>

TRollGridLayout ArrangeRollGrid(int rollCount, int clientWidth, int iconWidth) {
    TRollGridLayout layout;
    int columns = std::min(std::max(rollCount, 0), 5);
    layout.Gap = 20 - 3 * columns;
    const auto rowWidth = [&](int c) { return c * iconWidth + (c - 1) * layout.Gap; };
    while (columns > 1 && rowWidth(columns) >= clientWidth) --columns;
    // One column at least, and never a margin that pushes the first can off
    // the left edge when even one does not fit.
    layout.Columns = std::max(columns, 1);
    layout.LeftMargin = std::max((clientWidth - rowWidth(layout.Columns)) / 2 - 5, 0);
    return layout;
}

QString SectionCaptionFor(TViewPage page, const QString& rollName, const QString& rollSelection,
                          const QString& photoView) {
    switch (page) {
    case TViewPage::Rolls: return rollSelection;
    case TViewPage::Thumbs: return rollName;
    case TViewPage::FullView: return photoView;
    }
    return QString();
}

QList<int> StackVisibleButtons(const QList<int>& places, const QList<bool>& visible) {
    QList<int> tops = places;
    int next = 0;
    for (qsizetype i = 0; i < places.size() && i < visible.size(); ++i)
        if (visible[i]) tops[i] = places[next++];
    return tops;
}

QList<int> THoverTracker::MoveTo(int index) {
    const int old = FIndex;
    FIndex = index;
    QList<int> repaint;
    if (index >= 0) repaint << index;
    if (old >= 0 && old != index) repaint << old;
    return repaint;
}

int LogoPauseMs(int randomZeroToTwelve) { return (std::clamp(randomZeroToTwelve, 0, 12) + 10) * 1000; }
