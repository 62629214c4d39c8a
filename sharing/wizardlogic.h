#pragma once
// The upload wizard's arithmetic and rules, apart from its windows: the
// selection of page "Select", the auto-scroll, the progress bars of an upload
// and of a send, the shoebox page's address, the e-mail page's checks and
// recipient lists, and the size an e-mail attaches.
#include "collection/roll.h"
#include "shell/strings.h"
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class TSelector;

namespace WizardLogic {

// A left button let go over Photo (-1: empty space) on page "Select", no
// rubber band running: empty space clears the selection; Shift and Ctrl
// give the anchor's state to anchor..photo; Shift alone selects exactly
// anchor..photo; Ctrl alone toggles the photo; neither toggles it unless a
// drag is running. The caller notifies.
void ButtonUp(TSelector& selection, int photo, bool shift, bool ctrl, bool dragging);

// The auto-scroll of page "Select" for a mouse at Y (client co-ordinates of
// a list Height high): 0 stops it (Y strictly inside), else the step of each
// tick, -6 at or above the top and +6 at or below the bottom.
constexpr int ScrollStepPixels = 6;
constexpr int ScrollTickMs = 5;
int AutoScrollStep(int y, int height);

// The total bar while picture N (from 1) of Total is at Percent.
int UploadTotalPercent(int n, int total, int percent);
// The "Preparing images" bar before photo I of Count.
int PreparingPercent(int i, int count);

// The send's bars for Sent of TotalBytes bytes over Attachments photos:
// the total bar, the photo being sent (from 0) and its bar. Photo is -1
// when the sizes say nothing about the photos (no total, no attachments).
struct TSendProgress {
    std::optional<int> Total;  // unset while the size is unknown
    int Photo = -1;
    int PhotoPercent = 0;
};
TSendProgress SendProgress(qint64 totalBytes, qint64 sent, int attachments);

// The shoebox page: BaseURL with its "%s" filled in order by Values, each
// percent-encoded; any other "%" stays as it is, and a "%s" past the values
// is left out.
QString ShoeboxUrl(const QString& baseUrl, const QStringList& values);
// A caption shows "&" only doubled.
QString DoubledAmpersands(QString text);

// One recipient row of the e-mail page.
struct TRecipient {
    QString Type;     // "To", "Cc", "Bcc" in any case; anything else counts as "To"
    QString Entry;    // what was typed, or a resolver's display name
    QString Address;  // a resolver's address; empty when Entry is the address
};
// The item a row sends: the address, or "\"Name\" <address>" for a named
// one (typed as "Name <address>", or a resolver's name and address), the
// name quoted so that a comma in it stays inside the item.
QString RecipientItem(const TRecipient& row);
struct TRecipientLists {
    QString To, Cc, Bcc;  // items joined by "," alone
};
TRecipientLists JoinRecipients(const std::vector<TRecipient>& rows);
// The first complaint about the e-mail page, checked in the page's order,
// or none when it may be sent.
std::optional<TStr> CheckEmailPage(const QString& from, const std::vector<TRecipient>& rows);

// The size folder an e-mail attaches: the first the roll has of Small,
// Medium, Thumb, Large, Tiny, ExLarge; 0 (the photo as it is) for none.
TLevel EmailLevel(const TLevelSet& sizesPresent);

} // namespace WizardLogic
