#include "viewer/splash.h"
#include "platform/errors.h"
#include "shell/customize.h"
#include "shell/pictures.h"
#include "shell/skin.h"
#include "shell/tracelog.h"
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <memory>

TSplashScreen::TSplashScreen(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("SplashScreen"));
    setAttribute(Qt::WA_DeleteOnClose);
    try {
        const TSkinPicture picture = GetSkinPicture(CustomGroup, "0098");
        Image = picture.Image;
        SharpImage = picture.Sharp;
    } catch (const EError& e) {
        TraceLog::WarningMsg(QStringLiteral("No splash picture: ") + e.Message());
    }
    resize(Image.isNull() ? QSize(1, 1) : Image.size());
    Timer.setSingleShot(true);
    connect(&Timer, &QTimer::timeout, this, &QWidget::close);
}

void TSplashScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!Image.isNull()) DrawDensityImage(painter, QPointF(0, 0), Image, SharpImage);
}

void TSplashScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Timer.start();
}

TSplashScreen* ShowSplash(int seconds) {
    auto owned = std::make_unique<TSplashScreen>();
    FixupForm(owned.get());
    if (owned->Image.isNull()) return nullptr;
    // Once shown, the window frees itself when its timer closes it.
    TSplashScreen* splash = owned.release();
    splash->Timer.setInterval(seconds * 1000);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        splash->move(area.x() + (area.width() - splash->width()) / 2, area.y() + (area.height() - splash->height()) / 2);
    }
    splash->show();
    splash->repaint();
    return splash;
}
