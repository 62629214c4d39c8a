#pragma once
// Tells a window's owner when the window comes to be shown at another device
// pixel ratio: moved to a screen of another density, or its screen's ratio
// changed. Pictures that choose their density as they paint need only the
// repaint that follows; photos and thumbnails are read again for it.
#include <QObject>
#include <functional>

class QWidget;

class TDensityWatch : public QObject {
public:
    // Watches Window (which owns the watch) and calls Changed on the main
    // thread after its ratio changed.
    TDensityWatch(QWidget* window, std::function<void()> changed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Attach();
    void Check();

    QWidget* FWindow;
    std::function<void()> FChanged;
    qreal FRatio;
    bool FAttached = false;
};
