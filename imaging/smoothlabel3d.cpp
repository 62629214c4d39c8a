#include "imaging/smoothlabel3d.h"

#include "imaging/font3d.h"
#include "imaging/smoothcachefile.h"
#include "imaging/smoothfontcache.h"
#include "shell/pictures.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>

TAcceleratedText StripAccelerator(const QString& caption, bool showAccelChar) {
    TAcceleratedText result;
    if (!showAccelChar) {
        result.Text = caption;
        return result;
    }
    result.Text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption[i];
        if (c != '&') {
            result.Text += c;
            continue;
        }
        if (i + 1 >= caption.size()) break;   // a lone marker at the end
        ++i;
        if (caption[i] != '&' && result.AcceleratorIndex < 0) result.AcceleratorIndex = int(result.Text.size());
        result.Text += caption[i];
    }
    return result;
}

std::vector<TCaptionLine> BreakCaptionLines(const QString& text, bool wordWrap, int maxWidth,
                                            const std::function<int(const QString&)>& measure) {
    std::vector<TCaptionLine> lines;
    const int n = int(text.size());
    int start = 0;
    while (start <= n) {
        // One paragraph: up to the next line break.
        int end = start;
        while (end < n && text[end] != '\n' && text[end] != '\r') ++end;
        int pos = start;
        if (!wordWrap) {
            lines.push_back({start, end - start});
        } else {
            do {
                // Take words while the line still fits; the first always.
                int lineEnd = pos;
                int scan = pos;
                while (scan < end) {
                    int wordEnd = scan;
                    while (wordEnd < end && text[wordEnd] == ' ') ++wordEnd;
                    while (wordEnd < end && text[wordEnd] != ' ') ++wordEnd;
                    if (lineEnd > pos && measure(text.mid(pos, wordEnd - pos)) > maxWidth) break;
                    lineEnd = wordEnd;
                    scan = wordEnd;
                }
                lines.push_back({pos, lineEnd - pos});
                pos = lineEnd;
                while (pos < end && text[pos] == ' ') ++pos;
            } while (pos < end);
        }
        if (end >= n) break;
        start = end + ((text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ? 2 : 1);
        if (start == n) {
            lines.push_back({n, 0});   // a caption ending in a break has an empty last line
            break;
        }
    }
    return lines;
}

namespace {

// Position of the code point that starts at code unit Unit of Text.
int CodePointIndex(const QString& text, int unit) {
    int index = 0;
    for (int i = 0; i < unit && i < text.size(); ++i) {
        if (!text[i].isLowSurrogate()) ++index;
    }
    return index;
}

} // namespace

TSmoothLabel3D::TSmoothLabel3D(QWidget* parent) : QWidget(parent), FFont3D(new TFont3D(this)) {
    QFont f = font();
    f.setFamily("Arial");
    setFont(f);
    connect(FFont3D, &TFont3D::Changed, this, &TSmoothLabel3D::Changed);
}

TSmoothLabel3D::~TSmoothLabel3D() = default;

void TSmoothLabel3D::Changed() {
    updateGeometry();
    update();
}

void TSmoothLabel3D::SetCaption(const QString& value) {
    if (FCaption == value) return;
    FCaption = value;
    Changed();
}

void TSmoothLabel3D::SetAlignment(TAlignment value) {
    if (FAlignment == value) return;
    FAlignment = value;
    update();
}

void TSmoothLabel3D::SetLayout(TTextLayout value) {
    if (FLayout == value) return;
    FLayout = value;
    update();
}

void TSmoothLabel3D::SetWordWrap(bool value) {
    if (FWordWrap == value) return;
    FWordWrap = value;
    Changed();
}

void TSmoothLabel3D::SetShowAccelChar(bool value) {
    if (FShowAccelChar == value) return;
    FShowAccelChar = value;
    Changed();
}

void TSmoothLabel3D::SetTransparent(bool value) {
    if (FTransparent == value) return;
    FTransparent = value;
    update();
}

void TSmoothLabel3D::SetFont3D(TFont3D* value) {
    if (value) FFont3D->Assign(*value);
}

void TSmoothLabel3D::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) Changed();
    QWidget::changeEvent(event);
}

QSize TSmoothLabel3D::TextSize(int wrapWidth) const {
    TSmoothFontCache& cache = SmoothFontCache();
    const TSmoothFontRecord font = TSmoothFontRecord::FromFont(this->font(), logicalDpiY());
    const TFont3DValues& style = FFont3D->Values();
    const TAcceleratedText text = StripAccelerator(FCaption, FShowAccelChar);
    const auto lines = BreakCaptionLines(text.Text, FWordWrap && wrapWidth >= 0, wrapWidth,
                                         [&](const QString& s) { return cache.TextWidth(font, style, s); });
    int width = 0;
    for (const TCaptionLine& line : lines)
        width = std::max(width, cache.TextWidth(font, style, text.Text.mid(line.Start, line.Length)));
    const int lineHeight = cache.TextHeight(font, style);
    const int pitch = lineHeight + cache.SetFor(font, style).Overlap() + style.VerticalMargin;
    return QSize(width, lineHeight + int(lines.size() - 1) * pitch);
}

QSize TSmoothLabel3D::sizeHint() const { return TextSize(); }
QSize TSmoothLabel3D::minimumSizeHint() const { return FWordWrap ? QSize(0, 0) : TextSize(); }

void TSmoothLabel3D::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!FTransparent) painter.fillRect(rect(), palette().color(backgroundRole()));
    if (FCaption.isEmpty()) return;

    TSmoothFontCache& cache = SmoothFontCache();
    const TSmoothFontRecord font = TSmoothFontRecord::FromFont(this->font(), logicalDpiY());
    const TFont3DValues style = FFont3D->Values();
    const TAcceleratedText text = StripAccelerator(FCaption, FShowAccelChar);
    const auto lines = BreakCaptionLines(text.Text, FWordWrap, width(),
                                         [&](const QString& s) { return cache.TextWidth(font, style, s); });
    const int lineHeight = cache.TextHeight(font, style);
    const int overlap = cache.SetFor(font, style).Overlap();
    FFont3D->SetOverlap(overlap);
    const int pitch = lineHeight + overlap + style.VerticalMargin;
    const int total = lineHeight + int(lines.size() - 1) * pitch;
    // Laid out in logical pixels by the 1x glyphs; drawn with the glyphs of
    // the screen's density.
    const qreal ratio = PaintRatio(painter);

    int y = 0;
    if (FLayout == tlCenter) y = (height() - total) / 2;
    else if (FLayout == tlBottom) y = height() - total;
    for (const TCaptionLine& line : lines) {
        const QString s = text.Text.mid(line.Start, line.Length);
        const int w = cache.TextWidth(font, style, s);
        int x = 0;
        if (FAlignment == taRightJustify) x = width() - w;
        else if (FAlignment == taCenter) x = (width() - w) / 2;
        int accelerator = -1;
        if (text.AcceleratorIndex >= line.Start && text.AcceleratorIndex < line.Start + line.Length)
            accelerator = CodePointIndex(s, text.AcceleratorIndex - line.Start);
        cache.DrawString(painter, QPoint(x, y), font, style, s, accelerator, ratio);
        y += pitch;
    }
}
