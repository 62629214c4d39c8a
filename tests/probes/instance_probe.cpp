// A small program around the real single-instance guard, started several
// times over by the guard tests. It parses its arguments as the program does
// ("I", "R:roll"), runs the check, makes a window and reports on stdout:
//   ready guard=<0|1> minimized=<0|1> active=<0|1>
//   show minimized=<0|1> visible=<0|1> active=<0|1>   each time it was raised
//   roll <name>                                       each roll asked for
//   broadcast <message>
// Commands on stdin: "count" answers "shows <n>"; "quit" (or the end of
// stdin) closes the window and the guard and answers "guard ended in <ms> ms".
// Options: --minimized starts the window minimised, --trace switches the
// trace log on (to stderr). A second copy ends inside the check and prints
// nothing.
#include "shell/broadcast.h"
#include "shell/foreground.h"
#include "shell/instanceguard.h"
#include "shell/startup.h"
#include "shell/tracelog.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <unistd.h>

namespace {

void Say(const QString& line) {
    std::fputs((line + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QString State(const char* what, const QWidget& w) {
    return QStringLiteral("%1 minimized=%2 visible=%3 active=%4")
        .arg(QLatin1String(what))
        .arg(int(w.isMinimized()))
        .arg(int(w.isVisible()))
        .arg(int(w.isActiveWindow()));
}

// Window activation arrives through the platform's event queue.
void Settle(const QWidget& w, bool active) {
    QElapsedTimer clock;
    clock.start();
    while (w.isActiveWindow() != active && clock.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        usleep(5000);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.contains(QLatin1String("--trace"))) {
        TraceLog::SetMasterSwitch(true);
        TraceLog::SetLevelMask(0xFD);  // everything but the push and pop lines
    }
    ParseCommandLine(args, AppState());
    if (AppState().InstanceMode) LookForPreviousInstance();

    QWidget window;
    window.setWindowTitle(QStringLiteral("instance probe"));
    window.resize(240, 120);
    // Another window takes the focus, so being raised is something to see.
    QWidget other;
    other.setWindowTitle(QStringLiteral("other"));
    other.resize(120, 60);
    if (args.contains(QLatin1String("--minimized")))
        window.showMinimized();
    else
        window.show();
    other.show();
    other.activateWindow();
    Settle(other, true);

    int shows = 0;
    SetBroadcastListener([](const QString& message) { Say(QStringLiteral("broadcast ") + message); });
    RegisterInstanceHandlers({&window,
                              [&] {
                                  ++shows;
                                  BringToFront(&window);
                                  Settle(window, true);
                                  Say(State("show", window));
                              },
                              [](const QString& roll) {
                                  Say(QStringLiteral("roll ") + roll);
                                  return roll != QLatin1String("Nowhere");
                              }});

    auto quit = [&] {
        window.close();
        QElapsedTimer clock;
        clock.start();
        DestroyPreviousInstance();
        Say(QStringLiteral("guard ended in %1 ms").arg(clock.elapsed()));
        app.quit();
    };
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            quit();
            return;
        }
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray command = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (command == "count") Say(QStringLiteral("shows %1").arg(shows));
            if (command == "quit") {
                input.setEnabled(false);
                quit();
                return;
            }
        }
    });

    Say(QStringLiteral("ready guard=%1 minimized=%2 active=%3")
            .arg(int(PreviousInstanceGuard() != nullptr))
            .arg(int(window.isMinimized()))
            .arg(int(window.isActiveWindow())));
    return app.exec();
}
