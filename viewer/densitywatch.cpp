#include "viewer/densitywatch.h"
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

TDensityWatch::TDensityWatch(QWidget* window, std::function<void()> changed)
    : QObject(window), FWindow(window), FChanged(std::move(changed)), FRatio(window->devicePixelRatioF()) {
    window->installEventFilter(this);
    Attach();
}

void TDensityWatch::Attach() {
    // The native window exists once the widget is shown.
    QWindow* handle = FWindow->windowHandle();
    if (FAttached || !handle) return;
    FAttached = true;
    connect(handle, &QWindow::screenChanged, this, &TDensityWatch::Check);
}

bool TDensityWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FWindow) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::WinIdChange:
            Attach();
            Check();
            break;
        case QEvent::ScreenChangeInternal:
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
        case QEvent::DevicePixelRatioChange:
#endif
            Check();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TDensityWatch::Check() {
    const qreal ratio = FWindow->devicePixelRatioF();
    if (ratio == FRatio) return;
    FRatio = ratio;
    if (FChanged) FChanged();
}
