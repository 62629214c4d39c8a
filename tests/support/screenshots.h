#pragma once
#include <QString>

class QImage;
class QWidget;

// Saves Widget as it looks now (QWidget::grab) to
// <build>/screenshots/<Name>.png for people to look at; false when it could
// not be written. Names say window and state, e.g. "icon-container".
bool SaveScreenshot(QWidget& widget, const QString& name);
// The same for a picture made otherwise (a printed page rendered, say).
bool SaveImageScreenshot(const QImage& image, const QString& name);
