#include "shell/messages.h"
#include "shell/customize.h"
#include "shell/tracelog.h"
#include <QApplication>
#include <QFileInfo>
#include <QPointer>

namespace {

TMessageBoxRecorder& Recorder() {
    static TMessageBoxRecorder recorder;
    return recorder;
}

QPointer<QWidget>& MainWindow() {
    static QPointer<QWidget> window;
    return window;
}

QString Caption() {
    const QString title = ApplicationTitle();
    if (!title.isEmpty()) return title;
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QWidget* Owner() {
    QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible()) return active;
    QWidget* main = MainWindow();
    if (main && main->isVisible()) return main;
    return nullptr;
}

QMessageBox::Icon BoxIcon(TMessageIcon icon) {
    switch (icon) {
    case TMessageIcon::Warning: return QMessageBox::Warning;
    case TMessageIcon::Error: return QMessageBox::Critical;
    case TMessageIcon::Question: return QMessageBox::Question;
    case TMessageIcon::Information: break;
    }
    return QMessageBox::Information;
}

} // namespace

void SetMessageBoxRecorder(TMessageBoxRecorder recorder) { Recorder() = std::move(recorder); }

void SetMessageBoxMainWindow(QWidget* window) { MainWindow() = window; }

QMessageBox::StandardButton ShowMessageBox(const QString& text, TMessageIcon icon,
                                           QMessageBox::StandardButtons buttons) {
    TMessageBoxRequest request{Caption(), text, icon, buttons, Owner()};
    if (const TMessageBoxRecorder& recorder = Recorder()) return recorder(request);
    // Without an owner the box is still modal to every window of the program.
    QMessageBox box(BoxIcon(icon), request.Caption, text, buttons, request.Owner);
    box.setWindowModality(Qt::ApplicationModal);
    return QMessageBox::StandardButton(box.exec());
}

void InfoBox(const QString& text, const QVariantList& args) {
    const QString shown = FormatText(text, args);
    TraceLog::InfoMsg(shown);
    ShowMessageBox(shown, TMessageIcon::Information, QMessageBox::Ok);
}

void WarningBox(const QString& text, const QVariantList& args) {
    const QString shown = FormatText(text, args);
    TraceLog::WarningMsg(shown);
    ShowMessageBox(shown, TMessageIcon::Warning, QMessageBox::Ok);
}

void ErrorBox(const QString& text, const QVariantList& args) {
    const QString shown = FormatText(text, args);
    TraceLog::SevereMsg(shown);
    ShowMessageBox(shown, TMessageIcon::Error, QMessageBox::Ok);
}

bool AskBox(const QString& text, TMessageIcon icon, const QVariantList& args) {
    return ShowMessageBox(FormatText(text, args), icon, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}
