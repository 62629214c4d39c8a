#include "sharing/addresslist.h"
#include <QStringList>
#include <algorithm>

TAddressList::TAddressList(TAddressTexts texts) : FTexts(std::move(texts)) {
    FRows.push_back({FTexts.To, {}, {}});
}

bool TAddressList::GetItem(int index, QString& type, QString& entry, QString& address) const {
    if (index < 0 || index >= Count()) return false;
    const TAddressRow& row = Row(index);
    type = row.Type;
    entry = row.Entry;
    address = row.Address;
    return true;
}

QString TAddressList::TypeText(TAddressType type) const {
    switch (type) {
    case TAddressType::Cc: return FTexts.Cc;
    case TAddressType::Bcc: return FTexts.Bcc;
    case TAddressType::To: break;
    }
    return FTexts.To;
}

void TAddressList::SetType(int row, TAddressType type) {
    if (row >= 0 && row < Count()) FRows[size_t(row)].Type = TypeText(type);
}

bool TAddressList::SetEntry(int row, const QString& text) {
    if (row < 0 || row >= Count() || FRows[size_t(row)].Entry == text) return false;
    TAddressRow& r = FRows[size_t(row)];
    r.Entry = text;
    if (r.Address.isEmpty()) return false;
    r.Address.clear();
    return true;
}

int TAddressList::ParseEntry(int row, bool resolve) {
    if (row < 0 || row >= Count()) return 0;
    QStringList parts;
    for (const QString& piece : Row(row).Entry.split(';')) {
        const QString part = piece.trimmed();
        if (!part.isEmpty()) parts << part;
    }
    const QString type = Row(row).Type;
    std::vector<TAddressRow> rows;
    for (const QString& part : parts) {
        TAddressRow r{type, part, {}};
        QString name, address;
        // An answer without an address resolves nothing: the row would show
        // a name that cannot be sent to.
        if (resolve && FResolver && FResolver(part, name, address) && !address.trimmed().isEmpty()) {
            r.Entry = name.trimmed().isEmpty() ? part : name.trimmed();
            r.Address = address.trimmed();
        }
        rows.push_back(std::move(r));
    }
    if (rows.empty()) rows.push_back({type, {}, {}});  // only blanks and ";": an empty row
    FRows[size_t(row)] = rows.front();
    FRows.insert(FRows.begin() + row + 1, rows.begin() + 1, rows.end());
    const int added = int(rows.size()) - 1;
    if (FRow > row) FRow += added;
    return added + 1;
}

int TAddressList::LeaveCell() {
    if (FColumn != TAddressColumn::Entry || IsResolved(FRow)) return 1;
    return ParseEntry(FRow, !FLastKeyDelete);
}

void TAddressList::EnterRow(int row, TAddressColumn column, TAddressCaret caret) {
    FRow = std::clamp(row, 0, Count() - 1);
    FColumn = column == TAddressColumn::Type ? column : TAddressColumn::Entry;
    FCaret = caret;
    // A row without a type would be left out of every recipient list when
    // the mail goes, so a row gets "To" as soon as it is entered.
    if (FRows[size_t(FRow)].Type.isEmpty()) FRows[size_t(FRow)].Type = FTexts.To;
}

void TAddressList::MoveTo(int row, TAddressColumn column) {
    row = std::clamp(row, 0, Count() - 1);
    if (column == TAddressColumn::Address) column = TAddressColumn::Entry;
    if (row == FRow && column == FColumn) {
        EnterRow(row, column, FCaret);
        return;
    }
    const int from = FRow;
    const int rows = LeaveCell();
    if (row > from) row += rows - 1;  // the rows the entry became pushed it down
    EnterRow(row, column, TAddressCaret::SelectAll);
}

void TAddressList::ClickBelow() {
    LeaveCell();
    if (!FRows.back().Entry.isEmpty()) FRows.push_back({});
    EnterRow(Count() - 1, TAddressColumn::Entry, TAddressCaret::SelectAll);
}

void TAddressList::EnterGrid() {
    EnterRow(FRow, FColumn, FCaret);
}

void TAddressList::LeaveGrid() {
    LeaveCell();
    if (Count() == 1 && FRows[0].Entry.isEmpty() && !FDefaultAddressee.isEmpty()) {
        FRows[0].Entry = FDefaultAddressee;
        FRows[0].Address.clear();
        ParseEntry(0);
    }
}

void TAddressList::Remove(int row) {
    FRows.erase(FRows.begin() + row);
    EnterRow(std::min(row, Count() - 1), TAddressColumn::Entry, TAddressCaret::SelectAll);
}

bool TAddressList::Key(TAddressKey key, bool atStart, bool atEnd) {
    FLastKeyDelete = key == TAddressKey::Delete;
    const bool inEntry = FColumn == TAddressColumn::Entry;
    const int row = FRow;
    switch (key) {
    case TAddressKey::Enter: {
        // To the row below what the entry became; after a filled last row
        // that is a new one.
        const int below = row + LeaveCell();
        if (below < Count()) {
            EnterRow(below, TAddressColumn::Entry, TAddressCaret::SelectAll);
        } else if (!FRows.back().Entry.isEmpty()) {
            FRows.push_back({});
            EnterRow(below, TAddressColumn::Entry, TAddressCaret::SelectAll);
        } else {
            EnterRow(row, TAddressColumn::Entry, TAddressCaret::SelectAll);
        }
        return true;
    }
    case TAddressKey::Up:
        if (row > 0) {
            LeaveCell();
            EnterRow(row - 1, FColumn, TAddressCaret::SelectAll);
        }
        return true;
    case TAddressKey::Down: {
        const int rows = LeaveCell();
        EnterRow(std::min(row + rows, Count() - 1), FColumn, TAddressCaret::SelectAll);
        return true;
    }
    case TAddressKey::Left:
        if (!inEntry) return true;
        if (!atStart) return false;
        LeaveCell();
        EnterRow(row, TAddressColumn::Type, TAddressCaret::SelectAll);
        return true;
    case TAddressKey::Right:
        if (inEntry) return atEnd;  // past the end of the last column: nowhere to go
        EnterRow(row, TAddressColumn::Entry, TAddressCaret::Start);
        return true;
    case TAddressKey::End:
        if (inEntry) return false;  // the editor's own End
        EnterRow(row, TAddressColumn::Entry, TAddressCaret::End);
        return true;
    case TAddressKey::Delete:
        if (!inEntry) return true;
        if (!Row(row).Entry.isEmpty()) return false;  // the editor deletes a character
        if (Count() > 1) Remove(row);
        return true;
    case TAddressKey::Other: break;
    }
    return false;
}
