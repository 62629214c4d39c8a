#pragma once
// The shared windows made at start: the status window of printing (TStatus)
// and the progress window of the install and the upload (TProgressFrm).
#include <QSize>

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;
class THv3dProgressBar;

struct TStatusForm {
    QWidget* ClientPanel = nullptr;
    QLabel* JobLabel = nullptr;
    QWidget* ProgressPanel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QWidget* ButtonPanel = nullptr;
    QPushButton* Cancel = nullptr;
};
// Client 371 x 89: the job text, the bar (23 high) and the Cancel row (33 high).
void BuildStatusForm(QWidget* form, TStatusForm& f);
// Places the parts for a client size; hidden panels give their height to the text.
void LayoutStatusForm(TStatusForm& f, QSize client);

struct TProgressForm {
    QLabel* JobLabel = nullptr;
    THv3dProgressBar* Bar = nullptr;
    QPushButton* CancelButton = nullptr;
};
// Client 431 x 118, a framed bevel around the text and the 3D bar.
void BuildProgressForm(QWidget* form, TProgressForm& f);
