#pragma once
// TDisplayForm: the slideshow. Every photo of a roll, one after another, full
// screen on black, each painted in with a transition effect chosen at random,
// in plain style (the previous photo erased) or collage style (photos at
// random places, half of them at half size, piling up). It loops until the
// mouse moves 6 pixels or more, a button is pressed or a key that was not
// already down when the show began.
#include "viewer/slideshowlogic.h"
#include "viewer/transitions.h"
#include <QDialog>
#include <QImage>
#include <QTimer>
#include <cmath>
#include <memory>
#include <random>

class TRoll;
class TMedia;
class TIEBitmap;

// Set when the user stopped a show during a transition; cleared when a show starts.
extern bool ShowStopped;

class TDisplayForm : public QDialog {
    Q_OBJECT
public:
    explicit TDisplayForm(QWidget* parent = nullptr);
    ~TDisplayForm() override;

    // Shows the roll's photos until the user stops the show.
    void RunShow(TRoll* roll);

    TRoll* Roll = nullptr;
    uint8_t SlideStyle = 0;  // 0 plain, 3 collage
    int NextIndex = 0;
    TMedia* CurrentSlide = nullptr;
    QRect PrevRect;
    QPoint StartPos;
    bool Started = false;
    bool StopRequested = false;
    bool Closing = false;
    bool CursorShown = true;
    QTimer* DelayTimer = nullptr;

    // Tests: a frame clock that does not wait, and a fixed random source.
    TFrameClock* Clock = nullptr;
    TSlideRandom Random;
    // What the window shows, a pixel for each of the screen's device pixels.
    const QImage& Canvas() const { return FCanvas; }
    // One step of the show (the timer's handler).
    void DelayTimerTimer();
    // Asked between the steps of a transition: false stops it.
    bool StopCheck();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Stop();
    bool MovedTooFar(QPoint cursor) const;
    void ShowCursor(bool shown);
    // The canvas at the window's size in device pixels, keeping what it shows.
    void FitCanvas();
    // A rectangle of the window in the canvas's pixels, and back (outward).
    QRect ToCanvas(const QRect& area) const;
    QRect FromCanvas(const QRect& pixels) const;
    static QSize ToCanvasSize(QSize size, qreal ratio) {
        return QSize(int(std::ceil(size.width() * ratio)), int(std::ceil(size.height() * ratio)));
    }
    // On a screen of a ratio above 1, the photo read from a larger size
    // folder so the slide has a pixel for each device pixel, and Slide set;
    // none when its own picture serves (always at ratio 1).
    std::unique_ptr<TIEBitmap> SharperSlide(TMedia& photo, QSize area, QRect& slide);

    QImage FCanvas;
    qreal FCanvasRatio = 1.0;
    std::mt19937 FGenerator;
    bool FShownOnce = false;
};
