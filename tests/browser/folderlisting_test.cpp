// Reading folders: what is listed and counted, and folders that cannot be read.
#include "browser/folderlisting.h"
#include "support/fixtures.h"
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Browser;

namespace {

struct TFolders {
    TTempFolder Temp;
    TFolders() {
        for (const char* f : {"b/x", "A", "a10", "a9/sub", ".hidden/sub", "only files"}) Temp.Make(f);
        Temp.Write("file.txt", QByteArray(3000, 'x'));
        Temp.Write(".dotfile", QByteArray(5000, 'x'));
        Temp.Write("only files/f", "1");
        symlink((Temp.Path() + "b").toLocal8Bit().constData(), (Temp.Path() + "link").toLocal8Bit().constData());
        symlink("/nowhere", (Temp.Path() + "dangling").toLocal8Bit().constData());
    }
};

} // namespace

TEST(FolderListing, ListsVisibleFoldersAndLinksToThemInNaturalOrder) {
    TFolders f;
    const auto list = ListSubFolders(f.Temp.Path(), TNaturalOrder());
    ASSERT_TRUE(list);
    std::vector<std::pair<QString, bool>> got;
    for (const TSubFolder& s : *list) got.emplace_back(s.Name, s.HasSubFolders);
    const std::vector<std::pair<QString, bool>> expected{
        {"A", false}, {"a9", true}, {"a10", false}, {"b", true}, {"link", true}, {"only files", false}};
    EXPECT_EQ(got, expected);
    EXPECT_FALSE(ListSubFolders(f.Temp.Path() + "file.txt", TNaturalOrder()));
    EXPECT_FALSE(ListSubFolders(f.Temp.Path() + "missing", TNaturalOrder()));
}

TEST(FolderListing, CountsWhatTheTreeShowsWithSizesBeyond4GB) {
    TFolders f;
    const auto counts = CountFolder(f.Temp.Path());
    ASSERT_TRUE(counts);
    // Folders: A a9 a10 b link "only files"; files: file.txt and the dangling link.
    EXPECT_EQ(counts->Folders, 6);
    EXPECT_EQ(counts->Files, 2);
    EXPECT_EQ(counts->Bytes, 3000);

    QFile big(f.Temp.Make("big") + "sparse");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(qint64(5) << 30));
    big.close();
    const auto bigCounts = CountFolder(f.Temp.Path() + "big");
    ASSERT_TRUE(bigCounts);
    EXPECT_EQ(FormatCounts("%d %d %d", *bigCounts), "0 1 5242880");
}
