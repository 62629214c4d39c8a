#include "imaging/smoothrender.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <numbers>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// The oversampled masks of one glyph stay within this many pixels a side;
// only fonts hundreds of pixels high need a smaller factor for that.
constexpr int MaxWorkSide = 4096;

// Exact x / 255 rounded, for x in 0..255 * 255 * 2.
inline int Div255(int x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

bool IsControl(char32_t ch) { return ch < 32 || (ch >= 127 && ch < 160); }

// Where the layers of a site lie along the view direction, in pixels from
// the face: the body is swept from BodyFrom to BodyTo, the shadow cast at
// ShadowAt.
struct TSiteLayout {
    double BodyFrom = 0;
    double BodyTo = 0;
    double ShadowAt = 0;
};

TSiteLayout LayoutFor(TSmoothFontSite site, double altitude) {
    switch (site) {
    case sfpLowered:
        // Pressed into the ground: the rim rises towards the viewer and the
        // far wall shows beyond it.
        return {-altitude, 0, -altitude};
    case sfpRaised:
        // Standing on the ground: the body reaches down to it.
        return {0, altitude, altitude};
    case sfpFlying:
    default:
        // Hovering: the letters have some thickness, and their shadow falls
        // on the ground a little further on.
        return {0, altitude * 2.0 / 3.0, altitude};
    }
}

// Unit step along the view direction, scaled so that its larger component
// is 1: the depth then uses the cell's margin fully in any direction.
void DirectionStep(quint16 viewDirection, double& ux, double& uy) {
    const double radians = (viewDirection % 360) * std::numbers::pi / 180.0;
    // The lettering is seen from that direction, so its depth points away.
    ux = -std::cos(radians);
    uy = std::sin(radians);
    if (std::abs(ux) < 1e-9) ux = 0;
    if (std::abs(uy) < 1e-9) uy = 0;
    const double m = std::max(std::abs(ux), std::abs(uy));
    ux /= m;
    uy /= m;
}

// Dst := max(Dst, Src moved by (Dx, Dy) and scaled to Level/255).
void MaxShift(QImage& dst, const QImage& src, int dx, int dy, int level = 255) {
    const int w = src.width(), h = src.height();
    const int y0 = std::max(0, -dy), y1 = std::min(h, h - dy);
    const int x0 = std::max(0, -dx), x1 = std::min(w, w - dx);
    if (x0 >= x1) return;
    for (int y = y0; y < y1; ++y) {
        const uchar* s = src.constScanLine(y) + x0;
        uchar* d = dst.scanLine(y + dy) + x0 + dx;
        const int n = x1 - x0;
        if (level == 255) {
            int x = 0;
#ifdef __SSE2__
            // Sixteen pixels at a time: the sweep of a 2x glyph runs this
            // over four times the pixels, twice as often.
            for (; x + 16 <= n; x += 16) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + x));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), _mm_max_epu8(a, b));
            }
#endif
            for (; x < n; ++x) d[x] = std::max(d[x], s[x]);
        } else {
            for (int x = 0; x < n; ++x) d[x] = std::max(d[x], uchar(Div255(s[x] * level)));
        }
    }
}

QImage EmptyMask(int w, int h) {
    QImage m(w, h, QImage::Format_Alpha8);
    m.fill(0);
    return m;
}

// Path filled, and widened by Grow pixels all round when Grow > 0.
void PaintShape(QImage& mask, const QPainterPath& path, double grow, QPointF offset = {}) {
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(offset);
    const QColor solid(0, 0, 0, 255);
    p.fillPath(path, solid);
    if (grow > 0) p.strokePath(path, QPen(solid, 2 * grow, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

// Averages each Factor x Factor block of Mask into channel Channel of Out
// (Width x Height pixels of 3 bytes).
void Reduce(const QImage& mask, int factor, int width, int height, std::vector<quint8>& out, int channel) {
    std::vector<int> sums(static_cast<size_t>(width));
    const int area = factor * factor;
    for (int cy = 0; cy < height; ++cy) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int fy = 0; fy < factor; ++fy) {
            const uchar* row = mask.constScanLine(cy * factor + fy);
            for (int cx = 0; cx < width; ++cx) {
                const uchar* block = row + cx * factor;
                int s = 0;
                for (int fx = 0; fx < factor; ++fx) s += block[fx];
                sums[size_t(cx)] += s;
            }
        }
        quint8* o = out.data() + size_t(cy) * width * 3 + channel;
        for (int cx = 0; cx < width; ++cx) o[size_t(cx) * 3] = quint8(sums[size_t(cx)] / area);
    }
}

} // namespace

int OversamplingFactor(int xHeight) {
    if (xHeight > 50) return 4;
    if (xHeight > 12) return 8;
    return 16;
}

int DensityOf(const TSmoothFontRecord& font) { return std::clamp(font.PixelsPerInch / 96, 1, 4); }

TGlyphCell GlyphCellFor(int xHeight, int advance, bool italic, const TFont3DValues& style, int density) {
    const double a = std::abs(style.Altitude);
    const double b = std::abs(style.BorderHeight);
    const int shadowExtra = style.ShadowStyle == sfssDiffuse ? Nearest(0.05 * xHeight) : 0;
    const int italicExtra = italic ? Nearest(0.1 * xHeight) : 0;
    TGlyphCell c;
    c.Height = std::clamp(Nearest(xHeight + a + b + 2 + shadowExtra), 1, MaxGlyphSide);
    c.Width = std::clamp(Nearest(advance + a + b + 2 + shadowExtra + italicExtra), 1, MaxGlyphSide);
    c.Overlap = -Nearest(a + b + shadowExtra + italicExtra);
    // A set for a screen of a higher density samples as finely per logical
    // pixel as its 1x set, not per device pixel: as smooth, at the 1x cost.
    density = std::max(density, 1);
    c.Factor = std::max(OversamplingFactor(xHeight / density) / density, 1);
    while (c.Factor > 1 && std::max(c.Width, c.Height) * c.Factor > MaxWorkSide) --c.Factor;
    return c;
}

TGlyphCell LineCellFor(const TSmoothFontRecord& font, const TFont3DValues& style) {
    const QFontMetrics fm(font.ToFont());
    return GlyphCellFor(fm.height(), 0, font.Style & FontStyleItalic, style, DensityOf(font));
}

TSmoothGlyph RenderSmoothGlyph(const TSmoothFontRecord& font, const TFont3DValues& style, char32_t ch,
                               bool underlined, int& overlap) {
    const QFont small = font.ToFont();
    const QFontMetrics fm(small);
    const QString text = QString::fromUcs4(&ch, 1);
    const bool control = IsControl(ch);
    const int xHeight = fm.height();
    const int advance = control ? 0 : std::max(0, fm.horizontalAdvance(text));
    const bool italic = font.Style & FontStyleItalic;
    const TGlyphCell cell = GlyphCellFor(xHeight, advance, italic, style, DensityOf(font));
    overlap = cell.Overlap;

    TSmoothGlyph glyph;
    glyph.Width = cell.Width;
    glyph.Height = cell.Height;
    glyph.Pixels.assign(size_t(cell.Width) * cell.Height * 3, 0);
    if (control) return glyph;

    const double a = std::abs(style.Altitude);
    const double b = std::abs(style.BorderHeight);
    const double spread = style.ShadowStyle == sfssDiffuse ? Nearest(0.05 * xHeight) / 2.0 : 0.0;
    const TSiteLayout site = LayoutFor(style.Site, a);
    double ux, uy;
    DirectionStep(style.ViewDirection, ux, uy);

    // Place the face so that the body and shadow fit on either side of it.
    double minX = 0, minY = 0;
    for (double t : {site.BodyFrom, site.BodyTo, site.ShadowAt}) {
        minX = std::min(minX, ux * t);
        minY = std::min(minY, uy * t);
    }
    const int f = cell.Factor;
    const double faceLeft = 1 + b + spread - minX;
    const double baseline = 1 + b + spread - minY + fm.ascent();

    QFont big = font.ToFont(f);
    if (underlined) big.setUnderline(true);
    QPainterPath path;
    path.addText(QPointF(faceLeft * f, baseline * f), big, text);

    const int w = cell.Width * f, h = cell.Height * f;
    QImage face = EmptyMask(w, h);
    PaintShape(face, path, 0);
    QImage silhouette = face;
    if (b > 0) {
        silhouette = EmptyMask(w, h);
        PaintShape(silhouette, path, b * f);
    }

    // The body: the outlined letter swept along the view direction, one
    // oversampled pixel at a time.
    QImage body = EmptyMask(w, h);
    const int from = int(std::lround(site.BodyFrom * f)), to = int(std::lround(site.BodyTo * f));
    for (int s = from; s <= to; ++s) MaxShift(body, silhouette, int(std::lround(s * ux)), int(std::lround(s * uy)));

    QImage shadow = EmptyMask(w, h);
    const int sx = int(std::lround(site.ShadowAt * f * ux)), sy = int(std::lround(site.ShadowAt * f * uy));
    if (style.ShadowStyle == sfssSharp) {
        MaxShift(shadow, silhouette, sx, sy);
    } else if (style.ShadowStyle == sfssDiffuse) {
        // Eight passes, faint and wide to dense and tight.
        for (int k = 1; k <= 8; ++k) {
            QImage pass = EmptyMask(w, h);
            PaintShape(pass, path, (b + spread * (8 - k) / 7.0) * f);
            MaxShift(shadow, pass, sx, sy, 25 * k);
        }
    }

    Reduce(shadow, f, cell.Width, cell.Height, glyph.Pixels, 0);
    Reduce(body, f, cell.Width, cell.Height, glyph.Pixels, 1);
    Reduce(face, f, cell.Width, cell.Height, glyph.Pixels, 2);
    return glyph;
}

// ---- composition --------------------------------------------------------------

QColor TSmoothComposer::BodyColor(const TFont3DValues& style) {
    // Negative effects darken the outline colour towards black, positive
    // ones lighten it towards white, by at most 65 %: enough for a visible
    // depth on black and on a dark blue without the body turning black.
    const double e = std::clamp(style.BorderEffectColor, -1.0, 1.0) * 0.65;
    const QColor c = style.BorderColor;
    auto shade = [e](int v) {
        return e < 0 ? int(std::lround(v * (1 + e))) : int(std::lround(v + (255 - v) * e));
    };
    return QColor(shade(c.red()), shade(c.green()), shade(c.blue()));
}

// FNear := the face coverage spread by Radius pixels (a square max filter,
// done as two passes).
void TSmoothComposer::NearFace(int width, int height, int radius) {
    const size_t area = size_t(width) * size_t(height);
    std::copy_n(FFace.begin(), area, FTemp.begin());
    // Whole-row steps, so that the compiler can use vector instructions.
    for (int y = 0; y < height; ++y) {
        const quint8* f = FFace.data() + size_t(y) * width;
        quint8* t = FTemp.data() + size_t(y) * width;
        for (int k = 1; k <= radius && k < width; ++k) {
            for (int x = k; x < width; ++x) t[x] = std::max(t[x], f[x - k]);
            for (int x = 0; x < width - k; ++x) t[x] = std::max(t[x], f[x + k]);
        }
    }
    std::copy_n(FTemp.begin(), area, FNear.begin());
    for (int y = 0; y < height; ++y) {
        quint8* n = FNear.data() + size_t(y) * width;
        for (int k = std::max(0, y - radius); k <= std::min(height - 1, y + radius); ++k) {
            if (k == y) continue;
            const quint8* t = FTemp.data() + size_t(k) * width;
            for (int x = 0; x < width; ++x) n[x] = std::max(n[x], t[x]);
        }
    }
}

void TSmoothComposer::Reserve(int width, int height) {
    width = std::max(width, 100);
    height = std::max(height, 24);
    const size_t need = size_t(width) * size_t(height);
    if (FShadow.size() < need) {
        FShadow.resize(need);
        FBody.resize(need);
        FFace.resize(need);
        FNear.resize(need);
        FTemp.resize(need);
    }
    if (FOut.width() < width || FOut.height() < height) {
        FOut = QImage(std::max(width, FOut.width()), std::max(height, FOut.height()),
                      QImage::Format_ARGB32_Premultiplied);
    }
}

const QImage& TSmoothComposer::Compose(const std::vector<TPlacedGlyph>& glyphs, int width, int height,
                                       const TFont3DValues& style) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    Reserve(width, height);
    const size_t area = size_t(width) * size_t(height);
    std::fill_n(FShadow.begin(), area, 0);
    std::fill_n(FBody.begin(), area, 0);
    std::fill_n(FFace.begin(), area, 0);

    // Shadow pass: the densest shadow of any glyph. Layer pass: body and face
    // coverage of neighbouring glyphs merged, so that one glyph's soft edge
    // lying on another's body leaves no seam.
    for (const TPlacedGlyph& placed : glyphs) {
        const TSmoothGlyph& g = *placed.Glyph;
        if (!g.Rendered()) continue;
        const int x0 = std::max(0, -placed.X), x1 = std::min(g.Width, width - placed.X);
        const int rows = std::min(g.Height, height);
        for (int y = 0; y < rows; ++y) {
            const quint8* src = g.Pixels.data() + (size_t(y) * g.Width + x0) * 3;
            const size_t at = size_t(y) * width + size_t(placed.X + x0);
            quint8* s = FShadow.data() + at;
            quint8* b = FBody.data() + at;
            quint8* f = FFace.data() + at;
            for (int x = 0; x < x1 - x0; ++x, src += 3) {
                s[x] = std::max(s[x], src[0]);
                b[x] = quint8(b[x] + Div255((255 - b[x]) * src[1]));
                f[x] = quint8(f[x] + Div255((255 - f[x]) * src[2]));
            }
        }
    }

    // Colouring pass: shadow (black, dimmed by its grey level), then the body,
    // then the face, each over what lies below; the result is premultiplied so
    // that drawing it over the background gives the darkening
    // c := c x (255 x 255 - s x grey) / (255 x 255) and the proportional
    // mixing of the body and face. The body is one coverage layer, outline
    // and extrusion together: where it lies within the outline's reach of a
    // face it takes the outline colour, further away the shaded body colour,
    // so the letters get a clean rim and a darker depth.
    const int shadowLevel = style.ShadowStyle == sfssNone ? 0 : std::clamp(style.ShadowColor, 0, 255);
    const QColor rim = style.BorderColor;
    const QColor deep = BodyColor(style);
    const int rr = rim.red(), rg = rim.green(), rb = rim.blue();
    const int dr = deep.red(), dg = deep.green(), db = deep.blue();
    const bool shaded = deep != rim;
    if (shaded) NearFace(width, height, int(std::ceil(std::abs(style.BorderHeight))));

    // Face colour per pixel: plain, gradient or texture.
    const bool textured = !style.Bitmap.isNull();
    const bool gradient = !textured && style.GradientActive;
    QImage texture;
    if (textured) texture = style.Bitmap.convertToFormat(QImage::Format_RGB32);
    std::vector<QRgb> ramp;
    if (gradient) {
        const bool vertical = style.GradientKind == sfgkVertical;
        const int n = vertical ? height : width;
        ramp.resize(size_t(n));
        const QColor c0 = style.GradientBeginColor, c1 = style.GradientEndColor;
        for (int i = 0; i < n; ++i) {
            const double t = n > 1 ? double(i) / (n - 1) : 0.0;
            ramp[size_t(i)] = qRgb(int(std::lround(c0.red() + (c1.red() - c0.red()) * t)),
                                   int(std::lround(c0.green() + (c1.green() - c0.green()) * t)),
                                   int(std::lround(c0.blue() + (c1.blue() - c0.blue()) * t)));
        }
    }
    const QRgb plain = style.FrontColor.rgb();

    for (int y = 0; y < height; ++y) {
        QRgb* out = reinterpret_cast<QRgb*>(FOut.scanLine(y));
        const quint8* s = FShadow.data() + size_t(y) * width;
        const quint8* b = FBody.data() + size_t(y) * width;
        const quint8* f = FFace.data() + size_t(y) * width;
        const QRgb* texRow = textured ? reinterpret_cast<const QRgb*>(texture.constScanLine(y % texture.height()))
                                      : nullptr;
        QRgb rowColour = plain;
        if (gradient && style.GradientKind == sfgkVertical) rowColour = ramp[size_t(y)];
        const quint8* near = shaded ? FNear.data() + size_t(y) * width : nullptr;
        for (int x = 0; x < width; ++x) {
            const int sv = s[x], gv = b[x], rv = f[x];
            if ((sv | gv | rv) == 0) {
                out[x] = 0;
                continue;
            }
            QRgb fc = rowColour;
            if (textured) fc = texRow[x % texture.width()];
            else if (gradient && style.GradientKind == sfgkHorizontal) fc = ramp[size_t(x)];
            int br = rr, bg = rg, bb = rb;
            if (shaded) {
                const int n = near[x];
                br = Div255(dr * (255 - n) + rr * n);
                bg = Div255(dg * (255 - n) + rg * n);
                bb = Div255(db * (255 - n) + rb * n);
            }
            const int sa = Div255(sv * shadowLevel);
            const int a1 = gv + Div255((255 - gv) * sa);
            const int alpha = rv + Div255((255 - rv) * a1);
            const int inv = 255 - rv;
            const int red = Div255(rv * qRed(fc) + inv * Div255(gv * br));
            const int green = Div255(rv * qGreen(fc) + inv * Div255(gv * bg));
            const int blue = Div255(rv * qBlue(fc) + inv * Div255(gv * bb));
            out[x] = qRgba(std::min(red, alpha), std::min(green, alpha), std::min(blue, alpha), alpha);
        }
    }
    return FOut;
}
