#include "support/screenshots.h"
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QWidget>

QString DensitySuffix(qreal ratio) {
    return ratio > 1.0 ? QStringLiteral("-%1x").arg(ratio) : QString();
}

bool SaveScreenshot(QWidget& widget, const QString& name) {
    const QString dir = QStringLiteral(LUMORA_SCREENSHOT_DIR);
    if (!QDir().mkpath(dir)) return false;
    return widget.grab().save(dir + "/" + name + DensitySuffix(widget.devicePixelRatioF()) + ".png", "PNG");
}

bool SaveImageScreenshot(const QImage& image, const QString& name) {
    const QString dir = QStringLiteral(LUMORA_SCREENSHOT_DIR);
    if (!QDir().mkpath(dir)) return false;
    return image.save(dir + "/" + name + DensitySuffix(image.devicePixelRatio()) + ".png", "PNG");
}
