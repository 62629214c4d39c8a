#pragma once
// The application object. Errors that reach the event loop (an EError raised
// by a click handler, say) are shown in the standard error box instead of
// ending the program; the handler simply stops where it was.
#include <QApplication>

class TLumoraApplication : public QApplication {
    Q_OBJECT
public:
    TLumoraApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // The box for an error no handler took; tests watch it through the
    // message-box recorder.
    static void ShowUnhandledError(const QString& text);
    // An error that ends start-up: written to standard error and, unless the
    // program only prints (--list), shown in the standard error box, since a
    // disc's own viewer starts us without a terminal. Returns the exit code.
    static int StartupFailed(const QString& text, bool showBox);
};
