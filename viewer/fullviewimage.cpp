#include "viewer/fullviewimage.h"
#include <QPaintEvent>
#include <QPainter>

TFullViewImage::TFullViewImage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FullView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TFullViewImage::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRegion(event->region());
    if (FPicture.Empty()) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    FPicture.Draw(painter, rect(), FQuality);
}
