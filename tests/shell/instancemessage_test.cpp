// The message a second copy sends the first: what is taken, what is refused,
// and the reader that collects it from a stream in pieces.
#include "shell/instancemessage.h"
#include <gtest/gtest.h>

namespace {

using TKind = TGuardMessage::TKind;

struct TCase {
    const char* Name;
    QByteArray Bytes;
    TKind Kind;
    QString RollOrError;  // the roll when taken; a part of the reason when refused
};

QByteArray Msg(const QByteArray& body) { return "LUMORA-INSTANCE " + body + "\n"; }

} // namespace

TEST(GuardMessage, TakesTheTwoRequestsAndRefusesEverythingElse) {
    const QByteArray longest(MaxGuardRollBytes, 'x');
    const QByteArray tooLong(MaxGuardRollBytes + 1, 'x');
    const TCase cases[] = {
        {"show", Msg("1 SHOW"), TKind::Show, {}},
        {"roll", Msg("1 ROLL Garden"), TKind::Roll, "Garden"},
        {"roll with blanks and colon", Msg("1 ROLL  Summer 2001: Garden "), TKind::Roll, " Summer 2001: Garden "},
        {"roll in UTF-8", Msg("1 ROLL G\xC3\xA4rten \xF0\x9F\x8C\xBB"), TKind::Roll,
         QString::fromUtf8("G\xC3\xA4rten \xF0\x9F\x8C\xBB")},
        {"longest roll name", Msg("1 ROLL " + longest), TKind::Roll, QString::fromLatin1(longest)},
        {"empty", "", TKind::Invalid, "not a message"},
        {"garbage", "GET / HTTP/1.0\r\n\r\n", TKind::Invalid, "not a message"},
        {"magic in lower case", "lumora-instance 1 SHOW\n", TKind::Invalid, "not a message"},
        {"no newline", "LUMORA-INSTANCE 1 SHOW", TKind::Invalid, "cut short"},
        {"CR LF", Msg("1 SHOW\r"), TKind::Invalid, "unknown request"},
        {"second line", Msg("1 SHOW") + "LUMORA-INSTANCE 1 SHOW\n", TKind::Invalid, "follow the end"},
        {"byte after newline", Msg("1 SHOW") + "x", TKind::Invalid, "follow the end"},
        {"other version", Msg("2 SHOW"), TKind::Invalid, "unknown message version 2"},
        {"version 0", Msg("0 SHOW"), TKind::Invalid, "no version"},
        {"leading zero", Msg("01 SHOW"), TKind::Invalid, "no version"},
        {"signed version", Msg("+1 SHOW"), TKind::Invalid, "no version"},
        {"huge version", Msg("99999999999999999999 SHOW"), TKind::Invalid, "no version"},
        {"version only", Msg("1"), TKind::Invalid, "no request"},
        {"no version", Msg("SHOW"), TKind::Invalid, "no version"},
        {"request in lower case", Msg("1 show"), TKind::Invalid, "unknown request"},
        {"show with an argument", Msg("1 SHOW now"), TKind::Invalid, "unknown request"},
        {"two blanks", Msg("1  SHOW"), TKind::Invalid, "unknown request"},
        {"roll without a name", Msg("1 ROLL "), TKind::Invalid, "empty"},
        {"roll without blank", Msg("1 ROLL"), TKind::Invalid, "unknown request"},
        {"roll name too long", Msg("1 ROLL " + tooLong), TKind::Invalid, "too long"},
        {"message too long", QByteArray(MaxGuardMessageBytes + 1, 'L'), TKind::Invalid, "too long"},
        {"NUL in name", Msg(QByteArray("1 ROLL Gar\0den", 14)), TKind::Invalid, "control character"},
        {"tab in name", Msg("1 ROLL Gar\tden"), TKind::Invalid, "control character"},
        {"C1 control in name", Msg("1 ROLL Gar\xC2\x85" "den"), TKind::Invalid, "control character"},
        {"slash", Msg("1 ROLL ../etc"), TKind::Invalid, "\"/\""},
        {"dot", Msg("1 ROLL ."), TKind::Invalid, "no folder name"},
        {"dot dot", Msg("1 ROLL .."), TKind::Invalid, "no folder name"},
        {"byte order mark", Msg("1 ROLL \xEF\xBB\xBFSummer"), TKind::Invalid, "byte order mark"},
        {"Latin-1 byte", Msg("1 ROLL G\xE4rten"), TKind::Invalid, "UTF-8"},
        {"overlong slash", Msg("1 ROLL a\xC0\xAF" "b"), TKind::Invalid, "UTF-8"},
        {"overlong three bytes", Msg("1 ROLL \xE0\x80\xAF"), TKind::Invalid, "UTF-8"},
        {"surrogate", Msg("1 ROLL \xED\xA0\x80"), TKind::Invalid, "UTF-8"},
        {"above U+10FFFF", Msg("1 ROLL \xF4\x90\x80\x80"), TKind::Invalid, "UTF-8"},
        {"cut sequence", Msg("1 ROLL \xE2\x82"), TKind::Invalid, "UTF-8"},
        {"lone continuation", Msg("1 ROLL \x80"), TKind::Invalid, "UTF-8"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TGuardMessage m = ParseGuardMessage(c.Bytes);
        EXPECT_EQ(m.Kind, c.Kind);
        if (c.Kind == TKind::Invalid) {
            EXPECT_TRUE(m.Error.contains(c.RollOrError)) << m.Error.toStdString();
            EXPECT_TRUE(m.Roll.isEmpty());
        } else {
            EXPECT_EQ(m.Roll, c.RollOrError);
            EXPECT_TRUE(m.Error.isEmpty());
        }
    }
}

TEST(GuardMessage, WhatIsMadeIsReadBackAndUnsendableRollsMakeNothing) {
    EXPECT_EQ(MakeGuardMessage(QString()), QByteArray("LUMORA-INSTANCE 1 SHOW\n"));
    EXPECT_EQ(MakeGuardMessage(QStringLiteral("Garden")), QByteArray("LUMORA-INSTANCE 1 ROLL Garden\n"));
    for (const QString& roll : {QStringLiteral("Garden"), QString::fromUtf8("Fr\xC3\xBChling \xE2\x80\x93 1999"),
                                QString(int(MaxGuardRollBytes), u'r')}) {
        const TGuardMessage m = ParseGuardMessage(MakeGuardMessage(roll));
        EXPECT_EQ(m.Kind, TKind::Roll);
        EXPECT_EQ(m.Roll, roll);
    }
    // A name no roll folder can have travels as nothing, never as another name.
    const QString unsendable[] = {QStringLiteral("a/b"), QStringLiteral(".."), QStringLiteral("line\nbreak"),
                                  QString(int(MaxGuardRollBytes) + 1, u'r'),
                                  QString(int(MaxGuardRollBytes) / 2 + 1, QChar(0xE4)),  // 2 bytes each
                                  QString(QChar(0xD800)) + QStringLiteral("lone surrogate")};
    for (const QString& roll : unsendable) EXPECT_TRUE(MakeGuardMessage(roll).isEmpty()) << roll.toStdString();
}

TEST(GuardMessage, ReaderGivesTheSameResultWhateverThePieces) {
    const QByteArray inputs[] = {"LUMORA-INSTANCE 1 ROLL Garden\n", "LUMORA-INSTANCE 1 SHOW\nrest",
                                 "LUMORA-INSTANCE 1 SHOW", "LUMORA-INSTANCE 2 SHOW\n"};
    for (const QByteArray& input : inputs) {
        const TGuardMessage whole = ParseGuardMessage(input);
        for (int step : {1, 2, 7, 1000}) {
            SCOPED_TRACE(input.toStdString() + " in pieces of " + std::to_string(step));
            TGuardMessageReader reader;
            for (qsizetype at = 0; at < input.size(); at += step)
                reader.Feed(QByteArrayView(input).sliced(at, std::min<qsizetype>(step, input.size() - at)));
            const TGuardMessage read = reader.Finish();
            EXPECT_EQ(read.Kind, whole.Kind);
            EXPECT_EQ(read.Roll, whole.Roll);
            EXPECT_EQ(read.Error, whole.Error);
        }
    }
}

TEST(GuardMessage, ReaderStopsKeepingBytesBeyondTheLimit) {
    TGuardMessageReader reader;
    const QByteArray endless(100000, 'L');
    EXPECT_EQ(reader.Feed(endless), TGuardMessageReader::TState::TooLong);
    EXPECT_EQ(reader.Feed("\n"), TGuardMessageReader::TState::TooLong);
    EXPECT_EQ(reader.Bytes().size(), MaxGuardMessageBytes + 1);
    EXPECT_TRUE(reader.Finish().Error.contains("too long"));
    EXPECT_TRUE(TGuardMessageReader().Finish().Error.contains("empty"));
}
