#include "suite/email/mimetext.h"
#include <gtest/gtest.h>

using namespace Email;

TEST(EmailMimeText, HeaderTextStaysPlainOnlyWhenNothingIsLost) {
    struct TCase {
        std::string Text, Encoded;
    };
    const TCase cases[] = {
        {"Photos of the ferry", "Photos of the ferry"},
        {"", ""},
        {" leading blank", "=?UTF-8?B?IGxlYWRpbmcgYmxhbms=?="},
        {"looks =?encoded?= but is not", "=?UTF-8?B?bG9va3MgPT9lbmNvZGVkPz0gYnV0IGlzIG5vdA==?="},
        {"Grüße", "=?UTF-8?B?R3LDvMOfZQ==?="},
        {"bad \xff byte", "=?UTF-8?B?YmFkIO+/vSBieXRl?="},
        // Long text becomes several words, never splitting a character.
        {std::string(38, 'a') + "\xC3\xBC" "b",
         "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWE=?= =?UTF-8?B?w7xi?="},
    };
    for (const TCase& c : cases) EXPECT_EQ(EncodeText(c.Text), c.Encoded) << c.Text;

    const TCase names[] = {
        {"Ann Example", "Ann Example"},
        {"Doe, Ann", "\"Doe, Ann\""},
        {"Say \"hi\" \\o/", "\"Say \\\"hi\\\" \\\\o/\""},
        {"Jörg", "=?UTF-8?B?SsO2cmc=?="},
    };
    for (const TCase& c : names) EXPECT_EQ(EncodePhrase(c.Text), c.Encoded) << c.Text;

    EXPECT_EQ(SubjectText("a\r\nb\nc\rd\te\x7f" "f\r\n"), "a b c d e f ");
    EXPECT_EQ(CleanUtf8("ok \xC3\xBC \xC3 \xED\xA0\x80 \xF4\x90\x80\x80 \xC0\xAF"),
              "ok \xC3\xBC \xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
              "\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(EmailMimeText, FoldedHeadersKeepTheirTextAndLineLength) {
    const std::string values[] = {
        "",
        "short",
        EncodeText(std::string(200, 'x') + " \xC3\xA4"),
        "Ann <a@x.test>, Bob Example <b@x.test>, Carl <c@x.test>, Dora <d@x.test>, Emil <e@x.test>",
        "one  two   three " + std::string(70, 'w') + " four",
    };
    for (const std::string& value : values) {
        const std::string folded = FoldHeader("Subject", value);
        ASSERT_GE(folded.size(), 2u);
        ASSERT_EQ(folded.substr(folded.size() - 2), "\r\n");
        std::string unfolded;
        size_t start = 0;
        for (size_t end; (end = folded.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string line = folded.substr(start, end - start);
            EXPECT_TRUE(line.size() <= FoldWidth || line.find(' ', 1) == std::string::npos) << line;
            EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
            if (start > 0) {
                EXPECT_EQ(line.front(), ' ') << "a continuation line must start with a blank";
            }
            EXPECT_NE(line.find_first_not_of(' '), std::string::npos) << "a line of blanks alone";
            unfolded += line;
        }
        EXPECT_EQ(unfolded, "Subject: " + value);
    }
}

TEST(EmailMimeText, FileNamesAsParameters) {
    struct TCase {
        std::string Name, Parameter;
    };
    std::string twenty, eight, four;
    for (int i = 0; i < 20; ++i) twenty += "\xC3\xBC";
    for (int i = 0; i < 8; ++i) eight += "%C3%BC";
    for (int i = 0; i < 4; ++i) four += "%C3%BC";
    const TCase cases[] = {
        {"IMG_0001.jpg", "; filename=\"IMG_0001.jpg\""},
        {"Fähre 1.jpg", "; filename*=UTF-8''F%C3%A4hre%201.jpg"},
        {"say \"x\".jpg", "; filename*=UTF-8''say%20%22x%22.jpg"},
        {"line\r\nbreak.jpg", "; filename*=UTF-8''line%0D%0Abreak.jpg"},
        {twenty, "; filename*0*=UTF-8''" + eight + "; filename*1*=" + eight + "; filename*2*=" + four},
    };
    for (const TCase& c : cases) EXPECT_EQ(FileNameParameter("filename", c.Name), c.Parameter) << c.Name;
}

TEST(EmailMimeText, QuotedPrintableKeepsEveryLineSafe) {
    struct TCase {
        std::string Text, Encoded;
    };
    const TCase cases[] = {
        {"plain", "plain"},
        {"a\r\n.\r\nb", "a\r\n=2E\r\nb"},
        {".", "=2E"},
        {"a\n.\nb\rc", "a\r\n=2E\r\nb\r\nc"},
        {"From here\nFrom", "=46rom here\r\nFrom"},
        {"trailing \r\ntab\t", "trailing=20\r\ntab=09"},
        {"a = b", "a =3D b"},
        {"\xC3\xBC\xff", "=C3=BC=EF=BF=BD"},
        {std::string(80, 'x'), std::string(75, 'x') + "=\r\n" + std::string(5, 'x')},
        {std::string(74, 'x') + "\xC3\xBC", std::string(74, 'x') + "=\r\n=C3=BC"},
        {std::string(75, 'x') + ".", std::string(75, 'x') + "=\r\n=2E"},
    };
    for (const TCase& c : cases) EXPECT_EQ(QuotedPrintable(c.Text), c.Encoded) << c.Text;
}

TEST(EmailMimeText, Base64LinesOf76) {
    struct TCase {
        std::string Data, Encoded;
    };
    const TCase cases[] = {
        {"", ""},
        {"f", "Zg==\r\n"},
        {"fo", "Zm8=\r\n"},
        {"foo", "Zm9v\r\n"},
        {std::string(57, '\0'), std::string(76, 'A') + "\r\n"},
        {std::string(58, '\xff'), std::string(76, '/') + "\r\n/w==\r\n"},
    };
    for (const TCase& c : cases) {
        std::string out = "head:";
        AppendBase64Lines(out, c.Data);
        EXPECT_EQ(out, "head:" + c.Encoded);
        EXPECT_EQ(Base64LinesSize(c.Data.size()), c.Encoded.size());
    }
}
