#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstdlib>

// Every test program runs with a QApplication on the offscreen platform and
// with its own XDG_CONFIG_HOME and XDG_CACHE_HOME, so nothing a test does
// reaches the real per-user settings or caches.
int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
#ifdef LUMORA_SCREENSHOT_DEFAULT
    if (!std::getenv("LUMORA_SCREENSHOT_DIR")) setenv("LUMORA_SCREENSHOT_DIR", LUMORA_SCREENSHOT_DEFAULT, 1);
#endif
    QTemporaryDir configHome;
    setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);
    setenv("XDG_CACHE_HOME", configHome.path().toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", configHome.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
