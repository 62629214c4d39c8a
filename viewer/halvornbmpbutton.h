#pragma once
// The picture button of the skinned windows (module HalvornBitmapButton): no
// border of its own, one picture per state (up, down, highlighted under the
// mouse, disabled), an optional overlay and an optional caption in one of
// three styles. With TransparentClicking a press on a pixel of the up picture
// that has TransparentColor is refused, so an irregular button reacts only
// inside its drawn shape. Down is a latch shared by the buttons of one parent:
// setting it on one releases the others.
#include "shell/customize.h"
#include <QColor>
#include <QImage>
#include <QList>
#include <QObject>
#include <QWidget>

// Pictures of one size kept in a list, drawn by index.
class TImageList : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Width READ Width)
    Q_PROPERTY(int Height READ Height)

public:
    TImageList(int width, int height, QObject* parent = nullptr);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const { return int(FImages.size()); }
    // Scaled to the list's size when it differs; returns the new index.
    int Add(const QImage& image);
    void Draw(QPainter& painter, int x, int y, int index) const;

private:
    int FWidth;
    int FHeight;
    QList<QImage> FImages;
};

class THalvornBmpButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QImage PictureUp READ PictureUp WRITE SetPictureUp)
    Q_PROPERTY(QImage PictureDown READ PictureDown WRITE SetPictureDown)
    Q_PROPERTY(QImage PictureHighlight READ PictureHighlight WRITE SetPictureHighlight)
    Q_PROPERTY(QImage PictureDisabled READ PictureDisabled WRITE SetPictureDisabled)
    Q_PROPERTY(QImage PictureOverlay READ PictureOverlay WRITE SetPictureOverlay)
    Q_PROPERTY(TImageList* Pictures READ Pictures WRITE SetPictures)
    Q_PROPERTY(int PicturesIndexUp READ PicturesIndexUp WRITE SetPicturesIndexUp)
    Q_PROPERTY(int PicturesIndexDown READ PicturesIndexDown WRITE SetPicturesIndexDown)
    Q_PROPERTY(int PicturesIndexDisabled READ PicturesIndexDisabled WRITE SetPicturesIndexDisabled)
    Q_PROPERTY(int PicturesIndexHighlight READ PicturesIndexHighlight WRITE SetPicturesIndexHighlight)
    Q_PROPERTY(int PicturesIndexOverlay READ PicturesIndexOverlay WRITE SetPicturesIndexOverlay)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(bool Down READ Down WRITE SetDown)
    Q_PROPERTY(bool Toggle READ Toggle WRITE SetToggle)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(bool TransparentClicking READ TransparentClicking WRITE SetTransparentClicking)
    Q_PROPERTY(QColor TransparentColor READ TransparentColor WRITE SetTransparentColor)
    Q_PROPERTY(TCaptionStyle CaptionStyle READ CaptionStyle WRITE SetCaptionStyle)
    Q_PROPERTY(int OffsetDown READ OffsetDown WRITE SetOffsetDown)
    Q_PROPERTY(int DownOffset READ OffsetDown WRITE SetOffsetDown)
    Q_PROPERTY(int OffsetOverlay READ OffsetOverlay WRITE SetOffsetOverlay)
    Q_PROPERTY(int OverlayOffset READ OffsetOverlay WRITE SetOffsetOverlay)
    Q_PROPERTY(int OffsetText READ OffsetText WRITE SetOffsetText)
    Q_PROPERTY(int OffsetTextDown READ OffsetTextDown WRITE SetOffsetTextDown)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString text READ Caption WRITE SetCaption)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QColor FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(Lumora::TAlign Align READ Align WRITE SetAlign)

public:
    enum TCaptionStyle { csNormal, csHeavy, csShadow };
    Q_ENUM(TCaptionStyle)
    enum TButtonState { bsUp = 0, bsDown = 2 };

    explicit THalvornBmpButton(QWidget* parent = nullptr);

    // Each picture may come with its twin of twice the size (a skin's), shown
    // on screens of a device pixel ratio above 1; without one the picture is
    // scaled smoothly there. Setting a picture alone (the form script's
    // "ChangeImage") drops the old twin.
    const QImage& PictureUp() const { return FPictureUp; }
    void SetPictureUp(const QImage& picture, const QImage& sharp = QImage());
    const QImage& PictureDown() const { return FPictureDown; }
    void SetPictureDown(const QImage& picture, const QImage& sharp = QImage());
    const QImage& PictureHighlight() const { return FPictureHighlight; }
    void SetPictureHighlight(const QImage& picture, const QImage& sharp = QImage());
    const QImage& PictureDisabled() const { return FPictureDisabled; }
    void SetPictureDisabled(const QImage& picture, const QImage& sharp = QImage());
    const QImage& PictureOverlay() const { return FPictureOverlay; }
    void SetPictureOverlay(const QImage& picture, const QImage& sharp = QImage());
    // The twin kept for PictureUp; null when none.
    const QImage& SharpPictureUp() const { return FSharpUp; }
    // Not owned: the list belongs to the window.
    TImageList* Pictures() const { return FPictures; }
    void SetPictures(TImageList* list);
    int PicturesIndexUp() const { return FIndexUp; }
    void SetPicturesIndexUp(int index);
    int PicturesIndexDown() const { return FIndexDown; }
    void SetPicturesIndexDown(int index);
    int PicturesIndexDisabled() const { return FIndexDisabled; }
    void SetPicturesIndexDisabled(int index);
    int PicturesIndexHighlight() const { return FIndexHighlight; }
    void SetPicturesIndexHighlight(int index);
    int PicturesIndexOverlay() const { return FIndexOverlay; }
    void SetPicturesIndexOverlay(int index);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool autoSize);
    bool Down() const { return FDown; }
    void SetDown(bool down);
    bool Toggle() const { return FToggle; }
    void SetToggle(bool toggle);
    // Stored and repainted; no drawing depends on it.
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool transparent);
    bool TransparentClicking() const { return FTransparentClicking; }
    void SetTransparentClicking(bool on);
    QColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(const QColor& color);
    TCaptionStyle CaptionStyle() const { return FCaptionStyle; }
    void SetCaptionStyle(TCaptionStyle style);
    int OffsetDown() const { return FOffsetDown; }
    void SetOffsetDown(int offset);
    int OffsetOverlay() const { return FOffsetOverlay; }
    void SetOffsetOverlay(int offset);
    int OffsetText() const { return FOffsetText; }
    void SetOffsetText(int offset);
    int OffsetTextDown() const { return FOffsetTextDown; }
    void SetOffsetTextDown(int offset);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    const QString& Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);
    QColor FontColor() const { return FFontColor; }
    void SetFontColor(const QColor& color);
    // Stored for the form script's resizing rule; it does not move the button.
    Lumora::TAlign Align() const { return FAlign; }
    void SetAlign(Lumora::TAlign align);

    // Internal state, readable for the window and tests.
    bool MouseInside() const { return FMouseInside; }
    bool Pressed() const { return FPressed; }
    TButtonState State() const { return FState; }

signals:
    void OnClick();
    void OnDblClick();
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void OnMouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ApplyAutoSize();
    bool Press(QMouseEvent* event);
    void DrawPictures(QPainter& painter);
    void DrawListPictures(QPainter& painter);
    void DrawCaption(QPainter& painter);

    void SetPicture(QImage& field, QImage& sharpField, const QImage& picture, const QImage& sharp);
    const QImage& SharpOf(const QImage* picture) const;

    QImage FPictureUp, FPictureDown, FPictureHighlight, FPictureDisabled, FPictureOverlay;
    QImage FSharpUp, FSharpDown, FSharpHighlight, FSharpDisabled, FSharpOverlay;
    TImageList* FPictures = nullptr;
    int FIndexUp = -1, FIndexDown = -1, FIndexDisabled = -1, FIndexHighlight = -1, FIndexOverlay = -1;
    bool FAutoSize = true;
    bool FDown = false;
    bool FToggle = false;
    bool FTransparent = false;
    bool FTransparentClicking = true;
    QColor FTransparentColor = QColor(0x80, 0x80, 0x00);  // olive
    TCaptionStyle FCaptionStyle = csNormal;
    int FOffsetDown = 0;
    int FOffsetOverlay = 4;
    int FOffsetText = 0;
    int FOffsetTextDown = 0;
    bool FEnabled = true;
    QString FCaption;
    QColor FColor = QColor(0xF0, 0xF0, 0xF0);  // the system's face colour
    QColor FFontColor = Qt::black;
    Lumora::TAlign FAlign = Lumora::alNone;
    bool FMouseInside = false;
    bool FPressed = false;
    TButtonState FState = bsUp;
};
