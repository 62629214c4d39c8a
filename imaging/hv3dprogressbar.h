#pragma once
// THv3dProgressBar: a sunken well with a bar in it that is shaded like a lit
// cylinder. Shown while a photo loads, in the progress window and in the
// upload wizard. Painted into an off-screen picture the size of the control,
// which is then copied to the screen in one go.
#include "platform/errors.h"
#include <QColor>
#include <QImage>
#include <QPalette>
#include <QWidget>

class EProgressRangeError : public EError {
public:
    using EError::EError;
};

inline const char* const ProgressOutOfRangeText = "Progress out of range";

class THv3dProgressBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Progress READ Progress WRITE SetProgress)
    Q_PROPERTY(QColor BarColor READ BarColor WRITE SetBarColor)

public:
    explicit THv3dProgressBar(QWidget* parent = nullptr);

    int Progress() const { return FProgress; }
    // 0..100; anything else raises EProgressRangeError. A new value repaints.
    void SetProgress(int value);
    QColor BarColor() const { return FBarColor; }
    void SetBarColor(const QColor& value);

    QSize sizeHint() const override { return {150, 16}; }

    // The picture of a bar of Size at Progress (0..100) in BarColor, with the
    // frame colours of Palette; what paintEvent copies to the screen.
    static QImage Render(QSize size, int progress, const QColor& barColor, const QPalette& palette);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int FProgress = 0;
    QColor FBarColor{0, 153, 255};
    QImage FBuffer;
};
