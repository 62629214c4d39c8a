#include "viewer/selector.h"
#include <gtest/gtest.h>
#include <string>

namespace {

// One step of a selection script: the operation's name and its arguments.
struct Op {
    const char* name;
    int a = 0, b = 0;
};

void Apply(TSelector& s, const Op& op) {
    const std::string n = op.name;
    if (n == "count") s.SetCount(op.a);
    else if (n == "select") s.Select(op.a);
    else if (n == "deselect") s.Deselect(op.a);
    else if (n == "only") s.SelectOnly(op.a);
    else if (n == "rangeonly") s.SelectRangeOnly(op.a, op.b);
    else if (n == "extend") s.ExtendSelection(op.a);
    else if (n == "toggle") s.Toggle(op.a);
    else if (n == "addrange") s.AddRange(op.a);
    else if (n == "all") s.SelectAll();
    else if (n == "none") s.DeselectAll();
    else if (n == "setrange") s.SetRange(op.a, op.b, true);
    else if (n == "notify") s.Notify();
    else ADD_FAILURE() << "unknown op " << n;
}

TSelectionVector ListOrEmpty(std::unique_ptr<TSelectionVector> list) {
    if (!list) return {};
    EXPECT_FALSE(list->empty()) << "an empty list must be none";
    return *list;
}

} // namespace

TEST(SelectorTest, OperationsGiveTheSelectionAnchorAndChangedIcons) {
    struct Row {
        const char* what;
        std::vector<Op> ops;
        TSelectionVector selected;
        int anchor;
        TSelectionVector changed;  // since the last "notify" in ops
    };
    const Row rows[] = {
        {"extend without anchor selects one", {{"count", 10}, {"extend", 3}}, {3}, 3, {3}},
        {"extend from the anchor selects the range",
         {{"count", 10}, {"extend", 3}, {"notify"}, {"extend", 6}}, {3, 4, 5, 6}, 3, {4, 5, 6}},
        {"extend backwards shrinks to the new range",
         {{"count", 10}, {"extend", 3}, {"extend", 6}, {"notify"}, {"extend", 1}}, {1, 2, 3}, 3, {1, 2, 4, 5, 6}},
        {"select only keeps unchanged icons out of the changed list",
         {{"count", 10}, {"select", 3}, {"select", 4}, {"notify"}, {"only", 3}}, {3}, 3, {4}},
        {"range only", {{"count", 8}, {"all"}, {"notify"}, {"rangeonly", 2, 4}}, {2, 3, 4}, -1, {0, 1, 5, 6, 7}},
        {"range only at both ends", {{"count", 4}, {"rangeonly", 0, 3}}, {0, 1, 2, 3}, -1, {0, 1, 2, 3}},
        {"toggle twice", {{"count", 5}, {"toggle", 2}, {"toggle", 2}}, {}, 2, {2}},
        {"toggle moves the anchor", {{"count", 10}, {"only", 2}, {"toggle", 5}}, {2, 5}, 5, {2, 5}},
        {"add range takes the selected anchor's state",
         {{"count", 10}, {"only", 2}, {"toggle", 5}, {"addrange", 8}}, {2, 5, 6, 7, 8}, 5, {2, 5, 6, 7, 8}},
        {"add range takes the deselected anchor's state",
         {{"count", 8}, {"all"}, {"toggle", 3}, {"notify"}, {"addrange", 6}}, {0, 1, 2, 7}, 3, {4, 5, 6}},
        {"add range without anchor does nothing", {{"count", 5}, {"select", 1}, {"addrange", 4}}, {1}, -1, {1}},
        {"a new count drops the anchor and keeps the bits",
         {{"count", 10}, {"only", 2}, {"count", 5}, {"notify"}, {"extend", 4}}, {4}, 4, {2, 4}},
        {"growing adds unselected icons", {{"count", 2}, {"all"}, {"count", 4}}, {0, 1}, -1, {0, 1}},
        {"set range is clamped to the icons", {{"count", 4}, {"setrange", -5, 100}}, {0, 1, 2, 3}, -1, {0, 1, 2, 3}},
        {"out of range indices change nothing",
         {{"count", 3}, {"toggle", 7}, {"toggle", -1}, {"select", 3}, {"deselect", -2}}, {}, -1, {}},
        {"deselect all", {{"count", 4}, {"select", 1}, {"select", 2}, {"notify"}, {"none"}}, {}, -1, {1, 2}},
    };
    for (const Row& row : rows) {
        TSelector s;
        for (const Op& op : row.ops) Apply(s, op);
        EXPECT_EQ(ListOrEmpty(s.SelectedList()), row.selected) << row.what;
        EXPECT_EQ(s.Anchor, row.anchor) << row.what;
        EXPECT_EQ(ListOrEmpty(s.ChangedList()), row.changed) << row.what;
    }
}

TEST(SelectorTest, QueriesHonourBase) {
    TSelector s;
    s.SetCount(6);
    EXPECT_EQ(s.FirstSelected(), -1);
    EXPECT_EQ(s.SelectedList(), nullptr);
    s.Select(1);
    s.Select(4);
    EXPECT_EQ(s.FirstSelected(), 1);
    s.Base = 2;
    EXPECT_FALSE(s.IsSelected(1));
    EXPECT_TRUE(s.IsSelected(4));
    EXPECT_EQ(s.FirstSelected(), 4);
    EXPECT_FALSE(s.IsSelected(6));
    EXPECT_FALSE(s.IsSelected(-1));
}

TEST(SelectorTest, NotifyHandsOverTheChangesOnceAndKeepsThoseMadeDuringTheCall) {
    TSelector s;
    s.SetCount(10);
    std::vector<TSelectionVector> calls;
    s.OnChange = [&](TSelector& sender, const TSelectionVector& changed) {
        EXPECT_EQ(&sender, &s);
        calls.push_back(changed);
        // A handler that changes the selection itself.
        if (calls.size() == 1) sender.Select(9);
    };
    s.Notify();
    EXPECT_TRUE(calls.empty()) << "nothing changed, no call";
    s.SelectOnly(2);
    s.Toggle(5);
    s.Notify();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (TSelectionVector{2, 5}));
    EXPECT_EQ(ListOrEmpty(s.ChangedList()), TSelectionVector{9});
    s.Notify();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], TSelectionVector{9});
    EXPECT_EQ(s.ChangedList(), nullptr);

    // Without a handler the changes are dropped all the same.
    s.OnChange = nullptr;
    s.Toggle(1);
    s.Notify();
    EXPECT_EQ(s.ChangedList(), nullptr);
    EXPECT_TRUE(s.IsSelected(1));
}
