// The recipient list's editing rules, driven step by step as the grid drives
// them, and read back row by row.
#include "sharing/addresslist.h"
#include <QStringList>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The address book of these tests: two names it knows, and one it answers
// without an address.
bool Resolve(const QString& part, QString& name, QString& address) {
    if (part == "ann") { name = "  Ann Smith "; address = "ann@x.org"; return true; }
    if (part == "bob") { name = "Bob"; address = "bob@x.org"; return true; }
    if (part == "nobody") { name = "Nobody"; return true; }
    return false;
}

// Steps: "=text" types into the current entry, "~text" is what Delete left
// of it (the key went through the list already); a key name presses it ("Left@start",
// "Left@mid" and "Right@end" say where the caret is); "click R T"
// or "click R E" clicks a cell; "below" clicks under the last row; "menu R Cc"
// chooses a type; "leave" and "enter" move the focus out of and into the grid.
void Run(TAddressList& list, const std::string& step) {
    const QString s = QString::fromStdString(step);
    const QStringList w = s.split(' ');
    const auto key = [&](TAddressKey k, bool atStart = true, bool atEnd = true) { list.Key(k, atStart, atEnd); };
    if (s.startsWith('=')) {
        list.Key(TAddressKey::Other);
        list.SetEntry(list.CurrentRow(), s.mid(1));
    } else if (s.startsWith('~')) {
        list.SetEntry(list.CurrentRow(), s.mid(1));
    } else if (s == "Enter") key(TAddressKey::Enter);
    else if (s == "Up") key(TAddressKey::Up);
    else if (s == "Down") key(TAddressKey::Down);
    else if (s == "End") key(TAddressKey::End);
    else if (s == "Delete") key(TAddressKey::Delete);
    else if (s == "Right") key(TAddressKey::Right);
    else if (s == "Left@start") key(TAddressKey::Left, true, false);
    else if (s == "Left@mid") key(TAddressKey::Left, false, false);
    else if (s == "Right@end") key(TAddressKey::Right, false, true);
    else if (w[0] == "click") list.MoveTo(w[1].toInt(), w[2] == "T" ? TAddressColumn::Type : TAddressColumn::Entry);
    else if (s == "below") list.ClickBelow();
    else if (w[0] == "menu") list.SetType(w[1].toInt(), w[2] == "Cc" ? TAddressType::Cc : w[2] == "Bcc" ? TAddressType::Bcc : TAddressType::To);
    else if (s == "leave") list.LeaveGrid();
    else if (s == "enter") list.EnterGrid();
    else ADD_FAILURE() << "unknown step " << step;
}

// "Type:Entry" or "Type:Entry<Address>" per row, joined by " | ".
std::string Rows(const TAddressList& list) {
    QStringList rows;
    for (int i = 0; i < list.Count(); ++i) {
        const TAddressRow& r = list.Row(i);
        rows << r.Type + ':' + r.Entry + (r.Address.isEmpty() ? QString() : '<' + r.Address + '>');
    }
    return rows.join(" | ").toStdString();
}

std::string Current(const TAddressList& list) {
    return std::to_string(list.CurrentRow()) + (list.CurrentColumn() == TAddressColumn::Type ? "T" : "E");
}

struct TCase {
    const char* Name;
    std::vector<std::string> Steps;
    const char* Rows;
    const char* Current;
    const char* DefaultAddressee = "";
};

void Check(const std::vector<TCase>& cases) {
    for (const TCase& c : cases) {
        TAddressList list;
        list.SetResolver(Resolve);
        list.SetDefaultAddressee(c.DefaultAddressee);
        list.EnterGrid();
        for (const std::string& step : c.Steps) Run(list, step);
        EXPECT_EQ(Rows(list), c.Rows) << c.Name;
        EXPECT_EQ(Current(list), c.Current) << c.Name;
    }
}

} // namespace

TEST(AddressList, EntriesSplitIntoRowsOfTheirType) {
    Check({
        {"a new list", {}, "To:", "0E"},
        {"three addresses with an empty part, in a Cc entry",
         {"menu 0 Cc", "=a@x.org; b@x.org;; c@x.org", "leave"}, "Cc:a@x.org | Cc:b@x.org | Cc:c@x.org", "0E"},
        {"only blanks and separators leave an empty row", {"= ;; ; ", "leave"}, "To:", "0E"},
        {"split rows push later rows down, and the click follows its row",
         {"=x", "Enter", "=y", "click 0 E", "=a;b", "click 1 E"}, "To:a | To:b | To:y", "2E"},
        {"leaving for the type cell splits too", {"=a; b", "Left@start"}, "To:a | To:b", "0T"},
        {"a resolver's names, trimmed, and plain parts", {"=ann; carl@x.org;bob", "leave"},
         "To:Ann Smith<ann@x.org> | To:carl@x.org | To:Bob<bob@x.org>", "0E"},
        {"an answer without an address resolves nothing", {"=nobody", "leave"}, "To:nobody", "0E"},
        {"editing a resolved row clears its address", {"=bob", "leave", "enter", "=Bobby"}, "To:Bobby", "0E"},
        {"a resolved row is not split again", {"=bob", "leave", "enter", "leave"}, "To:Bob<bob@x.org>", "0E"},
        {"after Delete the split still runs, the resolver does not",
         {"=bobx;ann", "Delete", "~bob;ann", "click 0 T"}, "To:bob | To:ann", "0T"},
        {"any other key brings the resolver back", {"=bob", "Delete", "Left@mid", "leave"}, "To:Bob<bob@x.org>", "0E"},
        {"the default addressee fills a single empty row", {"leave"}, "To:me@x.org", "0E", "me@x.org"},
        {"and is split like a typed entry", {"leave"}, "To:me@x.org | To:you@x.org", "0E", "me@x.org;you@x.org"},
        {"but not a filled row", {"=a", "leave"}, "To:a", "0E", "me@x.org"},
        {"nor one of several", {"=a", "Enter", "Up", "=", "leave"}, "To: | To:", "0E", "me@x.org"},
        {"the menu's choices", {"=a", "Enter", "=b", "Enter", "menu 0 Cc", "menu 1 Bcc", "menu 1 To", "menu 2 Bcc"},
         "Cc:a | To:b | Bcc:", "2E"},
    });
}

TEST(AddressList, KeysMoveAddAndRemoveRows) {
    Check({
        {"Enter after a filled last row adds a To row, whatever the type above",
         {"menu 0 Cc", "=a", "Enter"}, "Cc:a | To:", "1E"},
        {"Enter goes below all the rows an entry became", {"=a;b", "Enter"}, "To:a | To:b | To:", "2E"},
        {"Enter on an empty last row stays", {"Enter", "Enter"}, "To:", "0E"},
        {"Enter in a middle row moves down without adding", {"=a", "Enter", "=b", "Up", "Enter"}, "To:a | To:b", "1E"},
        {"Enter in the type cell goes to the entry below", {"=a", "Enter", "=b", "Up", "Left@start", "Enter"},
         "To:a | To:b", "1E"},
        {"Up and Down keep the column", {"=a", "Enter", "=b", "Left@start", "Up"}, "To:a | To:b", "0T"},
        {"Up at the top stays", {"=a", "Up"}, "To:a", "0E"},
        {"Down at the bottom neither moves nor adds", {"=a", "Enter", "=b", "Up", "Down", "Down"}, "To:a | To:b", "1E"},
        {"Down from a split last entry goes to its last row", {"=a;b", "Down"}, "To:a | To:b", "1E"},
        {"Left inside the text stays in the entry", {"=abc", "Left@mid"}, "To:abc", "0E"},
        {"Left at the start goes to the type, Right back", {"=abc", "Left@start", "Right"}, "To:abc", "0E"},
        {"Left in the type cell and Right at the end stay", {"=abc", "Right@end", "Left@start", "Left@start"},
         "To:abc", "0T"},
        {"End in the type cell goes to the entry", {"=abc", "Left@start", "End"}, "To:abc", "0E"},
        {"Delete in an empty entry removes its row", {"=a", "Enter", "Delete"}, "To:a", "0E"},
        {"a middle row goes, the one below takes its place", {"=a", "Enter", "=b", "Up", "=", "Delete"}, "To:b", "0E"},
        {"never the only row", {"Delete", "Delete"}, "To:", "0E"},
        {"Delete in a filled entry is the editor's", {"=a", "Enter", "=b", "Delete"}, "To:a | To:b", "1E"},
        {"Delete in the type cell removes nothing", {"=a", "Enter", "Left@start", "Delete"}, "To:a | To:", "1T"},
    });
}

TEST(AddressList, ClicksBelowAndOnCells) {
    Check({
        {"below a filled last row: a new To row", {"menu 0 Bcc", "=a", "below"}, "Bcc:a | To:", "1E"},
        {"below an empty last row: to it, nothing added", {"=a", "below", "below"}, "To:a | To:", "1E"},
        {"from a middle row to the last one", {"=a", "Enter", "=b", "Up", "below"}, "To:a | To:b | To:", "2E"},
        {"a split entry is finished first", {"=a;b", "below"}, "To:a | To:b | To:", "2E"},
        {"a click beyond the rows takes the last", {"=a", "Enter", "=b", "click 9 T"}, "To:a | To:b", "1T"},
    });
}

TEST(AddressList, GetItemFillsNothingOutsideTheRows) {
    TAddressList list;
    list.SetEntry(0, "a@x.org");
    list.Key(TAddressKey::Enter);
    list.SetType(1, TAddressType::Cc);
    list.SetEntry(1, "b@x.org");
    QString type = "-", entry = "-", address = "-";
    for (int index : {-1, 2}) {
        EXPECT_FALSE(list.GetItem(index, type, entry, address));
        EXPECT_EQ(type + entry + address, "---");
    }
    ASSERT_TRUE(list.GetItem(1, type, entry, address));
    EXPECT_EQ(QStringList({type, entry, address}), QStringList({"Cc", "b@x.org", ""}));
}
