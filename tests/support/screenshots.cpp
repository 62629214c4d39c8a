#include "support/screenshots.h"
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QWidget>

bool SaveScreenshot(QWidget& widget, const QString& name) {
    const QString dir = QStringLiteral(LUMORA_SCREENSHOT_DIR);
    if (!QDir().mkpath(dir)) return false;
    return widget.grab().save(dir + "/" + name + ".png", "PNG");
}

bool SaveImageScreenshot(const QImage& image, const QString& name) {
    const QString dir = QStringLiteral(LUMORA_SCREENSHOT_DIR);
    if (!QDir().mkpath(dir)) return false;
    return image.save(dir + "/" + name + ".png", "PNG");
}
