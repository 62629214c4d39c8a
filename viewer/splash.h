#pragma once
// The splash window: the skin's picture "0098" (group Custom), borderless,
// above the other windows, in the middle of the screen, closed by its timer.
#include <QImage>
#include <QTimer>
#include <QWidget>

class TSplashScreen : public QWidget {
    Q_OBJECT
public:
    explicit TSplashScreen(QWidget* parent = nullptr);
    QTimer Timer;
    QImage Image;
    QImage SharpImage;  // twice Image's size, for screens of a ratio above 1; null when none

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

// Shows the splash for Seconds and returns at once; the window frees itself.
TSplashScreen* ShowSplash(int seconds);
