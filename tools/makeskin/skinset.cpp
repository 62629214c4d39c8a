#include "tools/makeskin/skinset.h"
#include "tools/makeskin/skinpaint.h"
#include <QLinearGradient>
#include <QRadialGradient>
#include <QtMath>
#include <functional>

namespace MakeSkin {
namespace {

const QColor SymbolRest(214, 228, 250);
const QColor SymbolDisabled(80, 85, 96);
const QColor CaptionRest(156, 176, 214);
const QColor CaptionDisabled(74, 78, 90);

// Light of frame K of the hover animation: it swells and settles, and the
// last frame leads smoothly back into the first.
qreal GlowOf(int k) { return 0.5 - 0.5 * qCos(2 * M_PI * k / HoverFrames); }

QImage StripOf(int frames, const std::function<QImage(int)>& frame) {
    QImage first = frame(0);
    const QSizeF cell = first.deviceIndependentSize();
    QImage strip = NewLayer(QSize(qRound(cell.width()) * frames, qRound(cell.height())));
    QPainter p(&strip);
    p.drawImage(QPointF(0, 0), first);
    for (int k = 1; k < frames; ++k) p.drawImage(QPointF(cell.width() * k, 0), frame(k));
    return strip;
}

QColor SymbolColor(TLook look) {
    return look == TLook::Rest ? SymbolRest : look == TLook::Hover ? QColor(Qt::white) : SymbolDisabled;
}

// A big toolbar button: tile with symbol, caption below, on the black column.
QImage BigButton(TSymbol symbol, const QString& caption, TLook look, qreal glow) {
    QImage image = NewCanvas(QSize(ToolButtonSize, ToolButtonSize), Palette::Window);
    QPainter p(&image);
    Prepare(p);
    const QRectF tile(17, 11, 56, 48);
    DrawTile(p, tile, 12, look, glow);
    const qreal s = 32;
    DrawSymbol(p, symbol, QRectF(tile.center().x() - s / 2, tile.center().y() - s / 2, s, s), SymbolColor(look));
    const QColor text = look == TLook::Rest ? CaptionRest : look == TLook::Hover ? QColor(Qt::white) : CaptionDisabled;
    DrawCenteredText(p, QRectF(0, 64, ToolButtonSize, 18), caption, SkinFont(11, true), text, look != TLook::Disabled);
    return image;
}

QImage SmallButton(TSymbol symbol, TLook look, qreal glow) {
    QImage image = NewCanvas(QSize(SmallButtonSize, SmallButtonSize), Palette::Window);
    QPainter p(&image);
    Prepare(p);
    const QRectF tile(6, 6, 32, 32);
    DrawTile(p, tile, 8, look, glow);
    const qreal s = 22;
    DrawSymbol(p, symbol, QRectF(tile.center().x() - s / 2, tile.center().y() - s / 2, s, s), SymbolColor(look));
    return image;
}

// A section header above a pair of small buttons: up, or lit while one of
// its buttons is under the mouse.
QImage Header(const QString& title, bool lit) {
    QImage image = NewCanvas(QSize(HeaderWidth, HeaderHeight), Palette::Window);
    QPainter p(&image);
    Prepare(p);
    const QFont font = SkinFont(9, true, 1.6);
    const qreal textWidth = QFontMetricsF(font).horizontalAdvance(title) - 1.6;
    const qreal mid = HeaderHeight / 2.0;
    const qreal left = (HeaderWidth - textWidth) / 2 - 7, right = (HeaderWidth + textWidth) / 2 + 7;
    if (lit) {
        const QRectF bar(2, 2.5, HeaderWidth - 4, HeaderHeight - 5);
        QPainterPath shape;
        shape.addRoundedRect(bar, 7.5, 7.5);
        QColor halo = Palette::SectionBlue;
        halo.setAlphaF(0.55);
        DrawGlow(p, shape, halo, 3);
        QLinearGradient g(bar.topLeft(), bar.bottomLeft());
        g.setColorAt(0, QColor(28, 110, 220));
        g.setColorAt(1, QColor(8, 46, 128));
        p.setPen(QPen(QColor(120, 200, 255), 1));
        p.setBrush(g);
        p.drawRoundedRect(bar.adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
        DrawCenteredText(p, QRectF(0, 0, HeaderWidth, HeaderHeight), title, font, Qt::white);
    } else {
        QLinearGradient l(QPointF(3, 0), QPointF(left, 0));
        l.setColorAt(0, QColor(40, 58, 96, 0));
        l.setColorAt(1, QColor(52, 76, 124));
        p.setPen(QPen(QBrush(l), 1));
        p.drawLine(QPointF(3, mid + 0.5), QPointF(left, mid + 0.5));
        QLinearGradient r(QPointF(right, 0), QPointF(HeaderWidth - 3, 0));
        r.setColorAt(0, QColor(52, 76, 124));
        r.setColorAt(1, QColor(40, 58, 96, 0));
        p.setPen(QPen(QBrush(r), 1));
        p.drawLine(QPointF(right, mid + 0.5), QPointF(HeaderWidth - 3, mid + 0.5));
        DrawCenteredText(p, QRectF(0, 0, HeaderWidth, HeaderHeight), title, font, QColor(128, 152, 200));
    }
    return image;
}

QImage MainMenuButton(bool lit) {
    const QSize size(112, 21);
    QImage image = NewCanvas(size, Palette::Window);
    QPainter p(&image);
    Prepare(p);
    const QRectF pill(1, 1.5, size.width() - 2, size.height() - 3);
    if (lit) {
        QPainterPath shape;
        shape.addRoundedRect(pill, 9, 9);
        QLinearGradient g(pill.topLeft(), pill.bottomLeft());
        g.setColorAt(0, QColor(28, 110, 220));
        g.setColorAt(1, QColor(8, 46, 128));
        p.setPen(QPen(QColor(120, 200, 255), 1));
        p.setBrush(g);
        p.drawRoundedRect(pill.adjusted(0.5, 0.5, -0.5, -0.5), 8.5, 8.5);
    } else {
        p.setPen(QPen(QColor(52, 76, 124), 1));
        p.setBrush(QColor(10, 16, 32));
        p.drawRoundedRect(pill.adjusted(0.5, 0.5, -0.5, -0.5), 8.5, 8.5);
    }
    const QColor ink = lit ? QColor(Qt::white) : CaptionRest;
    DrawSymbol(p, TSymbol::Home, QRectF(10, 3.5, 14, 14), ink);
    p.setFont(SkinFont(11, true));
    p.setPen(ink);
    p.drawText(QRectF(28, 0, size.width() - 34, size.height()), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Main Menu"));
    return image;
}

// A small landscape photo (sky, sun, hills) for the decorations; Seed varies it.
void DrawPhoto(QPainter& p, const QRectF& r, int seed) {
    static const QColor skies[][2] = {{QColor(40, 120, 210), QColor(170, 215, 250)},
                                      {QColor(230, 120, 60), QColor(250, 205, 130)},
                                      {QColor(20, 60, 140), QColor(110, 160, 230)},
                                      {QColor(90, 150, 200), QColor(210, 235, 245)}};
    static const QColor lands[] = {QColor(40, 110, 60), QColor(110, 70, 50), QColor(30, 70, 90), QColor(70, 120, 70)};
    const int i = seed % 4;
    p.save();
    p.setClipRect(r);
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, skies[i][0]);
    sky.setColorAt(1, skies[i][1]);
    p.fillRect(r, sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 245, 200));
    p.drawEllipse(QPointF(r.left() + r.width() * (0.25 + 0.15 * (seed % 3)), r.top() + r.height() * 0.32), r.height() * 0.11,
                  r.height() * 0.11);
    QPainterPath hills;
    hills.moveTo(r.left(), r.bottom());
    hills.lineTo(r.left(), r.top() + r.height() * 0.7);
    hills.cubicTo(r.left() + r.width() * 0.3, r.top() + r.height() * (0.45 + 0.05 * (seed % 2)),
                  r.left() + r.width() * 0.6, r.top() + r.height() * 0.85, r.right(), r.top() + r.height() * 0.6);
    hills.lineTo(r.right(), r.bottom());
    hills.closeSubpath();
    p.setBrush(lands[i]);
    p.drawPath(hills);
    p.restore();
}

// A strip of film with sprocket holes and photos in its frames.
void DrawFilmStrip(QPainter& p, const QRectF& band, int frames, int seed) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(8, 10, 16));
    p.drawRect(band);
    const qreal hole = band.height() * 0.09;
    const qreal edge = band.height() * 0.17;
    p.setBrush(QColor(60, 70, 90));
    for (qreal x = band.left() + hole; x < band.right(); x += hole * 2.6) {
        p.drawRoundedRect(QRectF(x, band.top() + edge / 2 - hole / 2, hole * 1.3, hole), 1, 1);
        p.drawRoundedRect(QRectF(x, band.bottom() - edge / 2 - hole / 2, hole * 1.3, hole), 1, 1);
    }
    const qreal frameHeight = band.height() - 2 * edge;
    const qreal gap = frameHeight * 0.12;
    const qreal frameWidth = (band.width() - gap * (frames + 1)) / frames;
    for (int i = 0; i < frames; ++i) {
        const QRectF r(band.left() + gap + i * (frameWidth + gap), band.top() + edge, frameWidth, frameHeight);
        DrawPhoto(p, r, seed + i);
        p.fillRect(r, QColor(0, 20, 60, 50));
    }
    p.restore();
}

// The header band's colour with a soft light from the upper left.
void HeaderBackground(QPainter& p, const QRectF& r, bool light) {
    p.fillRect(r, Palette::HeaderBlue);
    if (!light) return;
    QRadialGradient g(QPointF(r.center().x(), r.top() + r.height() * 0.35), r.width() * 0.55);
    g.setColorAt(0, QColor(60, 130, 230, 90));
    g.setColorAt(1, QColor(60, 130, 230, 0));
    p.fillRect(r, g);
}

QImage ToolBarLeftImage() {
    QImage image = NewCanvas(QSize(133, 96), Palette::HeaderBlue);
    QPainter p(&image);
    Prepare(p);
    HeaderBackground(p, QRectF(Area(image)), true);
    QPainterPath disc;
    disc.addEllipse(QPointF(66.5, 48), 34, 34);
    DrawGlow(p, disc, QColor(0, 10, 40, 160), 5);
    DrawEmblem(p, QRectF(66.5 - 34, 48 - 34, 68, 68));
    return image;
}

QPainterPath TextPath(const QString& text, const QFont& font, QPointF baseline) {
    QPainterPath path;
    path.addText(baseline, font, text);
    return path;
}

QImage ProductLogo() {
    QImage image = NewCanvas(QSize(300, 96), Palette::HeaderBlue);
    QPainter p(&image);
    Prepare(p);
    HeaderBackground(p, QRectF(Area(image)), false);
    const QPainterPath word = TextPath(QStringLiteral("Lumora"), SkinFont(44, true, -0.5), QPointF(6, 56));
    DrawGlow(p, word.translated(0, 2), QColor(0, 10, 40, 150), 3);
    QLinearGradient g(QPointF(0, 22), QPointF(0, 58));
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(170, 215, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(word);
    p.setFont(SkinFont(11, true, 3.2));
    p.setPen(QColor(150, 200, 255));
    p.drawText(QPointF(9, 78), QStringLiteral("PHOTO DISC VIEWER"));
    return image;
}

// Frame K of the brand logo: at rest on the first and last frames; on the
// others the viewfinder mark flashes and a light passes over the word.
QImage BrandLogoFrame(int k) {
    const QSize size(176, 96);  // a multiple of 8: JPEG blocks do not straddle two frames
    QImage image = NewCanvas(size, Palette::HeaderBlue);
    QPainter p(&image);
    Prepare(p);
    HeaderBackground(p, QRectF(Area(image)), false);
    QFont italic = SkinFont(34, true, -0.5);
    italic.setItalic(true);
    const QPainterPath word = TextPath(QStringLiteral("fotavo"), italic, QPointF(14, 58));
    const QRectF mark(word.boundingRect().right() + 6, 30, 14, 14);
    const bool moving = k > 0 && k < LogoFrames - 1;
    const qreal t = moving ? qreal(k - 1) / (LogoFrames - 3) : 0;  // 0 .. 1 over the moving frames
    // The flash rises fast and fades slowly.
    const qreal flash = moving ? (t < 0.2 ? t / 0.2 : std::max<qreal>(0, 1 - (t - 0.2) / 0.6)) : 0;

    DrawGlow(p, word.translated(0, 2), QColor(0, 10, 40, 140), 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(226, 240, 255));
    p.drawPath(word);
    if (moving) {
        // The light band, slanted, from left to right.
        const qreal x = -40 + t * (size.width() + 40);
        QLinearGradient band(QPointF(x - 26, 0), QPointF(x + 26, 0));
        band.setColorAt(0, QColor(120, 200, 255, 0));
        band.setColorAt(0.5, QColor(255, 255, 255, 255));
        band.setColorAt(1, QColor(120, 200, 255, 0));
        QImage light = NewLayer(size);
        {
            QPainter lp(&light);
            Prepare(lp);
            lp.setPen(Qt::NoPen);
            lp.setBrush(QColor(255, 255, 255));
            lp.drawPath(word);
            lp.setCompositionMode(QPainter::CompositionMode_SourceIn);
            QTransform skew;
            skew.shear(-0.4, 0);
            lp.setTransform(skew);
            lp.fillRect(QRectF(-60, 0, size.width() + 120, size.height()), band);
        }
        QImage halo = light;
        Blur(halo, 3);
        p.drawImage(0, 0, halo);
        p.drawImage(0, 0, light);
    }
    p.setPen(QPen(Palette::SectionBlue.lighter(100 + int(60 * flash)), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(mark, 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::SectionBlue);
    p.drawEllipse(mark.center(), 2.6, 2.6);
    if (flash > 0) {
        const QPointF c = mark.center();
        QRadialGradient burst(c, 8 + 22 * flash);
        burst.setColorAt(0, QColor(255, 255, 255, int(255 * flash)));
        burst.setColorAt(0.3, QColor(170, 225, 255, int(160 * flash)));
        burst.setColorAt(1, QColor(0, 153, 255, 0));
        p.setBrush(burst);
        p.drawEllipse(c, 8 + 22 * flash, 8 + 22 * flash);
        // Four thin rays.
        p.setPen(QPen(QColor(255, 255, 255, int(200 * flash)), 1.2, Qt::SolidLine, Qt::RoundCap));
        const qreal ray = 6 + 16 * flash;
        p.drawLine(c - QPointF(ray, 0), c + QPointF(ray, 0));
        p.drawLine(c - QPointF(0, ray), c + QPointF(0, ray));
    }
    p.setFont(SkinFont(9, true, 2.4));
    p.setPen(QColor(140, 190, 250));
    p.drawText(QPointF(17, 76), QStringLiteral("DIGITAL PHOTOS"));
    return image;
}

QImage Splash() {
    const QSize size(480, 300);
    QImage image = NewCanvas(size, Palette::HeaderBlue);
    QPainter p(&image);
    Prepare(p);
    QLinearGradient bg(QPointF(0, 0), QPointF(size.width(), size.height()));
    bg.setColorAt(0, QColor(0, 58, 168));
    bg.setColorAt(0.6, QColor(0, 28, 92));
    bg.setColorAt(1, QColor(0, 10, 36));
    p.fillRect(Area(image), bg);
    QRadialGradient light(QPointF(120, 100), 260);
    light.setColorAt(0, QColor(80, 170, 255, 110));
    light.setColorAt(1, QColor(80, 170, 255, 0));
    p.fillRect(Area(image), light);

    QPainterPath disc;
    disc.addEllipse(QPointF(112, 112), 66, 66);
    DrawGlow(p, disc, QColor(0, 8, 30, 180), 8);
    DrawEmblem(p, QRectF(46, 46, 132, 132), 1.1);

    const QPainterPath word = TextPath(QStringLiteral("Lumora"), SkinFont(58, true, -1), QPointF(206, 126));
    DrawGlow(p, word.translated(0, 3), QColor(0, 8, 30, 170), 4);
    QLinearGradient g(QPointF(0, 80), QPointF(0, 130));
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(165, 212, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(word);
    p.setFont(SkinFont(13, true, 4));
    p.setPen(QColor(150, 205, 255));
    p.drawText(QPointF(210, 156), QStringLiteral("PHOTO DISC VIEWER"));

    DrawFilmStrip(p, QRectF(-10, 214, size.width() + 20, 62), 6, 0);
    p.setFont(SkinFont(9, true, 2));
    p.setPen(QColor(120, 160, 220));
    p.drawText(QRectF(0, 278, size.width() - 12, 20), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("HALVORN"));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(90, 170, 255, 160), 1));
    p.drawRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1));
    return image;
}

QImage InstallBackground() {
    const QSize size(466, 80);
    QImage image = NewCanvas(size, Palette::HeaderBlue);
    QPainter p(&image);
    Prepare(p);
    QLinearGradient bg(QPointF(0, 0), QPointF(size.width(), 0));
    bg.setColorAt(0, QColor(0, 58, 168));
    bg.setColorAt(1, QColor(0, 22, 76));
    p.fillRect(Area(image), bg);
    // The emblem as a faint watermark, cut by the right edge.
    QImage mark = NewLayer(QSize(150, 150));
    {
        QPainter m(&mark);
        Prepare(m);
        DrawEmblem(m, QRectF(0, 0, 150, 150), 0.8);
    }
    p.setOpacity(0.22);
    p.drawImage(QPointF(372, -35), mark);
    p.setOpacity(1);
    const QRectF tile(18, 14, 52, 52);
    DrawTile(p, tile, 12, TLook::Hover, 0.3);
    DrawSymbol(p, TSymbol::Install, QRectF(tile.center().x() - 16, tile.center().y() - 16, 32, 32), Qt::white);
    p.setFont(SkinFont(19, true));
    p.setPen(Qt::white);
    p.drawText(QPointF(86, 38), QStringLiteral("Install to Hard Disk"));
    p.setFont(SkinFont(11, false));
    p.setPen(QColor(170, 210, 250));
    p.drawText(QPointF(87, 58), QStringLiteral("Copy this roll and the viewer to your computer"));
    p.fillRect(QRectF(0, size.height() - 2, size.width(), 2), Palette::SectionBlue);
    return image;
}

// The upload wizard's side picture for one of its two modes.
QImage WizardImage(TSymbol symbol, const QString& line1, const QString& line2) {
    const QSize size(130, 414);
    QImage image = NewCanvas(size, Palette::HeaderBlue);
    QPainter p(&image);
    Prepare(p);
    QLinearGradient bg(QPointF(0, 0), QPointF(0, size.height()));
    bg.setColorAt(0, QColor(0, 58, 168));
    bg.setColorAt(0.55, QColor(0, 28, 92));
    bg.setColorAt(1, QColor(0, 8, 30));
    p.fillRect(Area(image), bg);
    QRadialGradient light(QPointF(65, 80), 120);
    light.setColorAt(0, QColor(80, 170, 255, 100));
    light.setColorAt(1, QColor(80, 170, 255, 0));
    p.fillRect(Area(image), light);

    const QRectF tile(29, 40, 72, 64);
    DrawTile(p, tile, 15, TLook::Hover, 0.5);
    DrawSymbol(p, symbol, QRectF(tile.center().x() - 21, tile.center().y() - 21, 42, 42), Qt::white);
    DrawCenteredText(p, QRectF(0, 122, size.width(), 26), line1, SkinFont(20, true), Qt::white);
    DrawCenteredText(p, QRectF(0, 148, size.width(), 26), line2, SkinFont(20, true), QColor(165, 212, 255));
    p.fillRect(QRectF(45, 184, 40, 2), Palette::SectionBlue);

    // A small pile of photos.
    const struct {
        qreal x, y, angle;
        int seed;
    } photos[] = {{34, 262, -12, 2}, {60, 276, 9, 1}, {44, 300, -3, 0}};
    for (const auto& ph : photos) {
        p.save();
        p.translate(ph.x + 26, ph.y + 20);
        p.rotate(ph.angle);
        const QRectF frame(-30, -23, 60, 46);
        QPainterPath shape;
        shape.addRect(frame);
        DrawGlow(p, shape, QColor(0, 0, 0, 150), 4);
        p.fillRect(frame, QColor(244, 246, 250));
        DrawPhoto(p, frame.adjusted(3, 3, -3, -8), ph.seed);
        p.restore();
    }
    DrawEmblem(p, QRectF(52, 372, 26, 26), 0.8);
    return image;
}

TSkinPicture Still(const char* group, const char* name, const QImage& image) {
    return {QString::fromLatin1(group), "JPEG", name, 1, image};
}

TSkinPicture Strip(const char* group, const char* name, int frames, const QImage& image) {
    return {QString::fromLatin1(group), "AJPG", name, frames, image};
}

} // namespace

QList<TSkinPicture> DrawDefaultSkin(qreal scale) {
    const TDrawScale drawn(scale);
    QList<TSkinPicture> out;
    const char* X = "XLumRes";
    const char* C = "Custom";

    // Roll page: the same buttons, greyed until a roll is chosen.
    out << Still(X, "0001", BigButton(TSymbol::FilmRoll, QStringLiteral("View Roll"), TLook::Disabled, 0));
    out << Still(X, "0002", BigButton(TSymbol::Print, QStringLiteral("Print"), TLook::Disabled, 0));
    out << Still(X, "0003", BigButton(TSymbol::Slideshow, QStringLiteral("Slideshow"), TLook::Disabled, 0));
    out << Still(X, "0004", BigButton(TSymbol::Install, QStringLiteral("Install"), TLook::Disabled, 0));
    out << Still(X, "0006", BigButton(TSymbol::Upload, QStringLiteral("Upload"), TLook::Disabled, 0));

    // Thumbnails page and the full view's first two buttons: animated strip
    // and the picture at rest.
    const struct {
        const char* Animated;
        const char* Inactive;
        TSymbol Symbol;
        const char* Caption;
    } big[] = {{"0031", "0011", TSymbol::FilmRoll, "New Roll"},  {"0032", "0012", TSymbol::Print, "Print"},
               {"0033", "0013", TSymbol::Slideshow, "Slideshow"}, {"0034", "0014", TSymbol::Install, "Install"},
               {"0036", "0016", TSymbol::Upload, "Upload"},      {"0080", "0070", TSymbol::Back, "Thumbnails"}};
    for (const auto& b : big) {
        const QString caption = QString::fromLatin1(b.Caption);
        out << Strip(X, b.Animated, HoverFrames,
                     StripOf(HoverFrames, [&](int k) { return BigButton(b.Symbol, caption, TLook::Hover, GlowOf(k)); }));
        out << Still(X, b.Inactive, BigButton(b.Symbol, caption, TLook::Rest, 0));
    }

    const struct {
        const char* Animated;
        const char* Inactive;
        const char* Disabled;
        TSymbol Symbol;
    } small[] = {{"0081", "0071", "0061", TSymbol::Previous},   {"0082", "0072", "0062", TSymbol::Next},
                 {"0083", "0073", "0063", TSymbol::ZoomIn},     {"0084", "0074", "0064", TSymbol::ZoomOut},
                 {"0085", "0075", "0065", TSymbol::RotateLeft}, {"0086", "0076", "0066", TSymbol::RotateRight}};
    for (const auto& b : small) {
        out << Strip(X, b.Animated, HoverFrames,
                     StripOf(HoverFrames, [&](int k) { return SmallButton(b.Symbol, TLook::Hover, GlowOf(k)); }));
        out << Still(X, b.Inactive, SmallButton(b.Symbol, TLook::Rest, 0));
        out << Still(X, b.Disabled, SmallButton(b.Symbol, TLook::Disabled, 0));
    }

    const struct {
        const char* Up;
        const char* Lit;
        const char* Title;
    } headers[] = {{"0041", "0051", "GO TO"}, {"0042", "0052", "ZOOM"}, {"0043", "0053", "ROTATE"}};
    for (const auto& h : headers) {
        out << Still(X, h.Up, Header(QString::fromLatin1(h.Title), false));
        out << Still(X, h.Lit, Header(QString::fromLatin1(h.Title), true));
    }
    out << Still(X, "0096", MainMenuButton(false));
    out << Still(X, "0097", MainMenuButton(true));
    out << Still(X, "0100", WizardImage(TSymbol::Mail, QStringLiteral("E-mail"), QStringLiteral("Photos")));
    out << Still(X, "0101", WizardImage(TSymbol::Upload, QStringLiteral("Upload"), QStringLiteral("Photos")));

    out << Strip(C, "0091", LogoFrames, StripOf(LogoFrames, BrandLogoFrame));
    out << Still(C, "0094", ToolBarLeftImage());
    out << Still(C, "0095", ProductLogo());
    out << Still(C, "0098", Splash());
    out << Still(C, "0099", InstallBackground());
    return out;
}

QImage DrawFilmCan(bool highlighted, qreal scale) {
    const TDrawScale drawn(scale);
    const QSize size(83, 87);
    QImage image = NewCanvas(size, Palette::Window);
    QPainter p(&image);
    Prepare(p);
    const QRectF body(10, 17, 40, 58);
    if (highlighted) {
        QRadialGradient halo(QPointF(41, 45), 44);
        halo.setColorAt(0, QColor(0, 153, 255, 170));
        halo.setColorAt(0.55, QColor(0, 120, 230, 80));
        halo.setColorAt(1, QColor(0, 90, 200, 0));
        p.fillRect(Area(image), halo);
    }
    // A soft shadow on the floor under the can.
    p.save();
    p.translate(44, 81);
    p.scale(36, 5);
    QRadialGradient shadow(QPointF(0, 0), 1);
    shadow.setColorAt(0, highlighted ? QColor(40, 150, 255, 150) : QColor(60, 90, 140, 120));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(QPointF(0, 0), 1, 1);
    p.restore();
    const qreal lift = highlighted ? 1.25 : 1.0;
    const auto tone = [lift](int r, int g, int b) {
        return QColor(std::min(255, int(r * lift)), std::min(255, int(g * lift)), std::min(255, int(b * lift)));
    };

    // Film leader, drawn first: it comes out of the can's slot.
    const QRectF leader(44, 33, 33, 30);
    QPainterPath film;
    film.moveTo(leader.left(), leader.top());
    film.lineTo(leader.right() - 5, leader.top());
    film.quadTo(leader.right(), leader.top(), leader.right(), leader.top() + 6);
    film.lineTo(leader.right(), leader.bottom());
    film.lineTo(leader.left(), leader.bottom());
    film.closeSubpath();
    QLinearGradient filmShade(leader.topLeft(), leader.bottomLeft());
    filmShade.setColorAt(0, tone(70, 54, 40));
    filmShade.setColorAt(0.5, tone(120, 88, 58));
    filmShade.setColorAt(1, tone(62, 46, 34));
    p.setPen(QPen(tone(30, 22, 16), 1));
    p.setBrush(filmShade);
    p.drawPath(film);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(8, 6, 4));
    for (qreal x = leader.left() + 8; x < leader.right() - 3; x += 6.2) {
        p.drawRoundedRect(QRectF(x, leader.top() + 2.5, 3.2, 3.2), 0.8, 0.8);
        p.drawRoundedRect(QRectF(x, leader.bottom() - 5.7, 3.2, 3.2), 0.8, 0.8);
    }

    // The can: a cylinder lit from the left, caps top and bottom.
    QLinearGradient metal(body.topLeft(), body.topRight());
    metal.setColorAt(0, tone(22, 44, 92));
    metal.setColorAt(0.22, tone(120, 170, 230));
    metal.setColorAt(0.42, tone(64, 110, 190));
    metal.setColorAt(0.8, tone(20, 52, 120));
    metal.setColorAt(1, tone(10, 24, 60));
    p.setBrush(metal);
    p.setPen(QPen(QColor(4, 12, 34), 1));
    p.drawRoundedRect(body, 4, 4);
    // Label band with the emblem's ring.
    const QRectF label(body.left(), body.top() + 16, body.width(), 24);
    QLinearGradient band(label.topLeft(), label.topRight());
    band.setColorAt(0, tone(160, 200, 240));
    band.setColorAt(0.25, QColor(250, 252, 255));
    band.setColorAt(0.6, tone(190, 215, 245));
    band.setColorAt(1, tone(90, 120, 170));
    p.setPen(Qt::NoPen);
    p.setBrush(band);
    p.drawRect(label);
    p.setBrush(tone(0, 80, 200));
    p.drawRect(QRectF(label.left(), label.top() + 2, label.width(), 3));
    p.drawRect(QRectF(label.left(), label.bottom() - 5, label.width(), 3));
    DrawEmblem(p, QRectF(label.center().x() - 7, label.center().y() - 7, 14, 14), highlighted ? 1.2 : 0.9);
    // Caps.
    for (const QRectF cap : {QRectF(body.left() - 3, body.top() - 4, body.width() + 6, 8),
                             QRectF(body.left() - 3, body.bottom() - 4, body.width() + 6, 8)}) {
        QLinearGradient capShade(cap.topLeft(), cap.topRight());
        capShade.setColorAt(0, tone(40, 48, 64));
        capShade.setColorAt(0.25, tone(200, 210, 225));
        capShade.setColorAt(0.5, tone(120, 130, 150));
        capShade.setColorAt(1, tone(30, 36, 50));
        p.setBrush(capShade);
        p.setPen(QPen(QColor(6, 8, 14), 1));
        p.drawRoundedRect(cap, 3, 3);
    }
    // The spool's knob on top.
    const QRectF knob(body.center().x() - 6, body.top() - 13, 12, 10);
    QLinearGradient knobShade(knob.topLeft(), knob.topRight());
    knobShade.setColorAt(0, tone(40, 48, 64));
    knobShade.setColorAt(0.3, tone(190, 200, 215));
    knobShade.setColorAt(1, tone(36, 42, 56));
    p.setBrush(knobShade);
    p.drawRoundedRect(knob, 2, 2);
    p.setPen(QPen(QColor(20, 24, 34), 1));
    for (qreal x = knob.left() + 3; x < knob.right() - 1; x += 3) p.drawLine(QPointF(x, knob.top() + 2), QPointF(x, knob.bottom() - 2));
    // Slot the film leaves by.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(4, 6, 12));
    p.drawRect(QRectF(body.right() - 2, leader.top() - 1, 3, leader.height() + 2));
    return image;
}

} // namespace MakeSkin
