#pragma once
// Message boxes. Every box of the program goes through ShowMessageBox: the
// caption is the application title (the program file's name without its
// extension when there is none), the owner is the active window when it is
// showing, else the main window when it is showing, else none, and the box is
// modal to the whole program meanwhile. Information, warning and error texts
// also go to the trace log (levels 3, 4 and 5).
#include <QMessageBox>
#include <QString>
#include <QVariantList>
#include <functional>

class QWidget;

enum class TMessageIcon { Information, Warning, Error, Question };

// What a box shows; a recorder installed by tests gets it instead of a box.
struct TMessageBoxRequest {
    QString Caption;
    QString Text;
    TMessageIcon Icon = TMessageIcon::Information;
    QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
    QWidget* Owner = nullptr;
};
// Answers with the button "pressed".
using TMessageBoxRecorder = std::function<QMessageBox::StandardButton(const TMessageBoxRequest&)>;
// Tests install one (nullptr puts the real boxes back).
void SetMessageBoxRecorder(TMessageBoxRecorder recorder);

// The main window, for the owner rule (nullptr when it goes).
void SetMessageBoxMainWindow(QWidget* window);

// The pressed button.
QMessageBox::StandardButton ShowMessageBox(const QString& text, TMessageIcon icon,
                                           QMessageBox::StandardButtons buttons);

// Text is a template filled by FormatText with Args.
void InfoBox(const QString& text, const QVariantList& args = {});
void WarningBox(const QString& text, const QVariantList& args = {});
void ErrorBox(const QString& text, const QVariantList& args = {});
// OK and Cancel; true for OK.
bool AskBox(const QString& text, TMessageIcon icon, const QVariantList& args = {});
