#include "imaging/loading.h"
#include <gtest/gtest.h>

TEST(ImageTypeTable, RowsAsTheProgramKnowsThem) {
    const auto& table = ImageTypeTable();
    ASSERT_EQ(table.size(), 34u);
    struct Case {
        int Row; const char* Ext; const char* Description; const char* Short; int Code; int Quality;
        std::vector<int> Depths; int OneBit; bool Secondary;
    };
    const Case cases[] = {
        {0, "bmp", "Windows Bitmap", "", 6, 0, {1, 4, 8, 24}, 1, false},
        {1, "tif", "TIFF (Tagged Image File Format)", "TIFF", 3, 0, {1, 2, 3, 4, 5, 6, 7, 8, 16, 24}, 4, false},
        {2, "tif", "Compressed TIFF", "TIFF", 17, 0, {1, 2, 3, 4, 5, 6, 7, 8, 16, 24}, 4, true},
        {3, "jpg", "JPEG High Quality", "JPEG", 10, 20, {24}, 0, false},
        {4, "jpg", "JPEG Medium Quality", "JPEG", 10, 100, {24}, 0, true},
        {5, "jpg", "JPEG Low Quality", "JPEG", 10, 200, {24}, 0, true},
        {6, "png", "PNG (Portable Network Graphic)", "PNG", 75, 0, {1, 4, 8, 24}, 1, false},
        {7, "png", "PNG 8 bit (Portable Network Graphic)", "PNG", 75, 0, {8}, 8, true},
        {8, "gif", "GIF (Graphic Interchange Format)", "GIF", 2, 0, {1, 2, 3, 4, 5, 6, 7, 8}, 1, false},
        {9, "pva", "Photo-service JPEG (variant A)", "", 0, 0, {}, 0, false},
        {10, "pic", "Photo-service JPEG (variant B)", "", 0, 0, {}, 0, false},
        {11, "kqp", "Konica Quality Photo JPEG", "", 0, 0, {}, 0, false},
        {12, "sig", "Signature Color JPEG", "", 0, 0, {}, 0, false},
        {13, "pcx", "ZSoft PCX", "", 1, 0, {1, 4, 8, 24}, 1, false},
        {14, "tga", "TARGA", "", 4, 0, {8, 16, 24}, 0, false},
        {15, "psd", "Adobe Photoshop 3.0", "", 76, 0, {1, 8, 24}, 8, false},
        {16, "bmp", "OS/2 BMP version 1.x", "", 14, 0, {1, 4, 8, 24}, 1, true},
        {17, "bmp", "OS/2 BMP version 2.x", "", 74, 0, {1, 4, 8, 24}, 1, true},
        {18, "wmf", "Windows Meta File", "Windows meta", 15, 0, {8, 24}, 0, false},
        {19, "eps", "Encapsulated PostScript", "", 16, 0, {8, 16, 24}, 0, false},
        {20, "cmp", "Library compression format", "", 5, 0, {8, 24}, 0, false},
        {21, "wpg", "WordPerfect", "", 54, 0, {1, 4, 8}, 4, false},
        {22, "ras", "Sun Raster", "", 55, 0, {1, 4, 8, 24}, 1, false},
        {23, "cls", "CALS Raster", "", 50, 0, {1}, 1, false},
        {24, "mac", "MacPaint", "", 51, 0, {1}, 1, false},
        {25, "pct", "Macintosh Pict", "", 56, 0, {1, 4, 8, 24}, 4, false},
        {26, "msp", "Microsoft Paint", "", 53, 0, {1}, 1, false},
        {27, "img", "GEM Image", "", 52, 0, {1}, 1, false},
        {28, "pcd", "Kodak PhotoCD", "", 57, 0, {}, 0, false},
        {29, "fpx", "FlashPix", "", 80, 0, {8, 24}, 24, false},
        {30, "fpx", "FlashPix \"single color\" compressed", "", 81, 0, {8, 24}, 24, true},
        {31, "fpx", "FlashPix JPEG compressed", "", 82, 0, {8, 24}, 24, true},
        {32, "bmp", "Windows bitmap, RLE encoded", "", 84, 0, {}, 0, true},
        {33, "Unknown", "Unknown", "", 0, 0, {}, 0, false},
    };
    for (const Case& c : cases) {
        const TImageTypeDescriptor& row = table[size_t(c.Row)];
        SCOPED_TRACE(c.Row);
        EXPECT_EQ(row.Extension, c.Ext);
        EXPECT_EQ(row.Description, c.Description);
        EXPECT_EQ(row.ShortName, c.Short);
        EXPECT_EQ(row.Code, c.Code);
        EXPECT_EQ(row.QualityFactor, c.Quality);
        EXPECT_EQ(row.OneBitDepth, c.OneBit);
        EXPECT_EQ(row.Secondary, c.Secondary);
        std::vector<int> depths;
        for (int bits = 1; bits <= 32; ++bits)
            if (row.Allows(bits)) depths.push_back(bits);
        EXPECT_EQ(depths, c.Depths);
    }
    EXPECT_TRUE(table[19].Depths.test(OptionPreferLowest));
    EXPECT_TRUE(table[19].Depths.test(OptionConvertFirst));
    EXPECT_FALSE(table[19].Depths.test(OptionPreferHighest));
    for (int row : {29, 30, 31}) EXPECT_TRUE(table[size_t(row)].Depths.test(OptionPreferHighest));
    EXPECT_FALSE(table[0].Depths.test(OptionPreferHighest));
}

TEST(FormatIndexOf, MapsCodesToTheirFirstRow) {
    const std::pair<int, int> cases[] = {
        {FILE_VARIANT_A, 9}, {FILE_VARIANT_B, 10}, {0, 33}, {6, 0}, {3, 1}, {17, 2}, {10, 3},
        {75, 6}, {2, 8}, {80, 29}, {82, 31}, {84, 32}, {57, 28}, {83, 33}, {999, 33}, {-1, 33},
    };
    for (auto [code, row] : cases) EXPECT_EQ(FormatIndexOf(code), row) << code;
}

TEST(FormatDescription, TableRowsThenTheExtraCodes) {
    const std::pair<int, const char*> cases[] = {
        {6, "Windows Bitmap"},
        {FILE_VARIANT_B, "Photo-service JPEG (variant B)"},
        {11, "Tagged Image File with JPEG compression (JTIF)"},
        {63, "Encapsulated PostScript with an embedded TIFF file"},
        {77, "IOCA, compressed using CCITT  group 3, 1 dimension, without the MO:DCA wrapper"},
        {88, "TIFF Packbits CMYK"},
        {90, "DICOM Color"},
        {83, ""},
        {91, ""},
        {0, ""},
    };
    for (auto [code, text] : cases) EXPECT_EQ(FormatDescription(code), text) << code;
    EXPECT_FALSE(FormatDescription(65).isEmpty());
}

TEST(CommentSlotName, NamedSlotsOnly) {
    EXPECT_EQ(CommentSlotName(0), "Artist");
    EXPECT_EQ(CommentSlotName(9), "Software");
    EXPECT_EQ(CommentSlotName(20), "Series number (DICOM)");
    EXPECT_EQ(CommentSlotName(21), "");
    EXPECT_EQ(CommentSlotName(67), "");
    EXPECT_EQ(CommentSlotName(68), "Lumora Title");
    EXPECT_EQ(CommentSlotName(71), "Lumora Information");
    EXPECT_EQ(CommentSlotName(72), "");
    EXPECT_EQ(CommentSlotName(-1), "");
}

TEST(IsSaveSupported, CodeMustSaveAndTheRowMustAllowTheDepth) {
    struct Case { int Code, Bits; bool Supported; };
    const Case cases[] = {
        {6, 0, true}, {6, 24, true}, {6, 16, false}, {75, 8, true}, {10, 24, true}, {10, 8, false},
        {57, 0, false}, {0, 0, false}, {FILE_VARIANT_A, 0, false}, {84, 0, false}, {83, 0, true},
        {66, 0, true}, {5, 0, false}, {22, 0, true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSaveSupported(c.Code, c.Bits), c.Supported) << c.Code << "/" << c.Bits;
}

TEST(ChooseSaveBits, WalksToAnAllowedDepth) {
    struct Case { int Bits, Row, Chosen; bool Converted; };
    const Case cases[] = {
        {16, 0, 24, false},   // BMP has no 16 bits: next allowed above
        {24, 7, 8, false},    // nothing above 24 for PNG 8 bit: walk down
        {1, 1, 4, false},     // 1-bit pictures go to TIFF as 4 bits
        {1, 0, 1, false},
        {32, 3, 24, false},
        {8, 29, 24, false},   // FlashPix prefers the highest depth
        {24, 19, 8, true},    // EPS prefers the lowest and converts first
        {8, 6, 8, false},
    };
    for (const Case& c : cases) {
        TBitmapHandlePtr handle = NewBitmapHandlePtr();
        ASSERT_EQ(L_AllocateBitmap(handle.get(), 4, 4, c.Bits), SUCCESS) << c.Bits;
        TBitmapHandlePtr converted;
        EXPECT_EQ(ChooseSaveBits(handle.get(), c.Row, converted), c.Chosen) << c.Bits << " row " << c.Row;
        EXPECT_EQ(bool(converted), c.Converted);
        if (converted) {
            EXPECT_EQ(converted->BitsPerPixel, c.Chosen);
        }
    }
}

TEST(PCDResolution, ChangeReturnsThePreviousValue) {
    EXPECT_EQ(PCDResolution(), 3);
    EXPECT_EQ(ChangePCDResolution(5), 3);
    EXPECT_EQ(PCDResolution(), 5);
    EXPECT_EQ(ChangePCDResolution(2), 5);
    for (int none : {-1, 6, 9}) {
        EXPECT_EQ(ChangePCDResolution(none), 2);
        EXPECT_EQ(PCDResolution(), 2) << none << " is no size: refused";
    }
    EXPECT_EQ(ChangePCDResolution(3), 2);
    EXPECT_EQ(PCDResolutionSize(0), QSize(96, 64));
    EXPECT_EQ(PCDResolutionSize(3), QSize(768, 512));
    EXPECT_EQ(PCDResolutionSize(5), QSize(3072, 2048));
}

TEST(ChangeFileExt, ReplacesOrAppends) {
    EXPECT_EQ(ChangeFileExt("/a/b/photo.jpg", ".tmp"), "/a/b/photo.tmp");
    EXPECT_EQ(ChangeFileExt("/a/b.d/photo", ".bak"), "/a/b.d/photo.bak");
    EXPECT_EQ(ChangeFileExt("/a/photo.tar.gz", ".tmp"), "/a/photo.tar.tmp");
}
