// BringToFront on the offscreen platform: the window comes back from wherever
// it was and takes the focus from the program's other window.
#include "shell/foreground.h"
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <functional>

namespace {

struct TStart {
    const char* Name;
    std::function<void(QWidget&)> Put;
    Qt::WindowStates After;
};

} // namespace

TEST(BringToFront, RestoresShowsRaisesAndActivates) {
    const TStart starts[] = {
        {"minimised", [](QWidget& w) { w.showMinimized(); }, Qt::WindowActive},
        {"maximised, then minimised",
         [](QWidget& w) {
             w.showMaximized();
             w.setWindowState(w.windowState() | Qt::WindowMinimized);
         },
         Qt::WindowMaximized | Qt::WindowActive},
        {"hidden", [](QWidget& w) { w.hide(); }, Qt::WindowActive},
        {"behind another", [](QWidget& w) { w.show(); }, Qt::WindowActive},
    };
    for (const TStart& start : starts) {
        SCOPED_TRACE(start.Name);
        QWidget window, other;
        window.resize(200, 100);
        other.resize(100, 50);
        start.Put(window);
        other.show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        BringToFront(&window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(window.isMinimized());
        EXPECT_EQ(window.windowState() & ~Qt::WindowActive, start.After & ~Qt::WindowActive);
    }
    BringToFront(nullptr);  // nothing to bring
}

TEST(BringToFront, AChildBringsItsWindow) {
    QWidget window;
    auto* child = new QWidget(&window);
    window.showMinimized();
    BringToFront(child);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_FALSE(window.isMinimized());
}
