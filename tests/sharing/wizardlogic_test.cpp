// The upload wizard's rules and arithmetic, as tables.
#include "sharing/temprotation.h"
#include "sharing/wizardlogic.h"
#include "support/fixtures.h"
#include "viewer/selector.h"
#include <gtest/gtest.h>

using namespace WizardLogic;

namespace {

QString Selected(const TSelector& s) {
    QString bits;
    for (int i = 0; i < s.Count(); ++i) bits += s.IsSelected(i) ? '1' : '0';
    return bits;
}

} // namespace

// A left button let go on page "Select", from a selection and anchor.
TEST(WizardLogic, ButtonUpSelection) {
    const struct {
        const char* Before;
        int Anchor, Photo;
        bool Shift, Ctrl, Dragging;
        const char* After;
    } cases[] = {
        {"01100", 1, -1, false, false, false, "00000"},  // empty space clears
        {"01000", 1, 3, false, false, false, "01010"},   // a plain click toggles, keeping the rest
        {"01010", 1, 3, false, false, false, "01000"},
        {"01000", 1, 3, false, false, true, "01000"},    // not while dragging
        {"01000", 1, 3, false, true, true, "01010"},     // Ctrl toggles even then
        {"10001", 1, 3, true, false, false, "01110"},    // Shift: exactly anchor..photo
        {"11001", 1, 3, true, true, false, "11111"},     // Shift+Ctrl: the anchor's state over the range
        {"10001", 1, 3, true, true, false, "10001"},
    };
    for (const auto& c : cases) {
        TSelector s;
        s.SetCount(5);
        for (int i = 0; i < 5; ++i)
            if (c.Before[i] == '1') s.Select(i);
        s.Anchor = c.Anchor;
        ButtonUp(s, c.Photo, c.Shift, c.Ctrl, c.Dragging);
        EXPECT_EQ(Selected(s), c.After) << c.Before << " photo " << c.Photo << " shift " << c.Shift << " ctrl " << c.Ctrl;
    }
}

TEST(WizardLogic, BarsAndScrolling) {
    const struct {
        int N, Total, Percent, Expected;
    } upload[] = {{2, 4, 50, 38}, {1, 3, 0, 0}, {3, 3, 100, 100}, {1, 1, 49, 49}, {5, 4, 100, 100}, {1, 0, 50, 0}};
    for (const auto& c : upload) EXPECT_EQ(UploadTotalPercent(c.N, c.Total, c.Percent), c.Expected) << c.N << "/" << c.Total;
    EXPECT_EQ(PreparingPercent(1, 3), 33);
    EXPECT_EQ(PreparingPercent(2, 3), 67);

    const struct {
        qint64 Total, Sent;
        int Attachments;
        std::optional<int> TotalBar;
        int Photo, PhotoBar;
    } send[] = {
        {3000, 1500, 3, 50, 1, 50},
        {3000, 0, 3, 0, 0, 0},
        {3000, 3000, 3, 100, 2, 100},   // all sent: the last photo, full
        {3001, 3001, 3, 100, 2, 100},
        {0, 0, 3, std::nullopt, -1, 0},  // the size not known yet
        {3000, 1500, 0, 50, -1, 0},      // no photos
        {100, 250, 2, 100, 1, 100},      // more than announced is clamped
    };
    for (const auto& c : send) {
        const TSendProgress p = SendProgress(c.Total, c.Sent, c.Attachments);
        EXPECT_EQ(p.Total, c.TotalBar) << c.Total << " " << c.Sent;
        EXPECT_EQ(p.Photo, c.Photo) << c.Total << " " << c.Sent;
        EXPECT_EQ(p.PhotoPercent, c.PhotoBar) << c.Total << " " << c.Sent;
    }

    for (const auto& [y, step] : std::vector<std::pair<int, int>>{{1, 0}, {99, 0}, {0, -6}, {-40, -6}, {100, 6}, {130, 6}})
        EXPECT_EQ(AutoScrollStep(y, 100), step) << y;
}

// The shoebox page's address: only "%s" is filled, each value encoded.
TEST(WizardLogic, ShoeboxUrl) {
    const QString base = "https://p.test/photo_index.asp?H=start.asp&CustomerID=%s&L=shoebox&R=%s&P=%s&Img=001&N=%s/&M=y";
    EXPECT_EQ(ShoeboxUrl(base, {"C7", "lumora", "tok", "EN"}),
              "https://p.test/photo_index.asp?H=start.asp&CustomerID=C7&L=shoebox&R=lumora&P=tok&Img=001&N=EN/&M=y");
    EXPECT_EQ(ShoeboxUrl(base, {"a&b=c", "%s%d", "x y#", "EN"}),
              "https://p.test/photo_index.asp?H=start.asp&CustomerID=a%26b%3Dc&L=shoebox&R=%25s%25d&P=x%20y%23&Img=001&N=EN/&M=y");
    EXPECT_EQ(ShoeboxUrl("https://p.test/%d/%n/%s/%s?%", {"1"}), "https://p.test/%d/%n/1/?%");
    EXPECT_EQ(DoubledAmpersands("Tom & Jerry && Co"), "Tom && Jerry &&&& Co");
}

TEST(WizardLogic, RecipientsAndTheEmailPage) {
    const std::vector<TRecipient> rows = {{"To", "a@x.org", ""}, {"cc", "c@x.org", ""}, {"To", "b@x.org", ""},
                                          {"", "d@x.org", ""},   {"BCC", "e@x.org", ""}, {"To", "Ann Lee", "ann@x.org"},
                                          {"cc", "Berg, \"Bo\" <bo@x.org>", ""}};
    const TRecipientLists lists = JoinRecipients(rows);
    EXPECT_EQ(lists.To, "a@x.org,b@x.org,d@x.org,\"Ann Lee\" <ann@x.org>");
    EXPECT_EQ(lists.Cc, "c@x.org,\"Berg, \\\"Bo\\\"\" <bo@x.org>");
    EXPECT_EQ(lists.Bcc, "e@x.org");

    const struct {
        const char* From;
        std::vector<TRecipient> Rows;
        std::optional<TStr> Complaint;
    } pages[] = {
        {"", {{"To", "a@x.org", ""}}, TStr::NeedFromAddress},
        {"  ", {}, TStr::NeedFromAddress},
        {"me.example.org", {}, TStr::NeedValidFromAddress},  // before any recipient is looked at
        {"me@exa mple.org", {{"To", "a@x.org", ""}}, TStr::NeedValidFromAddress},
        {"me@x.org\r\nBcc: z@x.org", {{"To", "a@x.org", ""}}, TStr::NeedValidFromAddress},
        {"me@x.org", {}, TStr::NeedRecipient},
        {"me@x.org", {{"To", "a@x.org", ""}, {"To", "", ""}}, TStr::BlankRecipient},
        {"me@x.org", {{"To", "ax.org", ""}, {"To", "", ""}}, TStr::NeedValidRecipient},
        {"me@x.org", {{"To", "a@x.org;b@x.org", ""}}, TStr::NeedValidRecipient},
        {"me@x.org", {{"Cc", "a@x.org\nSubject: x", ""}}, TStr::NeedValidRecipient},
        {"Me <me@x.org>", {{"To", "a@x.org", ""}, {"Bcc", "Bo <b@x.org>", ""}}, std::nullopt},
    };
    for (const auto& p : pages)
        EXPECT_EQ(CheckEmailPage(p.From, p.Rows), p.Complaint) << p.From << " / " << p.Rows.size();

    // Small, Medium, Thumb, Large, Tiny, ExLarge, in that order.
    const struct {
        std::vector<int> Present;
        TLevel Level;
    } levels[] = {{{3, 5}, 3}, {{4, 5, 6}, 4}, {{1, 2, 5}, 2}, {{1, 5, 6}, 5}, {{1, 6}, 1}, {{6}, 6}, {{}, 0}};
    for (const auto& l : levels) {
        TLevelSet set;
        for (int level : l.Present) set.Include(level);
        EXPECT_EQ(EmailLevel(set), l.Level) << l.Present.size();
    }
}

// Copies get the photo's name, or the first free "(n)" before its first dot.
TEST(WizardLogic, UniqueCopyName) {
    TTempFolder folder;
    const QString dir = folder.Path() + "sub/";
    const struct {
        const char* Name;
        const char* Existing;
        const char* Expected;
    } cases[] = {
        {"/disc/Large/a.jpg", "", "a.jpg"},
        {"a.jpg", "a.jpg", "a (1).jpg"},
        {"a.jpg", "a.jpg|a (1).jpg", "a (2).jpg"},
        {"Fähre 1.v2.jpg", "Fähre 1.v2.jpg", "Fähre 1 (1).v2.jpg"},
        {"README", "README", "README (1)"},
    };
    for (const auto& c : cases) {
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        for (const QString& name : QString::fromUtf8(c.Existing).split('|', Qt::SkipEmptyParts))
            folder.Write("sub/" + name, "x");
        EXPECT_EQ(UniqueCopyName(dir, QString::fromUtf8(c.Name)).mid(dir.size()).toStdString(), c.Expected);
    }
    // A link under the name is taken too: the copy never goes through it.
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QFile::link(folder.Path() + "elsewhere.jpg", dir + "a.jpg");
    EXPECT_EQ(UniqueCopyName(dir, "a.jpg"), dir + "a (1).jpg");
    // Made when missing; a file in the way is no folder.
    EXPECT_EQ(UniqueCopyName(folder.Path() + "new/deeper", "b.jpg"), folder.Path() + "new/deeper/b.jpg");
    folder.Write("file", "x");
    EXPECT_EQ(UniqueCopyName(folder.Path() + "file", "b.jpg"), QString());
}
