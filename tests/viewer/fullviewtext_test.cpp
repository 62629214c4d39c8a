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

TEST(FullViewText, DecimalPlaceholdersAreFilledByPositionOrTheTemplateIsKept) {
    struct Case {
        const char* Template;
        std::vector<qint64> Args;
        const char* Result;
    };
    const Case cases[] = {
        {"Image %1!d! of %2!d!", {3, 12}, "Image 3 of 12"},
        {"%2!d! before %1!d!", {1, 2}, "2 before 1"},
        {"%1!d!%1!d!", {-7}, "-7-7"},
        {"100%% done: %1!d!", {5}, "100% done: 5"},
        {"no placeholders", {}, "no placeholders"},
        // Failures give the template back unchanged.
        {"Image %3!d! of %2!d!", {3, 12}, "Image %3!d! of %2!d!"},
        {"Image %1!s!", {3}, "Image %1!s!"},
        {"Image %1", {3}, "Image %1"},
        {"Image %0!d!", {3}, "Image %0!d!"},
        {"ends in %", {}, "ends in %"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Template);
        EXPECT_EQ(FormatDecimalArgs(QString::fromLatin1(c.Template), c.Args), QString::fromLatin1(c.Result));
    }
}
