#pragma once
#include <QString>

class QWidget;

// Saves Widget as it looks now (QWidget::grab) to
// <build>/screenshots/<Name>.png for people to look at; false when it could
// not be written. Names say window and state, e.g. "icon-container".
bool SaveScreenshot(QWidget& widget, const QString& name);
