// The full view's counter and progress texts.
#include "viewer/fullviewtext.h"
#include "collection/roll.h"
#include <gtest/gtest.h>
#include <vector>

TEST(FullViewText, ItemIndexCountsFromOneAndSaysWhenThereIsNoRoll) {
    TRoll roll(true, "Roll", "/nowhere/Roll");
    for (int i = 1; i <= 12; ++i) roll.AddFile(QStringLiteral("r-%1.jpg").arg(i));
    EXPECT_EQ(ItemIndexText(&roll, 0), "Image 1 of 12");
    EXPECT_EQ(ItemIndexText(&roll, 11), "Image 12 of 12");
    EXPECT_EQ(ItemIndexText(nullptr, 3), "No Images");
    EXPECT_EQ(LoadingImageText(0), "Loading Image 1");
    EXPECT_EQ(LoadingImageText(41), "Loading Image 42");
}
