#include "imaging/smoothrender.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

TSmoothFontRecord ArialPixels(int pixels, quint8 style = FontStyleBold) {
    QFont f("Arial");
    f.setPixelSize(pixels);
    TSmoothFontRecord r = TSmoothFontRecord::FromFont(f, 96);
    r.Style = style;
    return r;
}

quint8 Channel(const TSmoothGlyph& g, int x, int y, int channel) {
    return g.Pixels[(size_t(y) * g.Width + x) * 3 + channel];
}

// Coverage-weighted centre of one channel.
QPointF Centre(const TSmoothGlyph& g, int channel) {
    double sx = 0, sy = 0, total = 0;
    for (int y = 0; y < g.Height; ++y)
        for (int x = 0; x < g.Width; ++x) {
            const int v = Channel(g, x, y, channel);
            sx += v * x;
            sy += v * y;
            total += v;
        }
    return total > 0 ? QPointF(sx / total, sy / total) : QPointF(-1, -1);
}

int Sum(const TSmoothGlyph& g, int channel) {
    int total = 0;
    for (int y = 0; y < g.Height; ++y)
        for (int x = 0; x < g.Width; ++x) total += Channel(g, x, y, channel);
    return total;
}

// A hand-made glyph of Width x 1 pixels with the given (shadow, body, face)
// coverage in every pixel.
TSmoothGlyph Flat(int width, quint8 shadow, quint8 body, quint8 face) {
    TSmoothGlyph g;
    g.Width = width;
    g.Height = 1;
    for (int i = 0; i < width; ++i) g.Pixels.insert(g.Pixels.end(), {shadow, body, face});
    return g;
}

// Draws a composed image over a plain background and returns pixel X of row 0.
QColor Over(const QImage& composed, int width, int height, QColor background, int x) {
    QImage canvas(width, height, QImage::Format_RGB32);
    canvas.fill(background);
    QPainter p(&canvas);
    p.drawImage(QPoint(0, 0), composed, QRect(0, 0, width, height));
    p.end();
    return canvas.pixelColor(x, 0);
}

} // namespace

TEST(SmoothRender, OversamplingFollowsTheHeightOfX) {
    const struct { int height, factor; } cases[] = {{1, 16}, {12, 16}, {13, 8}, {50, 8}, {51, 4}, {400, 4}};
    for (const auto& c : cases) EXPECT_EQ(OversamplingFactor(c.height), c.factor) << c.height;
}

TEST(SmoothRender, CellSizesAndOverlap) {
    TFont3DValues sharp;   // altitude 3, outline 1
    TFont3DValues diffuse = sharp;
    diffuse.ShadowStyle = sfssDiffuse;
    TFont3DValues negative = sharp;
    negative.Altitude = -2.5;
    negative.BorderHeight = -0.5;
    const struct {
        const char* what;
        int xHeight, advance;
        bool italic;
        const TFont3DValues& style;
        int width, height, overlap;
    } cases[] = {
        {"sharp", 18, 10, false, sharp, 16, 24, -4},
        {"diffuse adds 5 % of X", 40, 10, false, diffuse, 18, 48, -6},
        {"italic adds 10 % of X", 40, 10, true, sharp, 20, 46, -8},
        {"depths count by size", 18, 10, false, negative, 15, 23, -3},
    };
    for (const auto& c : cases) {
        const TGlyphCell cell = GlyphCellFor(c.xHeight, c.advance, c.italic, c.style);
        EXPECT_EQ(cell.Width, c.width) << c.what;
        EXPECT_EQ(cell.Height, c.height) << c.what;
        EXPECT_EQ(cell.Overlap, c.overlap) << c.what;
    }
}

TEST(SmoothRender, GlyphLayersLieAlongTheViewDirection) {
    const TSmoothFontRecord font = ArialPixels(24);
    TFont3DValues style;   // seen from the upper left (135 degrees)
    int overlap = 0;
    const TSmoothGlyph g = RenderSmoothGlyph(font, style, U'H', false, overlap);
    ASSERT_TRUE(g.Rendered());
    EXPECT_EQ(overlap, -4);
    ASSERT_EQ(g.Pixels.size(), size_t(g.Width) * g.Height * 3);
    // The face is solid somewhere and everywhere lies on the body.
    int solidFace = 0;
    for (int y = 0; y < g.Height; ++y)
        for (int x = 0; x < g.Width; ++x) {
            if (Channel(g, x, y, 2) == 255) ++solidFace;
            ASSERT_GE(Channel(g, x, y, 1) + 1, Channel(g, x, y, 2)) << x << "," << y;
        }
    EXPECT_GT(solidFace, 20);
    // Body and shadow reach down and to the right of the face.
    const QPointF face = Centre(g, 2), body = Centre(g, 1), shadow = Centre(g, 0);
    EXPECT_GT(body.x(), face.x() + 0.3);
    EXPECT_GT(body.y(), face.y() + 0.3);
    EXPECT_GT(shadow.x(), body.x());
    EXPECT_GT(shadow.y(), body.y());

    // Seen from the upper right, the depth goes to the lower left.
    style.ViewDirection = 45;
    const TSmoothGlyph h = RenderSmoothGlyph(font, style, U'H', false, overlap);
    EXPECT_LT(Centre(h, 1).x(), Centre(h, 2).x() - 0.3);
    EXPECT_GT(Centre(h, 1).y(), Centre(h, 2).y() + 0.3);

    // No shadow style: an empty shadow layer. A wider outline: more body.
    style.ShadowStyle = sfssNone;
    const TSmoothGlyph none = RenderSmoothGlyph(font, style, U'H', false, overlap);
    EXPECT_EQ(Sum(none, 0), 0);
    style.BorderHeight = 2;
    EXPECT_GT(Sum(RenderSmoothGlyph(font, style, U'H', false, overlap), 1), Sum(none, 1));
}

TEST(SmoothRender, ControlCharactersAndBlanksHaveNoInk) {
    const TSmoothFontRecord font = ArialPixels(16);
    int overlap = 0;
    for (char32_t ch : {U'\0', U'\t', U' ', char32_t(0x85)}) {
        const TSmoothGlyph g = RenderSmoothGlyph(font, TFont3DValues(), ch, false, overlap);
        ASSERT_TRUE(g.Rendered());
        EXPECT_EQ(Sum(g, 0) + Sum(g, 1) + Sum(g, 2), 0) << int(ch);
    }
}

TEST(SmoothRender, UnderlinedGlyphHasMoreFaceBelowTheBaseline) {
    const TSmoothFontRecord font = ArialPixels(20, 0);
    int overlap = 0;
    const TSmoothGlyph plain = RenderSmoothGlyph(font, TFont3DValues(), U'a', false, overlap);
    const TSmoothGlyph underlined = RenderSmoothGlyph(font, TFont3DValues(), U'a', true, overlap);
    ASSERT_EQ(plain.Width, underlined.Width);
    int lowPlain = 0, lowUnderlined = 0;
    for (int y = plain.Height * 3 / 4; y < plain.Height; ++y)
        for (int x = 0; x < plain.Width; ++x) {
            lowPlain += Channel(plain, x, y, 2);
            lowUnderlined += Channel(underlined, x, y, 2);
        }
    EXPECT_GT(lowUnderlined, lowPlain + 255 * 4);
}

TEST(SmoothRender, ColouringMixesShadowBodyAndFaceOverTheBackground) {
    TFont3DValues style;
    style.FrontColor = QColor(250, 240, 230);
    style.BorderColor = QColor(100, 150, 200);
    style.BorderEffectColor = 0;   // one body colour
    style.ShadowColor = 32;
    const QColor bg(200, 100, 50);
    TSmoothComposer composer;
    const struct {
        const char* what;
        quint8 s, g, r;
        QColor expected;
    } cases[] = {
        {"nothing", 0, 0, 0, bg},
        {"full shadow darkens by (255 - grey) / 255", 255, 0, 0, QColor(175, 88, 44)},
        {"full body replaces", 255, 255, 0, QColor(100, 150, 200)},
        {"full face replaces", 255, 255, 255, QColor(250, 240, 230)},
        {"half body mixes", 0, 128, 0, QColor(150, 125, 125)},
        {"half face over full body", 0, 255, 128, QColor(175, 195, 215)},
    };
    for (const auto& c : cases) {
        TSmoothGlyph g = Flat(4, c.s, c.g, c.r);
        const QImage& out = composer.Compose({{&g, 0}}, 4, 1, style);
        const QColor got = Over(out, 4, 1, bg, 2);
        EXPECT_NEAR(got.red(), c.expected.red(), 1) << c.what;
        EXPECT_NEAR(got.green(), c.expected.green(), 1) << c.what;
        EXPECT_NEAR(got.blue(), c.expected.blue(), 1) << c.what;
    }
    // Without a shadow style the shadow layer darkens nothing.
    style.ShadowStyle = sfssNone;
    TSmoothGlyph g = Flat(4, 255, 0, 0);
    EXPECT_EQ(Over(composer.Compose({{&g, 0}}, 4, 1, style), 4, 1, bg, 1), bg);
}

TEST(SmoothRender, BodyAwayFromTheFaceIsShadedTheOutlineIsNot) {
    TFont3DValues style;   // grey outline, effect -1, outline 1 pixel
    const QColor deep = TSmoothComposer::BodyColor(style);
    EXPECT_LT(deep.red(), style.BorderColor.red());
    style.BorderEffectColor = 1;
    EXPECT_GT(TSmoothComposer::BodyColor(style).red(), style.BorderColor.red());
    style.BorderEffectColor = -1;

    // Face in pixel 0; body in pixels 0..3.
    TSmoothGlyph g = Flat(4, 0, 255, 0);
    g.Pixels[2] = 255;
    TSmoothComposer composer;
    const QImage& out = composer.Compose({{&g, 0}}, 4, 1, style);
    EXPECT_EQ(Over(out, 4, 1, Qt::black, 0), style.FrontColor);
    EXPECT_EQ(Over(out, 4, 1, Qt::black, 1), style.BorderColor);   // within the outline
    EXPECT_EQ(Over(out, 4, 1, Qt::black, 3), deep);                // the depth beyond it
}

TEST(SmoothRender, LaterGlyphsMergeWithEarlierOnesWithoutSeams) {
    TFont3DValues style;
    style.BorderEffectColor = 0;
    TSmoothGlyph full = Flat(4, 0, 255, 0), edge = Flat(2, 0, 40, 0);
    TSmoothComposer composer;
    // A soft edge of the second glyph lying on the first one's body.
    const QImage& out = composer.Compose({{&full, 0}, {&edge, 2}}, 4, 1, style);
    EXPECT_EQ(Over(out, 4, 1, Qt::black, 2), style.BorderColor);
    EXPECT_EQ(Over(out, 4, 1, Qt::black, 3), style.BorderColor);
}

TEST(SmoothRender, GradientAndTextureColourTheFace) {
    TFont3DValues style;
    style.GradientActive = true;
    style.GradientKind = sfgkHorizontal;
    style.GradientBeginColor = QColor(0, 0, 255);
    style.GradientEndColor = QColor(255, 0, 0);
    TSmoothGlyph g = Flat(5, 0, 255, 255);
    TSmoothComposer composer;
    QImage out = composer.Compose({{&g, 0}}, 5, 1, style).copy();
    EXPECT_EQ(Over(out, 5, 1, Qt::black, 0), QColor(0, 0, 255));
    EXPECT_EQ(Over(out, 5, 1, Qt::black, 4), QColor(255, 0, 0));

    QImage texture(2, 1, QImage::Format_RGB32);
    texture.setPixelColor(0, 0, QColor(10, 20, 30));
    texture.setPixelColor(1, 0, QColor(40, 50, 60));
    style.Bitmap = texture;   // the texture wins over the gradient
    out = composer.Compose({{&g, 0}}, 5, 1, style).copy();
    EXPECT_EQ(Over(out, 5, 1, Qt::black, 0), QColor(10, 20, 30));
    EXPECT_EQ(Over(out, 5, 1, Qt::black, 3), QColor(40, 50, 60));
}
