#pragma once
// TStatus: the status window of printing (job text, bar, Cancel). Shows may
// nest; the window hides at the matching EndStatus. While it shows, the
// program's other windows are disabled, and it refuses to be closed by the
// user. Long work on the main thread calls SetProgress and IsCancelled, which
// let pending events run so that Cancel is noticed.
#include "forms/statusform.h"
#include <QPointer>
#include <QWidget>
#include <functional>

enum TStatusOption {
    soCancelButton = 1,
    soProgressBar = 2,
    soTwoMoreLines = 4,
    soLeftText = 8,
    soMoreLines = 16,
};

class TStatus : public QWidget {
    Q_OBJECT
public:
    explicit TStatus(QWidget* parent = nullptr);

    void ShowStatus(int options, const QString& caption);
    void EndStatus();
    void SetJobText(const QString& text);
    QString GetJobText() const;
    void SetProgress(int position);
    bool IsCancelled();
    void CancelClick();

    // Called when Cancel is pressed; Cancel may be set back to false.
    std::function<void(TStatus* sender, bool& cancel)> OnCancel;
    bool Cancelled = false;
    int ShowCount = 0;
    bool KeepTaskWindows = false;
    TStatusForm Form;

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitLabel();
    int FBaseHeight = 0, FButtonBase = 0, FProgressBase = 0, FLabelBase = 0;
    Qt::Alignment FSavedAlignment;
    QList<QPointer<QWidget>> FTaskWindows;
};

// The shared progress window of the install and the upload: a job line, the
// 3D bar and Cancel.
class TProgressFrm : public QWidget {
    Q_OBJECT
public:
    explicit TProgressFrm(QWidget* parent = nullptr);

    void StartProgress(const QString& text);
    void SetJob(const QString& text);
    void SetBarProgress(int position);
    void ShowBar(bool visible);
    void FinishProgress();
    void CancelButtonClick();

    bool Cancelled = false;
    std::function<void()> OnCancel;
    TProgressForm Form;
};

// The two windows of the program's life, made at start after the main window.
TStatus* Status();
TProgressFrm* ProgressFrm();
void CreateSharedWindows();
void FreeSharedWindows();
