#pragma once
// The recipients of an e-mail as the address grid edits them, apart from the
// grid: the rows, the current cell and what each edit, key and click does to
// them. TEmailAddresser shows it; the e-mail page reads it with Count and
// GetItem.
//
// A row is one recipient: its Type ("To", "Cc" or "Bcc"), the Entry the user
// typed (or the display name a resolver gave) and the Address a resolver
// gave (empty when the entry is itself the address). The list always holds
// at least one row; a new list has one "To" row.
#include <QString>
#include <functional>
#include <vector>

// The grid's columns in order; Address is never shown nor current.
enum class TAddressColumn { Type = 0, Entry = 1, Address = 2 };
enum class TAddressType { To, Cc, Bcc };
// The keys the grid takes for itself; every other key is Other.
enum class TAddressKey { Enter, Up, Down, Left, Right, End, Delete, Other };
// Where the editor's caret goes when it opens on the current entry.
enum class TAddressCaret { SelectAll, Start, End };

struct TAddressRow {
    QString Type;
    QString Entry;
    QString Address;
    bool operator==(const TAddressRow&) const = default;
};

// The type texts, from the owner's string table.
struct TAddressTexts {
    QString To = QStringLiteral("To");
    QString Cc = QStringLiteral("Cc");
    QString Bcc = QStringLiteral("Bcc");
};

// Asked with one trimmed part of an entry; true, with a display name and an
// address, when it knows the part.
using TAddressResolver = std::function<bool(const QString& part, QString& name, QString& address)>;

class TAddressList {
public:
    explicit TAddressList(TAddressTexts texts = {});

    int Count() const { return int(FRows.size()); }
    // False, and nothing filled, for an index outside 0 .. Count - 1.
    bool GetItem(int index, QString& type, QString& entry, QString& address) const;
    const TAddressRow& Row(int index) const { return FRows.at(size_t(index)); }
    // A row with an address from a resolver; drawn underlined.
    bool IsResolved(int index) const { return !Row(index).Address.isEmpty(); }
    const TAddressTexts& Texts() const { return FTexts; }
    QString TypeText(TAddressType type) const;

    int CurrentRow() const { return FRow; }
    TAddressColumn CurrentColumn() const { return FColumn; }
    TAddressCaret Caret() const { return FCaret; }

    void SetResolver(TAddressResolver resolver) { FResolver = std::move(resolver); }
    QString DefaultAddressee() const { return FDefaultAddressee; }
    void SetDefaultAddressee(const QString& text) { FDefaultAddressee = text; }

    // The type menu's choice for Row.
    void SetType(int row, TAddressType type);
    // The entry as the user edits it; a change clears the row's resolved
    // address. True when it cleared one (the underline goes).
    bool SetEntry(int row, const QString& text);
    // Splits Row's entry at ";", trims the parts and drops empty ones; the
    // first part stays in Row, each further one goes into a new row below it
    // with Row's type. With Resolve and a resolver, each part it knows
    // becomes its name and address. The number of rows the entry became.
    int ParseEntry(int row, bool resolve = true);

    // Makes (Row, Column) current, Row counted as before the move: the cell
    // left is finished first (see LeaveCell), the row entered gets "To" when
    // it has no type.
    void MoveTo(int row, TAddressColumn column);
    // A click below the last row: a new empty row when the last one is
    // filled, and the last row's entry current.
    void ClickBelow();
    // The focus came into the grid: the current row is entered.
    void EnterGrid();
    // The focus went elsewhere: the current cell is finished, and a list of
    // one empty row takes the default addressee.
    void LeaveGrid();

    // A key in the grid; AtStart and AtEnd tell where the editor's caret is
    // (no selection) when the current cell is an entry. True when the list
    // took the key; false leaves it to the editor.
    bool Key(TAddressKey key, bool atStart = true, bool atEnd = true);

private:
    // Finishes the current entry when it is the current cell and not
    // resolved: ParseEntry, without the resolver right after a Delete (it
    // would bring back what the user just deleted). The rows it became.
    int LeaveCell();
    void EnterRow(int row, TAddressColumn column, TAddressCaret caret);
    void Remove(int row);

    TAddressTexts FTexts;
    std::vector<TAddressRow> FRows;
    int FRow = 0;
    TAddressColumn FColumn = TAddressColumn::Entry;
    TAddressCaret FCaret = TAddressCaret::SelectAll;
    bool FLastKeyDelete = false;
    TAddressResolver FResolver;
    QString FDefaultAddressee;
};
