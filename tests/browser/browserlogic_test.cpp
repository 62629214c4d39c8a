// The browser's path rules, order, status text, roots and placement.
#include "browser/browserlogic.h"
#include <gtest/gtest.h>
#include <algorithm>

using namespace Browser;

TEST(BrowserLogic, PathsAreWalkedByWholeComponentsFromTheFirstRootHoldingThem) {
    const QStringList roots{"/home/u/Desktop", "/home/u", "/media/u/DISC", "/"};
    const QString home = "/home/u";
    struct Case {
        const char* typed;
        std::optional<TPathWalk> walk;
    } cases[] = {
        {"/home/u/Desktop", TPathWalk{0, {}}},
        {"/home/u/Desktop2/a", TPathWalk{1, {"Desktop2", "a"}}},
        {"/home/u2", TPathWalk{3, {"home", "u2"}}},
        {"/media/u/DISC/Rolls/", TPathWalk{2, {"Rolls"}}},
        {"/media/u/DISC2", TPathWalk{3, {"media", "u", "DISC2"}}},  // not in DISC
        {"~/Pictures/My Photos/", TPathWalk{1, {"Pictures", "My Photos"}}},
        {"  /home/u//a/./b/../c ", TPathWalk{1, {"a", "c"}}},
        {"/", TPathWalk{3, {}}},
        {"Pictures", std::nullopt},
        {"~other/x", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        const QString clean = CleanBrowserPath(c.typed, home);
        EXPECT_EQ(WalkFromRoots(roots, clean), c.walk) << c.typed;
    }
}

TEST(BrowserLogic, NamesSortNaturallyAndWithoutRegardToCase) {
    QStringList names{"Roll 10", "roll 9", "b", "A", "img2.jpg", "IMG10.jpg", "a", "Roll 9"};
    std::sort(names.begin(), names.end(), TNaturalOrder());
    // Names equal but for case keep one fixed order, whatever order they came in.
    const QStringList expected{"A", "a", "b", "img2.jpg", "IMG10.jpg", "Roll 9", "roll 9", "Roll 10"};
    EXPECT_EQ(names, expected);
}

TEST(BrowserLogic, CountsTextTakesEachPercentDInTurnWith64BitKilobytes) {
    const QString standard = "%d folder(s).  %d file(s).  %d K.";
    struct Case {
        QString format;
        TFolderCounts counts;
        QString text;
    } cases[] = {
        {standard, {3, 12, 5 * 1024 + 1023}, "3 folder(s).  12 file(s).  5 K."},
        {standard, {0, 1, qint64(5) << 40}, "0 folder(s).  1 file(s).  5368709120 K."},
        {"%d%% %d %d %d %s", {1, 2, 2048}, "1% 2 2 %d %s"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatCounts(c.format, c.counts), c.text) << c.format.toStdString();
    EXPECT_EQ(FormatBindingFailed("Cannot create binding for object \"%1\"", "lost+found"),
              "Cannot create binding for object \"lost+found\"");
}

TEST(BrowserLogic, AClickClosesTheTreeAfterTheDoubleClickTimeAndAQuarter) {
    for (const auto& [doubleClick, autoClose] : {std::pair{400, 500}, {500, 625}, {3, 3}})
        EXPECT_EQ(AutoCloseInterval(doubleClick), autoClose) << doubleClick;
}

TEST(BrowserLogic, RootsAreDesktopHomeTheMountedVolumesAndTheFileSystem) {
    const std::vector<Platform::TMountInfo> mounts{
        {"/", "ext4", "/dev/sda1"}, {"/media/u/USB", "vfat", "/dev/sdb1"}, {"/run/media/u/CD", "iso9660", "/dev/sr0"},
        {"/mnt", "ext4", "/dev/sdc1"}, {"/mnt/data", "ext4", "/dev/sdc2"}, {"/media2/x", "ext4", "/dev/sdd1"},
        {"/media/u/USB", "ext4", "/dev/sde1"}};
    auto label = [](const Platform::TMountInfo& m) { return m.Device == "/dev/sde1" ? QString("PHOTOS") : QString(); };
    TBrowserTexts texts;
    texts.Home = "Persönlich";
    auto roots = MakeRoots(texts, "/home/u/Desktop", "/home/u/", mounts, label);
    std::vector<std::pair<QString, QString>> got;
    for (const TBrowserRoot& r : roots) got.emplace_back(r.Name, r.Path);
    const std::vector<std::pair<QString, QString>> expected{
        {"Desktop", "/home/u/Desktop"}, {"Persönlich", "/home/u"}, {"PHOTOS", "/media/u/USB"},
        {"CD", "/run/media/u/CD"},      {"data", "/mnt/data"},     {"File System", "/"}};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(roots[3].Kind, TNodeKind::Disc);
    // A desktop that is the home folder itself gives no root of its own.
    EXPECT_EQ(MakeRoots(texts, "/home/u", "/home/u", {}, label).size(), 2u);
}

TEST(BrowserLogic, ThePopupStaysOnTheScreen) {
    const QRect screen(0, 0, 1000, 800);
    struct Case {
        QRect anchor;
        int height;
        QRect popup;
    } cases[] = {
        {{100, 100, 300, 21}, 200, {100, 121, 300, 200}},  // below
        {{100, 700, 300, 21}, 200, {100, 500, 300, 200}},  // no room below: above
        {{850, 100, 300, 21}, 200, {700, 121, 300, 200}},  // pulled in from the right
        {{-50, 100, 300, 21}, 200, {0, 121, 300, 200}},    // and from the left
        {{100, 300, 300, 21}, 700, {100, 321, 300, 479}},  // room on neither side: the larger, cut
        {{100, 500, 300, 21}, 700, {100, 0, 300, 500}},
    };
    for (const Case& c : cases) EXPECT_EQ(PopupGeometry(c.anchor, c.height, screen), c.popup) << c.anchor.y();
}
