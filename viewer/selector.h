#pragma once
// The selection of an icon container: one bit per icon, the icons whose state
// changed since the last notification, and an anchor for range selection.
// Plain object; the container owns one and binds OnChange to its repaint.
#include <functional>
#include <memory>
#include <vector>

// Icon indices in ascending order. Handed out by the selector; the receiver
// owns it.
using TSelectionVector = std::vector<int>;

class TSelector {
public:
    // Called by Notify with the icons whose state changed.
    std::function<void(TSelector& sender, const TSelectionVector& changed)> OnChange;

    // Anchor for range selection; -1 = none.
    int Anchor = -1;
    // First index the queries take into account.
    int Base = 0;

    int Count() const { return int(FSelected.size()); }
    // Resizes both bit sets (new icons are not selected) and drops the anchor.
    void SetCount(int n);

    // Every i in From..To (clamped to the icons) whose bit differs from State
    // gets State and is marked changed.
    void SetRange(int from, int to, bool state);
    void Select(int i) { SetRange(i, i, true); }
    void Deselect(int i) { SetRange(i, i, false); }
    // Exactly icon i selected; it becomes the anchor.
    void SelectOnly(int i);
    // Exactly Lo..Hi selected; the anchor stays.
    void SelectRangeOnly(int lo, int hi);
    // Exactly the range between the anchor and i; without an anchor SelectOnly(i).
    void ExtendSelection(int i);
    // Flips icon i; it becomes the anchor.
    void Toggle(int i);
    // Gives the range between the anchor and i the anchor's current state.
    void AddRange(int i);
    void SelectAll() { SetRange(0, Count() - 1, true); }
    void DeselectAll() { SetRange(0, Count() - 1, false); }

    bool IsSelected(int i) const;
    // First selected index from Base on, or -1.
    int FirstSelected() const;
    // None when nothing is selected (changed).
    std::unique_ptr<TSelectionVector> SelectedList() const;
    std::unique_ptr<TSelectionVector> ChangedList() const;

    // Hands the changed icons to OnChange (when set and there are any) and
    // clears the changed set. The set is cleared before the call, so changes
    // the handler makes itself wait for the next Notify instead of being lost.
    void Notify();

private:
    bool Valid(int i) const { return i >= 0 && i < Count(); }
    static std::unique_ptr<TSelectionVector> ListOf(const std::vector<bool>& bits);

    std::vector<bool> FSelected;
    std::vector<bool> FChanged;
};
