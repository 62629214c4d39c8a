#include "viewer/rollpage.h"
#include "shell/pictures.h"
#include "viewer/filmcans.h"
#include "viewer/iconcontainer.h"
#include "viewer/lumorafrm.h"
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

void TRollPage::RollContainerResize() {
    TIconContainer& c = *W.Form.RollContainer;
    c.SetIconCount(W.RollList.Count());
    const TRollGridLayout grid = ArrangeRollGrid(W.RollList.Count(), c.viewport()->width(), c.IconWidth());
    c.SetIconColumns(grid.Columns);
    c.SetIconHorzGap(grid.Gap);
    c.SetIconLeftMargin(grid.LeftMargin);
    c.SetVertScrollRange(c.ContentHeight());
}

void TRollPage::RollContainerIconDraw(int index, QPainter& canvas, const QRect& rect) {
    if (index < 0 || index >= W.RollList.Count()) return;
    const bool lit = index == FHoverRoll.Index();
    const QImage picture = lit ? FilmCanImageHilight() : FilmcanImage();
    const QImage sharp = PaintRatio(canvas) > 1.0 ? (lit ? FilmCanImageHilight2x() : FilmcanImage2x()) : QImage();
    DrawDensityImage(canvas, QPointF(rect.left() + (rect.width() - picture.width()) / 2, rect.top()), picture, sharp);
    QRect text = rect;
    text.setTop(rect.top() + picture.height() + 10);
    text.adjust(15, 0, -15, 0);
    QFont font = canvas.font();
    font.setPointSize(10);
    canvas.setFont(font);
    canvas.setPen(MainFormColors::SectionBlue());
    DrawWrappedElided(canvas, text, W.RollList.Names(index));
}

void TRollPage::RollContainerMouseMove(QMouseEvent* event) {
    TIconContainer& c = *W.Form.RollContainer;
    const int index = c.HitTest(int(event->position().x()), int(event->position().y()));
    const int old = FHoverRoll.Index();
    FHoverRoll.Reset(index);
    if (index >= 0) c.InvalidateIcon(index, false);
    if (old >= 0 && old < c.IconCount() && old != index) c.InvalidateIcon(old, false);
}

void DrawWrappedElided(QPainter& painter, const QRect& rect, const QString& text) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    const QFontMetrics metrics(painter.font());
    QTextLayout layout(text, painter.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    const int maxLines = std::max(1, rect.height() / metrics.lineSpacing());
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(rect.width());
        if (lines.size() == maxLines - 1) {
            // The last line that fits takes the rest, cut with an ellipsis.
            lines << metrics.elidedText(text.mid(line.textStart()).simplified(), Qt::ElideRight, rect.width());
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    int y = rect.top();
    for (const QString& line : lines) {
        painter.drawText(QRect(rect.left(), y, rect.width(), metrics.lineSpacing()),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, line);
        y += metrics.lineSpacing();
    }
}
