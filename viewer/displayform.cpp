#include "viewer/displayform.h"
#include "collection/roll.h"
#include "shell/customize.h"
#include "shell/messages.h"
#include "shell/pictures.h"
#include "shell/startup.h"
#include "shell/strings.h"
#include "shell/tracelog.h"
#include "viewer/fullviewgeometry.h"
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <cstdlib>

bool ShowStopped = false;

TDisplayForm::TDisplayForm(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), FGenerator(std::random_device{}()) {
    setObjectName(QStringLiteral("DisplayForm"));
    setWindowTitle(ResString(TStr::SlideshowCaption));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    DelayTimer = new QTimer(this);
    DelayTimer->setObjectName(QStringLiteral("DelayTimer"));
    DelayTimer->setSingleShot(true);
    connect(DelayTimer, &QTimer::timeout, this, &TDisplayForm::DelayTimerTimer);
    Random = [this](int bound) { return std::uniform_int_distribution<int>(0, std::max(bound, 1) - 1)(FGenerator); };
    SlideStyle = AppState().SlideshowCollage ? 3 : 0;
    FixupForm(this);
    // The whole screen, black.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
    PrevRect = rect();
    StartPos = QCursor::pos();
    ShowStopped = false;
    ShowCursor(false);
    QCoreApplication::processEvents();
}

TDisplayForm::~TDisplayForm() { ShowCursor(true); }

void TDisplayForm::ShowCursor(bool shown) {
    if (shown == CursorShown) return;
    CursorShown = shown;
    if (shown)
        QApplication::restoreOverrideCursor();
    else
        QApplication::setOverrideCursor(Qt::BlankCursor);
}

void TDisplayForm::RunShow(TRoll* roll) {
    Roll = roll;
    QCoreApplication::processEvents();
    exec();
}

void TDisplayForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FitCanvas();
}

QRect TDisplayForm::ToCanvas(const QRect& area) const {
    const qreal ratio = FCanvasRatio;
    return QRectF(area.x() * ratio, area.y() * ratio, area.width() * ratio, area.height() * ratio).toAlignedRect();
}

void TDisplayForm::FitCanvas() {
    // The canvas has a pixel for each of the screen's: photos and their
    // transitions are painted in device pixels, once.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = ToCanvasSize(size(), ratio);
    if (FCanvas.size() == pixels && FCanvasRatio == ratio) return;
    QImage canvas(pixels, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    if (!FCanvas.isNull()) {
        QPainter painter(&canvas);
        if (ratio == FCanvasRatio)
            painter.drawImage(0, 0, FCanvas);
        else
            painter.drawImage(QRect(QPoint(0, 0), pixels), FCanvas);
    }
    FCanvas = canvas;
    FCanvasRatio = ratio;
}

void TDisplayForm::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRectF area(event->rect()), pixels(ToCanvas(event->rect()));
    if (!DrawPixelForPixel(painter, area, FCanvas, pixels)) painter.drawImage(area, FCanvas, pixels);
}

void TDisplayForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (FShownOnce) return;
    FShownOnce = true;
    if (Closing) {
        QTimer::singleShot(0, this, &QDialog::close);
        return;
    }
    StartPos = QCursor::pos();
    if (Roll && Roll->Count() > 0) {
        DelayTimer->setInterval(1);
        DelayTimer->start();
        QCoreApplication::processEvents();
        return;
    }
    ShowCursor(true);
    WarningBox(ResString(TStr::NoImageFilesForRoll));
    Closing = true;
    QTimer::singleShot(0, this, &QDialog::close);
}

void TDisplayForm::DelayTimerTimer() {
    DelayTimer->stop();
    if (!Started) {
        DelayTimer->setInterval(SlideDelayMs(AppState().SSInterval));
        Started = true;
    }
    if (StopRequested) {
        Stop();
        return;
    }
    if (!Roll || Roll->Count() == 0) return;
    // The window's size may not have reached the canvas yet (a window not shown).
    FitCanvas();
    if (NextIndex >= Roll->Count()) NextIndex = 0;  // the show loops
    CurrentSlide = Roll->Items(NextIndex);
    ++NextIndex;
    if (QFileInfo(CurrentSlide->FullPath()).isFile()) {
        try {
            const QRect area = rect();
            QRect slide;
            std::unique_ptr<TIEBitmap> sharper = SharperSlide(*CurrentSlide, area.size(), slide);
            TIEBitmap* bitmap = sharper ? sharper.get() : CurrentSlide->GetImage();
            if (!sharper) slide = SlideRect(bitmap->GetSize(), area.size(), SlideStyle == 3, Random);
            const int effect = ChooseTransitionEffect([this](int bound) { return Random(bound); });
            if (SlideStyle != 3) {
                // The previous photo goes: black from its top-left corner to the window's edges.
                QPainter(&FCanvas).fillRect(ToCanvas(QRect(PrevRect.topLeft(), area.bottomRight())), Qt::black);
                update();
            }
            TTransitionHooks hooks;
            hooks.StopCheck = [this] { return StopCheck(); };
            hooks.Present = [this](const QRect& changed) { repaint(FromCanvas(changed)); };
            hooks.Clock = Clock;
            PaintTransition(FCanvas, ToCanvas(slide), *bitmap, effect, hooks);
            update(slide);
            PrevRect = slide;
        } catch (const EError& e) {
            // A photo that cannot be shown is skipped for this step.
            TraceLog::WarningMsg(QStringLiteral("Slideshow skipped %1: %2").arg(CurrentSlide->FileName, e.Message()));
        }
        CurrentSlide->ResetZoom();
    }
    if (!Closing && !ShowStopped && !StopRequested)
        DelayTimer->start();
    else
        QCoreApplication::processEvents();
    if (StopRequested && !Closing) Stop();
}

QRect TDisplayForm::FromCanvas(const QRect& pixels) const {
    const qreal ratio = FCanvasRatio;
    return QRectF(pixels.x() / ratio, pixels.y() / ratio, pixels.width() / ratio, pixels.height() / ratio)
        .toAlignedRect();
}

std::unique_ptr<TIEBitmap> TDisplayForm::SharperSlide(TMedia& photo, QSize area, QRect& slide) {
    const qreal ratio = FCanvasRatio;
    const QStringList sharper = photo.SharperPaths();
    if (ratio <= 1.0 || sharper.isEmpty()) return nullptr;
    // Placed by the photo's own picture, as at ratio 1; read from the first
    // size folder that gives the slide a pixel for each of its device pixels.
    const bool across = photo.Rotation % 180 != 0;
    QList<QSize> sizes;
    for (const QString& path : QStringList{photo.FullPath()} + sharper) {
        FILEINFO info;
        const QSize size = L_FileInfo(path, &info, 0) == SUCCESS ? QSize(info.Width, info.Height) : QSize();
        sizes << (across ? size.transposed() : size);
    }
    if (sizes.first().isEmpty()) return nullptr;
    slide = SlideRect(sizes.first(), area, SlideStyle == 3, Random);
    const int index = TFullViewGeometry::SharperSizeIndex(sizes, area, slide.size(), ratio);
    if (index == 0) return nullptr;
    auto bitmap = TIEBitmap::CreateFromFile(sharper[index - 1], ColorModeOwnDepth);
    if (photo.Rotation % 360 != 0) bitmap->Rotate(photo.Rotation);
    return bitmap;
}

bool TDisplayForm::MovedTooFar(QPoint cursor) const {
    return std::abs(cursor.x() - StartPos.x()) >= SlideStopDistance ||
           std::abs(cursor.y() - StartPos.y()) >= SlideStopDistance;
}

bool TDisplayForm::StopCheck() {
    if (StopRequested) return false;
    // Input that arrived meanwhile is looked at now (keys and buttons stop
    // the show through their handlers).
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    if (StopRequested) {
        ShowStopped = true;
        return false;
    }
    if (MovedTooFar(QCursor::pos())) {
        StopRequested = true;
        return false;
    }
    if (QGuiApplication::mouseButtons() & (Qt::LeftButton | Qt::RightButton)) {
        StopRequested = true;
        ShowStopped = true;
        return false;
    }
    return true;
}

void TDisplayForm::mouseMoveEvent(QMouseEvent* event) {
    if (Started && MovedTooFar(event->globalPosition().toPoint())) {
        StopRequested = true;
        Stop();
    }
}

void TDisplayForm::mousePressEvent(QMouseEvent*) {
    StopRequested = true;
    Stop();
}

void TDisplayForm::keyPressEvent(QKeyEvent* event) {
    // A key that was already down when the show began only repeats; any
    // fresh press stops the show.
    if (event->isAutoRepeat()) return;
    StopRequested = true;
    Stop();
}

void TDisplayForm::Stop() {
    DelayTimer->stop();
    ShowCursor(true);
    if (!Closing) {
        QCoreApplication::processEvents();
        Closing = true;
    }
    // Also when the show was stopped before its window came up: the window
    // closes as soon as it shows (see showEvent).
    close();
}

void TDisplayForm::closeEvent(QCloseEvent* event) {
    NextIndex = 0;
    ShowCursor(true);
    DelayTimer->stop();
    Closing = true;
    QDialog::closeEvent(event);
}
