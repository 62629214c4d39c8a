#include "imaging/animatedimage.h"
#include "shell/pictures.h"
#include "shell/skin.h"
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

THvImageControl::THvImageControl(QWidget* parent) : QWidget(parent) {
    // Hover handlers need moves without a button held.
    setMouseTracking(true);
    FTimer.setInterval(100);
    connect(&FTimer, &QTimer::timeout, this, &THvImageControl::Tick);
}

THvImageControl::~THvImageControl() {
    // No notifications from a control that is going away.
    blockSignals(true);
    FTimer.stop();
}

void THvImageControl::SetActive(bool active) {
    // Hover handlers set it on every mouse move; only a change restarts.
    if (active == FActive) return;
    if (active) {
        FGlyphNum = 0;
        FTimer.start();
        FActive = FTimer.isActive();
        if (!FLoading) emit OnStart();
    } else {
        FTimer.stop();
        FActive = false;
        emit OnFrameChanged();
        if (!FLoading) emit OnStop();
    }
    update();
}

void THvImageControl::SetAutoSize(bool autoSize) {
    if (autoSize == FAutoSize) return;
    FAutoSize = autoSize;
    UpdateFrameSize();
}

void THvImageControl::SetGlyph(const QImage& glyph, const QImage& sharp) {
    FGlyph = glyph;
    FSharpGlyph = TwinOf(glyph, sharp);
    if (!FGlyph.isNull()) {
        // The bitmap's own transparent colour: its lower-left pixel.
        FTransparentColor = QColor(QColor(FGlyph.pixel(0, FGlyph.height() - 1)).rgb());
    }
    FNumGlyphs = 1;
    FGlyphNum = 0;
    const int w = FGlyph.width(), h = FGlyph.height();
    if (FOrientation == goHorizontal) {
        if (h > 0 && w % h == 0) FNumGlyphs = w / h;
    } else {
        if (w > 0 && h % w == 0) FNumGlyphs = h / w;
    }
    PicturesChanged();
    UpdateFrameSize();
}

void THvImageControl::SetOrientation(TGlyphOrientation orientation) {
    if (orientation == FOrientation) return;
    FOrientation = orientation;
    UpdateFrameSize();
}

void THvImageControl::SetNumGlyphs(int count) {
    FNumGlyphs = count;
    emit OnFrameChanged();
    UpdateFrameSize();
}

void THvImageControl::SetGlyphNum(int frame) {
    if (frame == FGlyphNum || frame < 0 || frame >= FNumGlyphs) return;
    FGlyphNum = frame;
    emit OnFrameChanged();
    update();
}

void THvImageControl::SetCenter(bool center) {
    FCenter = center;
    update();
}

void THvImageControl::SetStretch(bool stretch) {
    FStretch = stretch;
    update();
}

void THvImageControl::SetTransparentColor(const QColor& color) {
    FTransparentColor = color;
    PicturesChanged();
}

void THvImageControl::SetOpaque(bool opaque) {
    FOpaque = opaque;
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    update();
}

void THvImageControl::SetColor(const QColor& color) {
    FColor = color;
    update();
}

void THvImageControl::SetInterval(int milliseconds) { FTimer.setInterval(std::max(1, milliseconds)); }

void THvImageControl::SetLoading(bool loading) {
    FLoading = loading;
    if (!loading) UpdateFrameSize();
}

void THvImageControl::PicturesChanged() {
    FKeyed.clear();
    update();
}

void THvImageControl::UpdateFrameSize() {
    FNumGlyphs = std::max(1, FNumGlyphs);
    if (FOrientation == goHorizontal) {
        FFrameWidth = FGlyph.width() / FNumGlyphs;
        FFrameHeight = FGlyph.height();
    } else {
        FFrameWidth = FGlyph.width();
        FFrameHeight = FGlyph.height() / FNumGlyphs;
    }
    if (FAutoSize && !FLoading && FFrameWidth > 0 && FFrameHeight > 0) resize(FFrameWidth, FFrameHeight);
    update();
}

void THvImageControl::Tick() {
    if (!isVisible() || FNumGlyphs <= 1) return;
    FGlyphNum = FGlyphNum + 1 >= FNumGlyphs ? 0 : FGlyphNum + 1;
    emit OnFrameChanged();
    repaint();
}

const QImage& THvImageControl::Keyed(const QImage& source) const {
    const qint64 key = source.cacheKey();
    auto it = FKeyed.find(key);
    if (it != FKeyed.end()) return *it;
    QImage keyed = source.convertToFormat(QImage::Format_ARGB32);
    if (FTransparentColor.isValid()) {
        const QRgb clear = FTransparentColor.rgb() & 0xFFFFFF;
        for (int y = 0; y < keyed.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
            for (int x = 0; x < keyed.width(); ++x)
                if ((row[x] & 0xFFFFFF) == clear) row[x] = 0;
        }
    }
    return *FKeyed.insert(key, keyed.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

QImage THvImageControl::CurrentFrame(bool sharp) const {
    const QImage* source = nullptr;
    const QImage* twin = nullptr;
    int frame = 0;
    ChooseSource(source, twin, frame);
    if (!source || source->isNull() || FFrameWidth < 1 || FFrameHeight < 1) return {};
    const QRect r = FOrientation == goHorizontal ? QRect(FFrameWidth * frame, 0, FFrameWidth, FFrameHeight)
                                                 : QRect(0, FFrameHeight * frame, FFrameWidth, FFrameHeight);
    if (!sharp) return Keyed(*source).copy(r);
    if (!twin || twin->size() != source->size() * 2) return {};
    return Keyed(*twin).copy(QRect(r.topLeft() * 2, r.size() * 2));
}

void THvImageControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Without Opaque the parent's background shows through (Qt paints it
    // under a widget that does not claim to be opaque).
    if (FOpaque || !parentWidget()) painter.fillRect(rect(), FColor);
    const QImage frame = CurrentFrame();
    if (frame.isNull()) return;
    const QImage sharp = PaintRatio(painter) > 1.0 ? CurrentFrame(true) : QImage();
    if (FStretch) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), sharp.isNull() ? frame : sharp);
    } else if (FCenter) {
        DrawDensityImage(painter, QPointF((width() - FFrameWidth) / 2, (height() - FFrameHeight) / 2), frame, sharp);
    } else {
        DrawDensityImage(painter, QPointF(0, 0), frame, sharp);
    }
}

void THvImageControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (FAutoSize && !FLoading && FFrameWidth > 0 && FFrameHeight > 0 && size() != QSize(FFrameWidth, FFrameHeight))
        resize(FFrameWidth, FFrameHeight);
}

void THvImageControl::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) FPressed = true;
    emit OnMouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void THvImageControl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit OnMouseMove(event->modifiers(), p.x(), p.y());
}

void THvImageControl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit OnMouseUp(event->button(), event->modifiers(), p.x(), p.y());
    if (event->button() == Qt::LeftButton && FPressed) {
        FPressed = false;
        if (rect().contains(p)) emit OnClick();
    }
}

// ---- THvAnimatedImage --------------------------------------------------------------

THvAnimatedImage::THvAnimatedImage(QWidget* parent) : THvImageControl(parent) {}

void THvAnimatedImage::SetInactiveGlyph(const QImage& glyph, const QImage& sharp) {
    FInactiveGlyph = glyph;
    FSharpInactive = TwinOf(glyph, sharp);
    PicturesChanged();
}

void THvAnimatedImage::SetDisabledGlyph(const QImage& glyph, const QImage& sharp) {
    FDisabledGlyph = glyph;
    FSharpDisabled = TwinOf(glyph, sharp);
    PicturesChanged();
}

void THvAnimatedImage::SetEnabled(bool enabled) {
    if (enabled == FEnabled) return;
    FEnabled = enabled;
    QWidget::setEnabled(enabled);
    SetActive(enabled && Active());
    update();
}

void THvAnimatedImage::changeEvent(QEvent* event) {
    // setEnabled called directly (not through SetEnabled) counts the same; a
    // disabled parent window does not change the button's own flag.
    if (event->type() == QEvent::EnabledChange) {
        const bool own = !testAttribute(Qt::WA_ForceDisabled);
        if (own != FEnabled) SetEnabled(own);
    }
    THvImageControl::changeEvent(event);
}

void THvAnimatedImage::ChooseSource(const QImage*& source, const QImage*& sharp, int& frame) const {
    frame = 0;
    if (!FEnabled && !FDisabledGlyph.isNull()) {
        source = &FDisabledGlyph;
        sharp = &FSharpDisabled;
    } else if (Active() || FInactiveGlyph.isNull()) {
        source = &Glyph();
        sharp = &SharpGlyph();
        frame = GlyphNum();
    } else {
        source = &FInactiveGlyph;
        sharp = &FSharpInactive;
    }
}

// ---- TAnimatedImage ----------------------------------------------------------------

TAnimatedImage::TAnimatedImage(QWidget* parent) : THvImageControl(parent) {}

void TAnimatedImage::SetInactiveGlyph(int frame) {
    FInactiveGlyph = frame;
    update();
}

void TAnimatedImage::ChooseSource(const QImage*& source, const QImage*& sharp, int& frame) const {
    source = &Glyph();
    sharp = &SharpGlyph();
    frame = !Active() && FInactiveGlyph >= 0 && FInactiveGlyph < NumGlyphs() ? FInactiveGlyph : GlyphNum();
}

// ---- skinning ----------------------------------------------------------------------

void SkinAnimatedButton(THvAnimatedImage& button, const QString& animated, const QString& inactive,
                        const QString& disabled) {
    const QString group = QString::fromLatin1(XLumResGroup);
    const TSkinPicture strip = GetAnimatedSkinPicture(group, animated);
    button.SetGlyph(strip.Image, strip.Sharp);
    button.SetNumGlyphs(std::max(1, strip.Frames));
    const TSkinPicture rest = GetSkinPicture(group, inactive);
    button.SetInactiveGlyph(rest.Image, rest.Sharp);
    if (!disabled.isEmpty()) {
        const TSkinPicture off = GetSkinPicture(group, disabled);
        button.SetDisabledGlyph(off.Image, off.Sharp);
    }
    button.SetActive(false);
    button.SetEnabled(true);
}

void ApplyBrandLogo(TAnimatedImage& logo, const TBranding& branding) {
    if (branding.Logo.isNull()) return;
    logo.SetGlyph(branding.Logo);
    logo.SetNumGlyphs(branding.LogoCells);
}
