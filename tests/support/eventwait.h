#pragma once
// Waiting in tests the way the program waits: the main thread keeps
// processing its events, so hand-overs from worker threads arrive.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <thread>

// Processes events until Done is true; false after TimeoutMs.
template <typename F>
bool ProcessUntil(F done, int timeoutMs = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Processes events for Ms milliseconds: for "nothing more happens".
inline void ProcessFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    ProcessUntil([&] { return clock.elapsed() >= ms; });
}
