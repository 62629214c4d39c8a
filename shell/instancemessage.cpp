#include "shell/instancemessage.h"

namespace {

const QByteArrayView Magic("LUMORA-INSTANCE ");
const QByteArrayView ShowWord("SHOW");
const QByteArrayView RollWord("ROLL ");

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no
// sequence cut short. QString::fromUtf8 would quietly turn each of these into
// U+FFFD, and a name changed that way could open the wrong roll.
bool IsStrictUtf8(QByteArrayView s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto cont = [&](qsizetype at, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
        return at < n && p[at] >= lo && p[at] <= hi;
    };
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            i += 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            if (!cont(i + 1)) return false;
            i += 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            const unsigned char lo = c == 0xE0 ? 0xA0 : 0x80;
            const unsigned char hi = c == 0xED ? 0x9F : 0xBF;
            if (!cont(i + 1, lo, hi) || !cont(i + 2)) return false;
            i += 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            const unsigned char lo = c == 0xF0 ? 0x90 : 0x80;
            const unsigned char hi = c == 0xF4 ? 0x8F : 0xBF;
            if (!cont(i + 1, lo, hi) || !cont(i + 2) || !cont(i + 3)) return false;
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

TGuardMessage Refused(const QString& why) {
    TGuardMessage m;
    m.Error = why;
    return m;
}

} // namespace

QString GuardRollProblem(QByteArrayView utf8) {
    if (utf8.isEmpty()) return QStringLiteral("the roll name is empty");
    if (utf8.size() > MaxGuardRollBytes) return QStringLiteral("the roll name is too long");
    if (!IsStrictUtf8(utf8)) return QStringLiteral("the roll name is not valid UTF-8");
    // Decoding drops a leading byte order mark, which would open another roll.
    if (utf8.startsWith("\xEF\xBB\xBF")) return QStringLiteral("the roll name starts with a byte order mark");
    if (utf8 == QByteArrayView(".") || utf8 == QByteArrayView(".."))
        return QStringLiteral("the roll name is no folder name");
    const QString name = QString::fromUtf8(utf8);
    for (const QChar ch : name) {
        if (ch == u'/') return QStringLiteral("the roll name holds a \"/\"");
        if (ch.category() == QChar::Other_Control)
            return QStringLiteral("the roll name holds a control character");
    }
    return {};
}

TGuardMessage ParseGuardMessage(QByteArrayView bytes) {
    if (bytes.size() > MaxGuardMessageBytes) return Refused(QStringLiteral("the message is too long"));
    if (!bytes.startsWith(Magic)) return Refused(QStringLiteral("not a message of this program"));
    const qsizetype end = bytes.indexOf('\n');
    if (end < 0) return Refused(QStringLiteral("the message is cut short"));
    if (end != bytes.size() - 1) return Refused(QStringLiteral("bytes follow the end of the message"));
    QByteArrayView rest = bytes.sliced(Magic.size(), end - Magic.size());

    const qsizetype blank = rest.indexOf(' ');
    const QByteArrayView version = blank < 0 ? rest : rest.first(blank);
    // Decimal digits only, no sign or leading zero, so "01" and "+1" are refused.
    bool digits = !version.isEmpty() && version.size() <= 9 && version.front() != '0';
    for (const char c : version) digits = digits && c >= '0' && c <= '9';
    if (!digits) return Refused(QStringLiteral("the message has no version number"));
    if (version.toInt() != GuardProtocolVersion)
        return Refused(QStringLiteral("unknown message version %1").arg(QString::fromLatin1(version)));
    if (blank < 0) return Refused(QStringLiteral("the message has no request"));
    rest = rest.sliced(blank + 1);

    TGuardMessage m;
    if (rest == ShowWord) {
        m.Kind = TGuardMessage::TKind::Show;
        return m;
    }
    if (!rest.startsWith(RollWord)) return Refused(QStringLiteral("unknown request"));
    const QByteArrayView name = rest.sliced(RollWord.size());
    const QString problem = GuardRollProblem(name);
    if (!problem.isEmpty()) return Refused(problem);
    m.Kind = TGuardMessage::TKind::Roll;
    m.Roll = QString::fromUtf8(name);
    return m;
}

QByteArray MakeGuardMessage(const QString& roll) {
    QByteArray m = Magic.toByteArray() + QByteArray::number(GuardProtocolVersion) + ' ';
    if (roll.isEmpty()) return m + ShowWord.toByteArray() + '\n';
    const QByteArray name = roll.toUtf8();
    // A QString with a lone surrogate encodes to "?" here; the check on the
    // bytes would not see it, so compare the round trip as well.
    if (!GuardRollProblem(name).isEmpty() || QString::fromUtf8(name) != roll) return {};
    return m + RollWord.toByteArray() + name + '\n';
}

TGuardMessageReader::TState TGuardMessageReader::Feed(QByteArrayView piece) {
    if (FState != TState::NeedMore) return FState;
    // Never keep more than one byte beyond the limit: that is enough to refuse it.
    const qsizetype room = MaxGuardMessageBytes + 1 - FBytes.size();
    FBytes.append(piece.first(std::min(piece.size(), room)));
    if (FBytes.size() > MaxGuardMessageBytes) FState = TState::TooLong;
    return FState;
}

TGuardMessage TGuardMessageReader::Finish() const {
    if (FState == TState::TooLong) return Refused(QStringLiteral("the message is too long"));
    if (FBytes.isEmpty()) return Refused(QStringLiteral("the message is empty"));
    return ParseGuardMessage(FBytes);
}
