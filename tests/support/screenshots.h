#pragma once
#include <QString>
#include <QtGlobal>

class QImage;
class QWidget;

// Saves Widget as it looks now (QWidget::grab) to
// <build>/screenshots/<Name>.png for people to look at; false when it could
// not be written. Names say window and state, e.g. "icon-container". On a
// screen of a device pixel ratio above 1 (the tests run again with
// QT_SCALE_FACTOR=2, see tests/CMakeLists.txt) the picture has that many
// pixels per logical one and its name ends in "-2x".
bool SaveScreenshot(QWidget& widget, const QString& name);
// The same for a picture made otherwise (a printed page rendered, say); its
// own device pixel ratio names it.
bool SaveImageScreenshot(const QImage& image, const QString& name);
// "-2x" for a ratio of 2, empty for 1.
QString DensitySuffix(qreal ratio);
