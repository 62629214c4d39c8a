#include "shell/application.h"
#include "platform/errors.h"
#include "shell/messages.h"
#include "shell/tracelog.h"
#include <cstdio>

TLumoraApplication::TLumoraApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TLumoraApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const EError& e) {
        ShowUnhandledError(e.Message());
    } catch (const std::exception& e) {
        ShowUnhandledError(QString::fromUtf8(e.what()));
    }
    return false;
}

int TLumoraApplication::StartupFailed(const QString& text, bool showBox) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    if (showBox) ShowUnhandledError(text);
    return 1;
}

void TLumoraApplication::ShowUnhandledError(const QString& text) {
    // The text as the error carries it: no placeholders are filled.
    TraceLog::SevereMsg(QStringLiteral("Unhandled error: ") + text);
    ShowMessageBox(text, TMessageIcon::Error, QMessageBox::Ok);
}
