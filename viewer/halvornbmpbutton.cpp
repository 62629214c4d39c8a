#include "viewer/halvornbmpbutton.h"
#include "shell/pictures.h"
#include <QMouseEvent>
#include <QPainter>

// ---- TImageList ------------------------------------------------------------------

TImageList::TImageList(int width, int height, QObject* parent)
    : QObject(parent), FWidth(std::max(1, width)), FHeight(std::max(1, height)) {}

int TImageList::Add(const QImage& image) {
    FImages.append(image.size() == QSize(FWidth, FHeight)
                       ? image
                       : image.scaled(FWidth, FHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return int(FImages.size()) - 1;
}

void TImageList::Draw(QPainter& painter, int x, int y, int index) const {
    if (index < 0 || index >= FImages.size()) return;
    DrawDensityImage(painter, QPointF(x, y), FImages[index], QImage());
}

// ---- THalvornBmpButton ------------------------------------------------------------

THalvornBmpButton::THalvornBmpButton(QWidget* parent) : QWidget(parent) {
    resize(32, 32);
    setMouseTracking(true);
    // Every pixel is painted, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void THalvornBmpButton::SetPicture(QImage& field, QImage& sharpField, const QImage& picture, const QImage& sharp) {
    field = picture;
    sharpField = TwinOf(picture, sharp);
    ApplyAutoSize();
    update();
}

void THalvornBmpButton::SetPictureUp(const QImage& picture, const QImage& sharp) {
    SetPicture(FPictureUp, FSharpUp, picture, sharp);
}

void THalvornBmpButton::SetPictureDown(const QImage& picture, const QImage& sharp) {
    SetPicture(FPictureDown, FSharpDown, picture, sharp);
}

void THalvornBmpButton::SetPictureHighlight(const QImage& picture, const QImage& sharp) {
    SetPicture(FPictureHighlight, FSharpHighlight, picture, sharp);
}

void THalvornBmpButton::SetPictureDisabled(const QImage& picture, const QImage& sharp) {
    SetPicture(FPictureDisabled, FSharpDisabled, picture, sharp);
}

void THalvornBmpButton::SetPictureOverlay(const QImage& picture, const QImage& sharp) {
    SetPicture(FPictureOverlay, FSharpOverlay, picture, sharp);
}

const QImage& THalvornBmpButton::SharpOf(const QImage* picture) const {
    if (picture == &FPictureDown) return FSharpDown;
    if (picture == &FPictureHighlight) return FSharpHighlight;
    if (picture == &FPictureDisabled) return FSharpDisabled;
    if (picture == &FPictureOverlay) return FSharpOverlay;
    return FSharpUp;
}

void THalvornBmpButton::SetPictures(TImageList* list) {
    FPictures = list;
    update();
}

namespace {
template <typename T>
void Store(QWidget* w, T& field, const T& value) {
    if (field == value) return;
    field = value;
    w->update();
}
} // namespace

void THalvornBmpButton::SetPicturesIndexUp(int index) { Store(this, FIndexUp, index); }
void THalvornBmpButton::SetPicturesIndexDown(int index) { Store(this, FIndexDown, index); }
void THalvornBmpButton::SetPicturesIndexDisabled(int index) { Store(this, FIndexDisabled, index); }
void THalvornBmpButton::SetPicturesIndexHighlight(int index) { Store(this, FIndexHighlight, index); }
void THalvornBmpButton::SetPicturesIndexOverlay(int index) { Store(this, FIndexOverlay, index); }
void THalvornBmpButton::SetToggle(bool toggle) { Store(this, FToggle, toggle); }
void THalvornBmpButton::SetTransparent(bool transparent) { Store(this, FTransparent, transparent); }
void THalvornBmpButton::SetTransparentClicking(bool on) { Store(this, FTransparentClicking, on); }
void THalvornBmpButton::SetTransparentColor(const QColor& color) { Store(this, FTransparentColor, color); }
void THalvornBmpButton::SetCaptionStyle(TCaptionStyle style) { Store(this, FCaptionStyle, style); }
void THalvornBmpButton::SetOffsetOverlay(int offset) { Store(this, FOffsetOverlay, offset); }
void THalvornBmpButton::SetOffsetText(int offset) { Store(this, FOffsetText, offset); }
void THalvornBmpButton::SetOffsetTextDown(int offset) { Store(this, FOffsetTextDown, offset); }
void THalvornBmpButton::SetCaption(const QString& caption) { Store(this, FCaption, caption); }
void THalvornBmpButton::SetColor(const QColor& color) { Store(this, FColor, color); }
void THalvornBmpButton::SetFontColor(const QColor& color) { Store(this, FFontColor, color); }
void THalvornBmpButton::SetAlign(Lumora::TAlign align) { FAlign = align; }

void THalvornBmpButton::SetAutoSize(bool autoSize) {
    if (autoSize == FAutoSize) return;
    FAutoSize = autoSize;
    ApplyAutoSize();
    update();
}

void THalvornBmpButton::SetOffsetDown(int offset) {
    if (offset == FOffsetDown) return;
    FOffsetDown = offset;
    ApplyAutoSize();
    update();
}

void THalvornBmpButton::SetDown(bool down) {
    FDown = down;
    repaint();
    if (!down || !parentWidget()) return;
    const auto siblings = parentWidget()->findChildren<THalvornBmpButton*>(Qt::FindDirectChildrenOnly);
    for (THalvornBmpButton* other : siblings)
        if (other != this) other->SetDown(false);
}

void THalvornBmpButton::SetEnabled(bool enabled) {
    if (enabled == FEnabled) return;
    FEnabled = enabled;
    QWidget::setEnabled(enabled);
    update();
}

void THalvornBmpButton::changeEvent(QEvent* event) {
    // setEnabled called directly counts as well; a disabled window does not
    // change the button's own flag.
    if (event->type() == QEvent::EnabledChange) {
        const bool own = !testAttribute(Qt::WA_ForceDisabled);
        if (own != FEnabled) SetEnabled(own);
    }
    QWidget::changeEvent(event);
}

void THalvornBmpButton::ApplyAutoSize() {
    if (FAutoSize && FPictureUp.width() >= 1)
        resize(FPictureUp.width() + FOffsetDown, FPictureUp.height() + FOffsetDown);
}

void THalvornBmpButton::enterEvent(QEnterEvent* event) {
    FMouseInside = true;
    update();
    QWidget::enterEvent(event);
}

void THalvornBmpButton::leaveEvent(QEvent* event) {
    FMouseInside = false;
    update();
    QWidget::leaveEvent(event);
}

// False when the press was refused on a transparent pixel.
bool THalvornBmpButton::Press(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (FTransparentClicking && !FPictureUp.isNull() && FPictureUp.valid(p) &&
        (FPictureUp.pixel(p) & 0xFFFFFF) == (FTransparentColor.rgb() & 0xFFFFFF)) {
        // Taken, so it does not reach the window behind, and otherwise ignored.
        event->accept();
        return false;
    }
    emit OnMouseDown(event->button(), event->modifiers(), p.x(), p.y());
    if (event->button() == Qt::LeftButton && FEnabled) {
        if (!FToggle) {
            FState = bsDown;
            repaint();
        }
        FPressed = true;
    }
    return true;
}

void THalvornBmpButton::mousePressEvent(QMouseEvent* event) { Press(event); }

void THalvornBmpButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt sends the second press of a double click as this event.
    if (Press(event)) emit OnDblClick();
}

void THalvornBmpButton::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit OnMouseMove(event->modifiers(), p.x(), p.y());
    if (!FPressed) return;
    const TButtonState wanted = FToggle ? FState : (rect().contains(p) ? bsDown : bsUp);
    if (wanted != FState) {
        FState = wanted;
        repaint();
    }
}

void THalvornBmpButton::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit OnMouseUp(event->button(), event->modifiers(), p.x(), p.y());
    if (!FPressed) return;
    FPressed = false;
    const bool inside = rect().contains(p);
    FState = (!FToggle || FState == bsDown) ? bsUp : bsDown;
    repaint();
    if (inside) emit OnClick();
}

void THalvornBmpButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), FColor);
    if (FPictures)
        DrawListPictures(painter);
    else
        DrawPictures(painter);
    DrawCaption(painter);
}

void THalvornBmpButton::DrawPictures(QPainter& painter) {
    const QImage* p = nullptr;
    if (!FPictureUp.isNull()) p = &FPictureUp;
    if (FDown && !FPictureDown.isNull()) p = &FPictureDown;
    if (FState == bsDown && !FPictureDown.isNull())
        p = &FPictureDown;
    else if (FState == bsUp && FMouseInside && !FPictureHighlight.isNull())
        p = &FPictureHighlight;
    if (!FEnabled && !FPictureDisabled.isNull()) p = &FPictureDisabled;
    if (p) {
        // A picture with see-through parts (rounded corners) shows the
        // button's colour there, not what the window last painted.
        if (p->hasAlphaChannel()) painter.fillRect(rect(), FColor);
        if (!FDown && !(FState == bsDown && p == &FPictureUp)) {
            painter.fillRect(p->width(), 0, width() - p->width(), height(), FColor);
            painter.fillRect(0, p->height(), width(), height() - p->height(), FColor);
            DrawDensityImage(painter, QPointF(0, 0), *p, SharpOf(p));
        } else {
            painter.fillRect(0, 0, FOffsetDown, height(), FColor);
            painter.fillRect(0, 0, width(), FOffsetDown, FColor);
            DrawDensityImage(painter, QPointF(FOffsetDown, FOffsetDown), *p, SharpOf(p));
        }
    }
    if (!FPictureOverlay.isNull()) {
        const int at = FState == bsUp ? 0 : FOffsetOverlay;
        DrawDensityImage(painter, QPointF(at, at), FPictureOverlay, FSharpOverlay);
    }
}

void THalvornBmpButton::DrawListPictures(QPainter& painter) {
    int index = FIndexUp;
    if (FDown && FIndexDown != -1) {
        index = FIndexDown;
    } else {
        if (FState == bsUp && FMouseInside && FIndexHighlight != -1) index = FIndexHighlight;
        if (FState == bsDown && FIndexDown != -1) index = FIndexDown;
    }
    const int w = FPictures->Width(), h = FPictures->Height();
    const int cx = (width() - w) / 2, cy = (height() - h) / 2;
    const bool down = FDown || FState == bsDown;
    if (index != -1) {
        if (!down) {
            painter.fillRect(cx + w, 0, width() - (cx + w), height(), FColor);
            painter.fillRect(0, cy + h, width(), height() - (cy + h), FColor);
            FPictures->Draw(painter, cx, cy, index);
        } else {
            painter.fillRect(0, 0, FOffsetDown, height(), FColor);
            painter.fillRect(0, 0, width(), FOffsetDown, FColor);
            FPictures->Draw(painter, FOffsetDown + cx, FOffsetDown + cy, index);
        }
    }
    if (FIndexOverlay != -1) {
        const int at = FState == bsUp ? 0 : FOffsetOverlay;
        FPictures->Draw(painter, at, at, FIndexOverlay);
    }
}

void THalvornBmpButton::DrawCaption(QPainter& painter) {
    if (FCaption.isEmpty()) return;
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const QSize text = metrics.size(Qt::TextSingleLine, FCaption);
    int x = (width() - text.width()) / 2;
    int y = (height() - text.height()) / 2 + FOffsetText;
    if (FState == bsDown) {
        x += FOffsetTextDown;
        y += FOffsetTextDown;
    }
    const auto draw = [&](int at, int top, const QColor& color) {
        painter.setPen(color);
        painter.drawText(QRect(at, top, text.width(), text.height()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         FCaption);
    };
    switch (FCaptionStyle) {
    case csNormal:
        draw(x, y, FFontColor);
        break;
    case csHeavy:
        draw(x + 1, y + 1, Qt::black);
        draw(x, y, Qt::white);
        break;
    case csShadow:
        draw(x + 1, y + 1, QColor(0x80, 0x80, 0x80));
        draw(x, y, FFontColor);
        break;
    }
}
