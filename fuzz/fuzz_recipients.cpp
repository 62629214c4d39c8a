// The e-mail page's recipients as typed: each line an entry of the grid
// (its first byte picks the type), split as leaving the cell splits it, then
// the page's checks and the lists the message gets. What the checks let
// through must be what the library takes, item for item, and no entry may
// carry a line break into a header.
#include "sharing/addresslist.h"
#include "sharing/wizardlogic.h"
#include "suite/email/addresses.h"
#include <QString>
#include <QStringList>
#include <cstdint>

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(QLatin1Char('\n'));
    if (lines.isEmpty() || lines.size() > 64) return 0;
    TAddressList list;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (i > 1) list.ClickBelow();
        const int row = list.CurrentRow();
        const QString& line = lines[i];
        if (!line.isEmpty()) list.SetType(row, TAddressType(line[0].unicode() % 3));
        list.SetEntry(row, line.mid(1));
        list.ParseEntry(row, false);
    }
    list.LeaveGrid();
    Check(list.Count() >= 1);

    std::vector<WizardLogic::TRecipient> rows;
    int to = 0, cc = 0, bcc = 0;
    for (int i = 0; i < list.Count(); ++i) {
        WizardLogic::TRecipient row;
        Check(list.GetItem(i, row.Type, row.Entry, row.Address));
        Check(!row.Entry.contains(QLatin1Char(';')) && row.Entry == row.Entry.trimmed());
        (row.Type == QLatin1String("Cc") ? cc : row.Type == QLatin1String("Bcc") ? bcc : to)++;
        rows.push_back(row);
    }
    if (WizardLogic::CheckEmailPage(lines[0], rows)) return 0;

    const WizardLogic::TRecipientLists lists = WizardLogic::JoinRecipients(rows);
    const struct {
        const QString& List;
        int Count;
    } parts[] = {{lists.To, to}, {lists.Cc, cc}, {lists.Bcc, bcc}};
    for (const auto& part : parts) {
        Check(!part.List.contains(QLatin1Char('\r')) && !part.List.contains(QLatin1Char('\n')));
        const std::vector<std::string> items = Email::SplitAddressList(part.List.toStdString());
        Check(int(items.size()) == part.Count);
        for (const std::string& item : items) {
            Email::TMailbox box;
            Check(Email::ParseMailbox(item, box));
        }
    }
    return 0;
}
