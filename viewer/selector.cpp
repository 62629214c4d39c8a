#include "viewer/selector.h"
#include <algorithm>

void TSelector::SetCount(int n) {
    n = std::max(0, n);
    if (n != Count()) {
        FSelected.resize(size_t(n), false);
        FChanged.resize(size_t(n), false);
    }
    Anchor = -1;
}

void TSelector::SetRange(int from, int to, bool state) {
    from = std::max(from, 0);
    to = std::min(to, Count() - 1);
    for (int i = from; i <= to; ++i) {
        if (FSelected[size_t(i)] != state) {
            FSelected[size_t(i)] = state;
            FChanged[size_t(i)] = true;
        }
    }
}

void TSelector::SelectOnly(int i) {
    SelectRangeOnly(i, i);
    Anchor = i;
}

// Clears around the range rather than everything first, so an icon that
// keeps its state is not reported as changed (and not repainted).
void TSelector::SelectRangeOnly(int lo, int hi) {
    if (lo > 0) SetRange(0, lo - 1, false);
    if (hi < Count() - 1) SetRange(hi + 1, Count() - 1, false);
    SetRange(lo, hi, true);
}

void TSelector::ExtendSelection(int i) {
    if (Anchor >= 0 && Anchor < Count())
        SelectRangeOnly(std::min(Anchor, i), std::max(Anchor, i));
    else
        SelectOnly(i);
}

void TSelector::Toggle(int i) {
    if (!Valid(i)) return;
    FSelected[size_t(i)] = !FSelected[size_t(i)];
    FChanged[size_t(i)] = true;
    Anchor = i;
}

void TSelector::AddRange(int i) {
    if (Anchor < 0 || Anchor >= Count()) return;
    SetRange(std::min(Anchor, i), std::max(Anchor, i), FSelected[size_t(Anchor)]);
}

bool TSelector::IsSelected(int i) const { return i >= Base && Valid(i) && FSelected[size_t(i)]; }

int TSelector::FirstSelected() const {
    for (int i = std::max(Base, 0); i < Count(); ++i)
        if (FSelected[size_t(i)]) return i;
    return -1;
}

std::unique_ptr<TSelectionVector> TSelector::ListOf(const std::vector<bool>& bits) {
    auto list = std::make_unique<TSelectionVector>();
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i]) list->push_back(int(i));
    if (list->empty()) return nullptr;
    return list;
}

std::unique_ptr<TSelectionVector> TSelector::SelectedList() const { return ListOf(FSelected); }

std::unique_ptr<TSelectionVector> TSelector::ChangedList() const { return ListOf(FChanged); }

void TSelector::Notify() {
    std::unique_ptr<TSelectionVector> changed = OnChange ? ChangedList() : nullptr;
    std::fill(FChanged.begin(), FChanged.end(), false);
    if (changed) OnChange(*this, *changed);
}
