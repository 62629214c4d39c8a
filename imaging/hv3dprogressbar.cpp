#include "imaging/hv3dprogressbar.h"
#include "platform/rounding.h"
#include <QPainter>
#include <algorithm>

THv3dProgressBar::THv3dProgressBar(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted from the off-screen picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void THv3dProgressBar::SetProgress(int value) {
    if (value == FProgress) return;
    if (value < 0 || value > 100) throw EProgressRangeError(QString::fromLatin1(ProgressOutOfRangeText));
    FProgress = value;
    update();
}

void THv3dProgressBar::SetBarColor(const QColor& value) {
    if (value == FBarColor) return;
    FBarColor = value;
    update();
}

QImage THv3dProgressBar::Render(QSize size, int progress, const QColor& barColor,
                                const QPalette& palette) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return image;
    const int w = size.width(), h = size.height();
    QPainter canvas(&image);
    // Whole pixels only: every line lands on one row or column, crisp.
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.fillRect(image.rect(), Qt::white);
    // Sunken frame: shadow on the left and top, light on the right and
    // bottom, then a dark line all round one pixel inside.
    canvas.fillRect(QRect(0, 0, w, 1), QColor(128, 128, 128));
    canvas.fillRect(QRect(0, 0, 1, h), QColor(128, 128, 128));
    const QColor light = palette.color(QPalette::Active, QPalette::Midlight);
    canvas.fillRect(QRect(w - 1, 1, 1, h - 1), light);
    canvas.fillRect(QRect(1, h - 1, w - 1, 1), light);
    if (w > 2 && h > 2) {
        canvas.setPen(palette.color(QPalette::Active, QPalette::Shadow));
        canvas.setBrush(Qt::NoBrush);
        canvas.drawRect(QRect(1, 1, w - 3, h - 3));
    }
    // The bar: L columns from the left of the interior, the last of them a
    // black line closing it. It may reach over the inner frame line at 100
    // percent but never over the outer edge.
    const int interiorHeight = h - 4;
    int length = progress > 0 ? int(RoundHalfEven(w * progress * 0.01)) - 3 : 0;
    length = std::min(length, w - 3);
    if (length > 0 && interiorHeight > 0) {
        // A bar one line high has no upper half to divide the colour over:
        // its one line darkens from black, so it stays black.
        const int half = std::max(interiorHeight / 2, 1);
        const auto stepOf = [half](int channel) { return std::clamp(channel / half, 0, 255); };
        const int stepR = stepOf(barColor.red()), stepG = stepOf(barColor.green()),
                  stepB = stepOf(barColor.blue());
        int r = 0, g = 0, b = 0;
        // Light falls on the middle: from black, each line of the upper half
        // is one step brighter (the first line already), each line of the
        // lower half one step darker, down to black at the bottom.
        for (int line = 0; line < interiorHeight; ++line) {
            if (line < interiorHeight / 2) {
                r = std::min(r + stepR, 255);
                g = std::min(g + stepG, 255);
                b = std::min(b + stepB, 255);
            } else {
                r = std::max(r - stepR, 0);
                g = std::max(g - stepG, 0);
                b = std::max(b - stepB, 0);
            }
            canvas.fillRect(QRect(2, 2 + line, length - 1, 1), QColor(r, g, b));
        }
        canvas.fillRect(QRect(2 + length - 1, 2, 1, interiorHeight), Qt::black);
    }
    return image;
}

void THv3dProgressBar::paintEvent(QPaintEvent*) {
    FBuffer = Render(size(), FProgress, FBarColor, palette());
    QPainter painter(this);
    painter.drawImage(0, 0, FBuffer);
}
