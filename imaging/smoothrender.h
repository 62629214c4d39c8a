#pragma once
// Rendering of 3D glyphs and their composition into a string.
//
// A glyph is rendered at F times its cell size into three coverage masks -
// shadow, body (the outline swept along the view direction) and face - and
// reduced to the cell by averaging each F x F block. Drawing a string lays its
// glyphs out side by side (neighbouring cells overlap by the depth), merges
// their masks and colours them into one premultiplied ARGB image, which is
// drawn over whatever the canvas holds. Needs a QGuiApplication (fonts).
#include "imaging/font3d.h"
#include "imaging/smoothcachefile.h"

#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <vector>

// Oversampling factor for a font whose "X" is XHeight pixels high.
int OversamplingFactor(int xHeight);

// The cell arithmetic of one character, from the font's measures.
struct TGlyphCell {
    int Width = 0;
    int Height = 0;
    int Overlap = 0;      // added between neighbouring characters, <= 0
    int Factor = 1;       // oversampling actually used
};
// XHeight: height of "X" (the font's line height); Advance: width of the
// character; Italic: the font slants; Density: the device pixels per
// logical pixel the set is for (see DensityOf).
TGlyphCell GlyphCellFor(int xHeight, int advance, bool italic, const TFont3DValues& style, int density = 1);
// 2 for a set made for a screen of device pixel ratio 2 (FontRecordAtRatio
// doubles its pixels per inch), 1 for the sets of ratio 1 and 1.5.
int DensityOf(const TSmoothFontRecord& font);

// Renders Ch (any code point) in the font and 3D style given. Overlap is set
// to the set's overlap. Control characters give an empty cell.
TSmoothGlyph RenderSmoothGlyph(const TSmoothFontRecord& font, const TFont3DValues& style, char32_t ch,
                               bool underlined, int& overlap);

// Cell height and overlap of a set without rendering anything (for an empty
// line, say).
TGlyphCell LineCellFor(const TSmoothFontRecord& font, const TFont3DValues& style);

// A glyph placed in a string, X relative to the string's left edge.
struct TPlacedGlyph {
    const TSmoothGlyph* Glyph = nullptr;
    int X = 0;
};

// Work planes kept between calls so that painting a caption allocates
// nothing once they are large enough (at least 100 x 24, grown on demand).
class TSmoothComposer {
public:
    // Composes Glyphs (all of one set) into the top-left Width x Height
    // pixels of a premultiplied ARGB image and returns that image (it may be
    // larger); the colours come from Style. It stays valid until the next call.
    const QImage& Compose(const std::vector<TPlacedGlyph>& glyphs, int width, int height,
                          const TFont3DValues& style);

    // Colour of the body away from the outline: the outline colour shaded
    // by Border.EffectColor.
    static QColor BodyColor(const TFont3DValues& style);

private:
    void Reserve(int width, int height);
    void NearFace(int width, int height, int radius);

    int FCapacityWidth = 0;
    int FCapacityHeight = 0;
    std::vector<quint8> FShadow, FBody, FFace, FNear, FTemp;
    QImage FOut;
};
