#include "imaging/font3d.h"

#include <QVariant>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace {

// Counts the Changed() notifications of one TFont3D.
struct TChangeCount {
    explicit TChangeCount(TFont3D* font) { QObject::connect(font, &TFont3D::Changed, [this] { ++Count; }); }
    int count() const { return Count; }
    int Count = 0;
};

} // namespace

TEST(Font3D, DefaultsAreTheCaptionStyle) {
    TFont3D f;
    EXPECT_EQ(f.Altitude(), 3.0);
    EXPECT_EQ(f.Border()->Color(), QColor(128, 128, 128));
    EXPECT_EQ(f.Border()->Height(), 1.0);
    EXPECT_EQ(f.Border()->EffectColor(), -1.0);
    EXPECT_EQ(f.CharacterMargin(), 0);
    EXPECT_EQ(f.FrontColor(), QColor(Qt::white));
    EXPECT_FALSE(f.Gradient()->Active());
    EXPECT_EQ(f.Gradient()->Kind(), sfgkVertical);
    EXPECT_EQ(f.Gradient()->BeginColor(), QColor(Qt::black));
    EXPECT_EQ(f.Gradient()->EndColor(), QColor(Qt::white));
    EXPECT_EQ(f.Shadow()->Color(), 32);
    EXPECT_EQ(f.Shadow()->Style(), sfssSharp);
    EXPECT_EQ(f.Site(), sfpFlying);
    EXPECT_EQ(f.ViewDirection(), 135);
}

TEST(Font3D, EverySetterNotifiesOnceAndOnlyOnChange) {
    QImage texture(2, 2, QImage::Format_RGB32);
    texture.fill(Qt::red);
    const struct {
        const char* what;
        std::function<void(TFont3D&)> set;
    } cases[] = {
        {"Altitude", [](TFont3D& f) { f.SetAltitude(5); }},
        {"Bitmap", [&](TFont3D& f) { f.SetBitmap(texture); }},
        {"Border.Color", [](TFont3D& f) { f.Border()->SetColor(Qt::blue); }},
        {"Border.Height", [](TFont3D& f) { f.Border()->SetHeight(2); }},
        {"Border.EffectColor", [](TFont3D& f) { f.Border()->SetEffectColor(0.5); }},
        {"CharacterMargin", [](TFont3D& f) { f.SetCharacterMargin(2); }},
        {"FrontColor", [](TFont3D& f) { f.SetFrontColor(Qt::yellow); }},
        {"Gradient.Active", [](TFont3D& f) { f.Gradient()->SetActive(true); }},
        {"Gradient.Kind", [](TFont3D& f) { f.Gradient()->SetKind(sfgkHorizontal); }},
        {"Gradient.BeginColor", [](TFont3D& f) { f.Gradient()->SetBeginColor(Qt::green); }},
        {"Gradient.EndColor", [](TFont3D& f) { f.Gradient()->SetEndColor(Qt::green); }},
        {"Shadow.Color", [](TFont3D& f) { f.Shadow()->SetColor(100); }},
        {"Shadow.Style", [](TFont3D& f) { f.Shadow()->SetStyle(sfssDiffuse); }},
        {"Site", [](TFont3D& f) { f.SetSite(sfpRaised); }},
        {"ViewDirection", [](TFont3D& f) { f.SetViewDirection(45); }},
        {"VerticalMargin", [](TFont3D& f) { f.SetVerticalMargin(3); }},
    };
    for (const auto& c : cases) {
        TFont3D f;
        TChangeCount spy(&f);
        c.set(f);
        EXPECT_EQ(spy.count(), 1) << c.what;
        c.set(f);
        EXPECT_EQ(spy.count(), 1) << c.what << " set again to the same value";
    }
    TFont3D f;
    TChangeCount spy(&f);
    f.SetOverlap(-7);   // follows from the other values; no repaint of its own
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(f.Overlap(), -7);
}

TEST(Font3D, ValuesAreKeptSane) {
    TFont3D f;
    f.SetAltitude(1e300);
    EXPECT_EQ(f.Altitude(), MaxFont3DDepth);
    f.SetAltitude(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(f.Altitude(), 0.0);
    f.Border()->SetHeight(-1e9);
    EXPECT_EQ(f.Border()->Height(), -MaxFont3DDepth);
    f.Border()->SetEffectColor(-3);
    EXPECT_EQ(f.Border()->EffectColor(), -1.0);
    f.Shadow()->SetColor(300);
    EXPECT_EQ(f.Shadow()->Color(), 255);
    f.Shadow()->SetColor(-1);
    EXPECT_EQ(f.Shadow()->Color(), 0);
    f.SetCharacterMargin(std::numeric_limits<int>::max());
    EXPECT_EQ(f.CharacterMargin(), MaxFont3DMargin);
}

TEST(Font3D, AssignCopiesEverythingAndDetachesTheTexture) {
    TFont3D source;
    source.SetAltitude(1.5);
    source.Border()->SetColor(Qt::darkGreen);
    source.Gradient()->SetActive(true);
    source.Shadow()->SetStyle(sfssNone);
    source.SetSite(sfpLowered);
    QImage texture(4, 4, QImage::Format_RGB32);
    texture.fill(Qt::red);
    source.SetBitmap(texture);

    TFont3D copy;
    TChangeCount spy(&copy);
    copy.Assign(source);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(copy.Altitude(), 1.5);
    EXPECT_EQ(copy.Border()->Color(), QColor(Qt::darkGreen));
    EXPECT_TRUE(copy.Gradient()->Active());
    EXPECT_EQ(copy.Shadow()->Style(), sfssNone);
    EXPECT_EQ(copy.Site(), sfpLowered);
    EXPECT_EQ(copy.Bitmap(), texture);
    EXPECT_NE(copy.Bitmap().constBits(), source.Bitmap().constBits());
    copy.Assign(source);
    EXPECT_EQ(spy.count(), 1);   // nothing differed
}

TEST(Font3D, PropertiesCanBeSetByName) {
    TFont3D f;
    EXPECT_TRUE(f.setProperty("Altitude", 2.0));
    EXPECT_TRUE(f.setProperty("Site", "sfpRaised"));
    EXPECT_TRUE(f.Shadow()->setProperty("Style", "sfssDiffuse"));
    EXPECT_TRUE(f.Border()->setProperty("Color", QColor(Qt::blue)));
    EXPECT_EQ(f.Altitude(), 2.0);
    EXPECT_EQ(f.Site(), sfpRaised);
    EXPECT_EQ(f.Shadow()->Style(), sfssDiffuse);
    EXPECT_EQ(f.Border()->Color(), QColor(Qt::blue));
    EXPECT_EQ(f.property("Border").value<TSmoothFontBorder*>(), f.Border());
}
