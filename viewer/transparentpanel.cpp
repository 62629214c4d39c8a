#include "viewer/transparentpanel.h"
#include <QPainter>
#include <QStyleOptionFrame>

TTransparentPanel::TTransparentPanel(QWidget* parent) : QWidget(parent) {
    // Never opaque: the parent's pixels stay under it.
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void TTransparentPanel::SetTransparent(bool value) {
    if (value == FTransparent) return;
    FTransparent = value;
    update();
}

void TTransparentPanel::SetCaption(const QString& value) {
    if (value == FCaption) return;
    FCaption = value;
    update();
}

void TTransparentPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!FTransparent) {
        painter.fillRect(rect(), palette().color(QPalette::Window));
        QStyleOptionFrame frame;
        frame.initFrom(this);
        frame.frameShape = QFrame::Panel;
        frame.state |= QStyle::State_Raised;
        frame.lineWidth = 1;
        style()->drawControl(QStyle::CE_ShapedFrame, &frame, &painter, this);
    }
    if (FCaption.isEmpty()) return;
    // Centred on the height of a capital, as the panel's own caption is.
    const QFontMetrics metrics(font());
    const int top = (height() - metrics.boundingRect(QLatin1Char('W')).height()) / 2;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(2, top, width() - 4, height() - top), Alignment | Qt::AlignTop, FCaption);
}
