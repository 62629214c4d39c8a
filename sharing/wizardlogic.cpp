#include "sharing/wizardlogic.h"
#include "suite/email/addresses.h"
#include "viewer/selector.h"
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace WizardLogic {

void ButtonUp(TSelector& selection, int photo, bool shift, bool ctrl, bool dragging) {
    if (photo < 0) {
        selection.DeselectAll();
    } else if (shift && ctrl) {
        selection.AddRange(photo);
    } else if (shift) {
        selection.ExtendSelection(photo);
    } else if (ctrl || !dragging) {
        selection.Toggle(photo);
    }
}

int AutoScrollStep(int y, int height) {
    if (y > 0 && y < height) return 0;
    return y <= 0 ? -ScrollStepPixels : ScrollStepPixels;
}

int UploadTotalPercent(int n, int total, int percent) {
    if (total <= 0) return 0;
    const double value = double(n - 1) / total * 100 + percent * (1.0 / total);
    return std::clamp(int(std::lround(value)), 0, 100);
}

int PreparingPercent(int i, int count) {
    if (count <= 0) return 0;
    return std::clamp(int(std::lround(double(i) / count * 100)), 0, 100);
}

TSendProgress SendProgress(qint64 totalBytes, qint64 sent, int attachments) {
    TSendProgress progress;
    if (totalBytes != 0) progress.Total = int(std::clamp<qint64>(sent * 100 / totalBytes, 0, 100));
    const qint64 perImage = attachments > 0 ? totalBytes / attachments : 0;
    if (perImage <= 0) return progress;
    const qint64 index = sent / perImage;
    progress.Photo = int(std::clamp<qint64>(index, 0, attachments - 1));
    progress.PhotoPercent =
        index >= attachments ? 100 : int(std::clamp<qint64>((sent % perImage) * 100 / perImage, 0, 100));
    return progress;
}

QString ShoeboxUrl(const QString& baseUrl, const QStringList& values) {
    QString url;
    int next = 0;
    for (qsizetype i = 0; i < baseUrl.size(); ++i) {
        if (baseUrl[i] == '%' && i + 1 < baseUrl.size() && baseUrl[i + 1] == 's') {
            if (next < values.size()) url += QString::fromLatin1(QUrl::toPercentEncoding(values[next]));
            ++next;
            ++i;
        } else {
            url += baseUrl[i];
        }
    }
    return url;
}

QString DoubledAmpersands(QString text) { return text.replace('&', QStringLiteral("&&")); }

QString RecipientItem(const TRecipient& row) {
    const QString entry = row.Entry.trimmed();
    const QString typed = row.Address.trimmed().isEmpty() ? entry : entry + QStringLiteral(" <") + row.Address.trimmed() + '>';
    // A name goes quoted, so that a comma in it ("Berg, Ann") never splits
    // the list the item is joined into.
    Email::TMailbox mailbox;
    if (!Email::ParseMailbox(typed.toStdString(), mailbox)) return typed;
    if (mailbox.Name.empty()) return QString::fromStdString(mailbox.Address);
    QString name = QString::fromStdString(mailbox.Name);
    name.replace('\\', QStringLiteral("\\\\")).replace('"', QStringLiteral("\\\""));
    return '"' + name + QStringLiteral("\" <") + QString::fromStdString(mailbox.Address) + '>';
}

TRecipientLists JoinRecipients(const std::vector<TRecipient>& rows) {
    QStringList to, cc, bcc;
    for (const TRecipient& row : rows) {
        const QString item = RecipientItem(row);
        if (item.isEmpty()) continue;
        if (row.Type.compare(QLatin1String("Cc"), Qt::CaseInsensitive) == 0) {
            cc << item;
        } else if (row.Type.compare(QLatin1String("Bcc"), Qt::CaseInsensitive) == 0) {
            bcc << item;
        } else {
            to << item;  // a row without a type is sent, not skipped
        }
    }
    return {to.join(','), cc.join(','), bcc.join(',')};
}

std::optional<TStr> CheckEmailPage(const QString& from, const std::vector<TRecipient>& rows) {
    const QString sender = from.trimmed();
    if (sender.isEmpty()) return TStr::NeedFromAddress;
    Email::TMailbox mailbox;
    if (!sender.contains('@') || !Email::ParseMailbox(sender.toStdString(), mailbox))
        return TStr::NeedValidFromAddress;
    if (rows.empty()) return TStr::NeedRecipient;
    for (const TRecipient& row : rows) {
        if (row.Entry.trimmed().isEmpty() && row.Address.trimmed().isEmpty()) return TStr::BlankRecipient;
        if (!Email::ParseMailbox(RecipientItem(row).toStdString(), mailbox)) return TStr::NeedValidRecipient;
    }
    return std::nullopt;
}

TLevel EmailLevel(const TLevelSet& sizesPresent) {
    static constexpr std::array<TLevel, 6> Order = {3, 4, 2, 5, 1, 6};
    return sizesPresent.FirstOf(Order);
}

} // namespace WizardLogic
