#include "suite/email/smtpreply.h"
#include <gtest/gtest.h>

using namespace Email;

namespace {

std::vector<TSmtpReply> Read(const std::vector<std::string>& pieces) {
    TSmtpReplyReader reader;
    std::vector<TSmtpReply> out;
    for (const std::string& piece : pieces) {
        reader.Feed(piece);
        TSmtpReply reply;
        while (reader.Next(reply)) out.push_back(reply);
    }
    return out;
}

} // namespace

TEST(EmailReplies, LinesGroupIntoRepliesWhateverThePieces) {
    struct TCase {
        const char* Name;
        std::vector<std::string> Pieces;
        std::vector<int> Codes;
        size_t LinesOfFirst;
    };
    const TCase cases[] = {
        {"one line", {"220 ready\r\n"}, {220}, 1},
        {"multi-line", {"250-mx\r\n250-SIZE 10\r\n250 HELP\r\n"}, {250}, 3},
        {"split anywhere", {"25", "0-mx\r", "\n250 OK", "\r\n354 go\r\n"}, {250, 354}, 2},
        {"bare LF", {"250-a\n250 b\n"}, {250}, 2},
        {"code alone", {"250\r\n"}, {250}, 1},
        {"not yet complete", {"250-a\r\n250 b"}, {}, 0},
        {"line without a code ends the reply", {"250-a\r\nhello\r\n221 bye\r\n"}, {250, 221}, 2},
        {"no code at all", {"garbage\r\n"}, {0}, 1},
        {"code out of range", {"650 x\r\n"}, {0}, 1},
    };
    for (const TCase& c : cases) {
        const std::vector<TSmtpReply> replies = Read(c.Pieces);
        ASSERT_EQ(replies.size(), c.Codes.size()) << c.Name;
        for (size_t i = 0; i < replies.size(); ++i) EXPECT_EQ(replies[i].Code, c.Codes[i]) << c.Name;
        if (!replies.empty()) {
            EXPECT_EQ(replies[0].Lines.size(), c.LinesOfFirst) << c.Name;
        }
    }
}

TEST(EmailReplies, CapabilitiesAndStatusText) {
    struct TCase {
        std::string Reply;
        bool StartTls, Auth;
        std::vector<std::string> Mechanisms;
        std::string Text;
    };
    const TCase cases[] = {
        {"250-mx.test\r\n250-SIZE 100\r\n250-starttls\r\n250 AUTH plain LOGIN\r\n", true, true, {"PLAIN", "LOGIN"},
         "mx.test SIZE 100 starttls AUTH plain LOGIN (250)"},
        {"250-mx.test STARTTLS AUTH\r\n250 8BITMIME\r\n", false, false, {}, "mx.test STARTTLS AUTH 8BITMIME (250)"},
        {"250-mx\r\n250 AUTH=LOGIN\r\n", false, true, {"LOGIN"}, "mx AUTH=LOGIN (250)"},
        {"550 5.1.1 No such user\r\n", false, false, {}, "No such user (550)"},
        {"554-5.7.1 Relay\r\n554 5.7.1 denied\r\n", false, false, {}, "Relay denied (554)"},
        {"421 \x1b[31mgo\taway\x7f\r\n", false, false, {}, "[31mgo away (421)"},
        {"451 \xff\xfe\r\n", false, false, {}, "\xEF\xBF\xBD\xEF\xBF\xBD (451)"},
        {"452\r\n", false, false, {}, "(452)"},
    };
    for (const TCase& c : cases) {
        const std::vector<TSmtpReply> replies = Read({c.Reply});
        ASSERT_EQ(replies.size(), 1u) << c.Reply;
        const TSmtpCapabilities caps = ReadCapabilities(replies[0]);
        EXPECT_EQ(caps.StartTls, c.StartTls) << c.Reply;
        EXPECT_EQ(caps.Auth, c.Auth) << c.Reply;
        EXPECT_EQ(caps.AuthMechanisms, c.Mechanisms) << c.Reply;
        EXPECT_EQ(ReplyText(replies[0]), c.Text);
    }
    TSmtpReply longReply{550, {std::string(300, 'a') + "\xC3\xBC"}};
    EXPECT_EQ(ReplyText(longReply, 301), std::string(300, 'a') + " (550)");
}
