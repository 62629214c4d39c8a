#pragma once
// Animated glyph images: a strip of frames side by side (or one above the
// other) stepped through by a timer while the control is active. The toolbar
// buttons are THvAnimatedImage, the brand logo a TAnimatedImage. Pixels of
// TransparentColor show what lies behind the control.
#include <QColor>
#include <QHash>
#include <QImage>
#include <QTimer>
#include <QWidget>

struct TBranding;

class THvImageControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(QImage Glyph READ Glyph WRITE SetGlyph)
    Q_PROPERTY(TGlyphOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE SetNumGlyphs)
    Q_PROPERTY(int GlyphNum READ GlyphNum WRITE SetGlyphNum)
    Q_PROPERTY(bool Center READ Center WRITE SetCenter)
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
    Q_PROPERTY(QColor TransparentColor READ TransparentColor WRITE SetTransparentColor)
    Q_PROPERTY(bool Opaque READ Opaque WRITE SetOpaque)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
    Q_PROPERTY(bool Loading READ Loading WRITE SetLoading)

public:
    enum TGlyphOrientation { goHorizontal, goVertical };
    Q_ENUM(TGlyphOrientation)

    explicit THvImageControl(QWidget* parent = nullptr);
    ~THvImageControl() override;

    bool Active() const { return FActive; }
    void SetActive(bool active);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool autoSize);
    const QImage& Glyph() const { return FGlyph; }
    // Takes the transparent colour from the lower-left pixel, counts square
    // frames, resets GlyphNum and sizes the control. Sharp, the same strip at
    // twice the size (a skin's twin), is shown on screens of a device pixel
    // ratio above 1; without it the frames are scaled smoothly there.
    void SetGlyph(const QImage& glyph, const QImage& sharp = QImage());
    const QImage& SharpGlyph() const { return FSharpGlyph; }
    TGlyphOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TGlyphOrientation orientation);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int count);
    int GlyphNum() const { return FGlyphNum; }
    // Values outside 0 .. NumGlyphs - 1 are ignored.
    void SetGlyphNum(int frame);
    bool Center() const { return FCenter; }
    void SetCenter(bool center);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool stretch);
    QColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(const QColor& color);
    bool Opaque() const { return FOpaque; }
    void SetOpaque(bool opaque);
    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);
    int Interval() const { return FTimer.interval(); }
    void SetInterval(int milliseconds);
    // Set while a form builds the control: no start and stop notifications,
    // no automatic sizing.
    bool Loading() const { return FLoading; }
    void SetLoading(bool loading);

    int FrameWidth() const { return FFrameWidth; }
    int FrameHeight() const { return FFrameHeight; }
    // The frame the control shows now, as painted (transparent pixels keyed
    // out); with Sharp, from the twin of twice the size (null when none).
    QImage CurrentFrame(bool sharp = false) const;

signals:
    void OnFrameChanged();
    void OnStart();
    void OnStop();
    void OnClick();
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void OnMouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    // The picture to draw from, its twin of twice the size (null or an
    // empty picture for none) and its frame; Source null for nothing.
    virtual void ChooseSource(const QImage*& source, const QImage*& sharp, int& frame) const = 0;
    // Raised on every change of a glyph or the transparent colour.
    void PicturesChanged();
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Tick();
    void UpdateFrameSize();
    const QImage& Keyed(const QImage& source) const;

    QImage FGlyph;
    QImage FSharpGlyph;
    TGlyphOrientation FOrientation = goHorizontal;
    bool FActive = false;
    bool FAutoSize = true;
    int FNumGlyphs = 1;
    int FGlyphNum = 0;
    bool FCenter = false;
    bool FStretch = true;
    QColor FTransparentColor;
    bool FOpaque = false;
    QColor FColor = Qt::black;
    bool FLoading = false;
    int FFrameWidth = 0;
    int FFrameHeight = 0;
    bool FPressed = false;
    QTimer FTimer;
    // Pictures with the transparent colour keyed out, made on first paint.
    mutable QHash<qint64, QImage> FKeyed;
};

// A toolbar button: the strip while active, InactiveGlyph at rest and
// DisabledGlyph while disabled (each when not empty).
class THvAnimatedImage : public THvImageControl {
    Q_OBJECT
    Q_PROPERTY(QImage InactiveGlyph READ InactiveGlyph WRITE SetInactiveGlyph)
    Q_PROPERTY(QImage DisabledGlyph READ DisabledGlyph WRITE SetDisabledGlyph)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)

public:
    explicit THvAnimatedImage(QWidget* parent = nullptr);

    const QImage& InactiveGlyph() const { return FInactiveGlyph; }
    void SetInactiveGlyph(const QImage& glyph, const QImage& sharp = QImage());
    const QImage& DisabledGlyph() const { return FDisabledGlyph; }
    void SetDisabledGlyph(const QImage& glyph, const QImage& sharp = QImage());
    bool Enabled() const { return FEnabled; }
    // Disabling stops the animation.
    void SetEnabled(bool enabled);

protected:
    void ChooseSource(const QImage*& source, const QImage*& sharp, int& frame) const override;
    void changeEvent(QEvent* event) override;

private:
    QImage FInactiveGlyph, FSharpInactive;
    QImage FDisabledGlyph, FSharpDisabled;
    bool FEnabled = true;
};

// The brand logo: while not active it shows frame InactiveGlyph of the strip
// when that is a frame of it, else GlyphNum.
class TAnimatedImage : public THvImageControl {
    Q_OBJECT
    Q_PROPERTY(int InactiveGlyph READ InactiveGlyph WRITE SetInactiveGlyph)

public:
    explicit TAnimatedImage(QWidget* parent = nullptr);

    int InactiveGlyph() const { return FInactiveGlyph; }
    void SetInactiveGlyph(int frame);

protected:
    void ChooseSource(const QImage*& source, const QImage*& sharp, int& frame) const override;

private:
    int FInactiveGlyph = -1;
};

// Skins a toolbar button from group "XLumRes": the strip Animated (its frame
// count from the skin file), the still Inactive and, when given, the still
// Disabled; then the button is inactive and enabled. A missing picture leaves
// that glyph empty; a missing skin file raises EError.
void SkinAnimatedButton(THvAnimatedImage& button, const QString& animated, const QString& inactive,
                        const QString& disabled = QString());
// Gives the logo the branding file's strip and frame count when there is one.
void ApplyBrandLogo(TAnimatedImage& logo, const TBranding& branding);
