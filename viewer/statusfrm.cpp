#include "viewer/statusfrm.h"
#include "imaging/hv3dprogressbar.h"
#include "shell/customize.h"
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <cmath>
#include <memory>

TStatus::TStatus(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    BuildStatusForm(this, Form);
    FixupForm(this);
    setWindowTitle(ApplicationTitle());
    connect(Form.Cancel, &QPushButton::clicked, this, &TStatus::CancelClick);
    FBaseHeight = height();
    FButtonBase = Form.ButtonPanel->height();
    FProgressBase = Form.ProgressPanel->height();
    FLabelBase = Form.JobLabel->fontMetrics().height();
    FSavedAlignment = Form.JobLabel->alignment();
}

void TStatus::ShowStatus(int options, const QString& caption) {
    const int centre = y() + height() / 2;
    Form.ButtonPanel->setVisible(options & soCancelButton);
    Form.ProgressPanel->setVisible(options & soProgressBar);
    LayoutStatusForm(Form, size());
    int target = FBaseHeight;
    if (!(options & soCancelButton)) target -= FButtonBase;
    if (!(options & soProgressBar)) target -= FProgressBase;
    if (options & soTwoMoreLines) target += int(std::lround(2 * FLabelBase));
    if (options & soMoreLines) target += int(std::lround(3.5 * FLabelBase));
    Form.JobLabel->setAlignment(options & soLeftText ? (Qt::AlignLeft | Qt::AlignVCenter) : FSavedAlignment);
    setWindowTitle(caption.isEmpty() ? ApplicationTitle() : caption);
    Form.ProgressBar->setRange(0, 100);
    Form.ProgressBar->setValue(0);
    Cancelled = false;
    if (!isVisible()) {
        ShowCount = 0;
        resize(width(), target);
    } else if (target > height()) {
        // A showing window grows about its centre and never shrinks here.
        setGeometry(x(), centre - target / 2, width(), target);
    }
    if (++ShowCount > 1) {
        update();
        return;
    }
    FitLabel();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    OnCancel = nullptr;
    if (!KeepTaskWindows) {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != this && window->isVisible() && window->isEnabled()) {
                window->setEnabled(false);
                FTaskWindows << window;
            }
    }
    show();
    raise();
    if (QApplication::activeWindow()) activateWindow();
    QCoreApplication::processEvents();
}

void TStatus::EndStatus() {
    if (ShowCount <= 0) return;
    if (--ShowCount > 0) return;
    for (const QPointer<QWidget>& window : FTaskWindows)
        if (window) window->setEnabled(true);
    FTaskWindows.clear();
    hide();
}

void TStatus::SetJobText(const QString& text) {
    if (Form.JobLabel->text() != text) {
        Form.JobLabel->setText(text);
        FitLabel();
    }
    QCoreApplication::processEvents();
}

QString TStatus::GetJobText() const { return Form.JobLabel->text(); }

void TStatus::SetProgress(int position) {
    Form.ProgressBar->setValue(std::clamp(position, 0, 100));
    QCoreApplication::processEvents();
}

bool TStatus::IsCancelled() {
    QCoreApplication::processEvents();
    return Cancelled;
}

void TStatus::CancelClick() {
    Cancelled = true;
    if (OnCancel) OnCancel(this, Cancelled);
}

void TStatus::FitLabel() {
    if (ShowCount <= 0) return;
    QLabel* label = Form.JobLabel;
    LayoutStatusForm(Form, size());
    const int needed = label->heightForWidth(label->width());
    if (needed > label->height()) {
        const int grow = needed - label->height();
        const int centre = y() + height() / 2;
        const int newHeight = height() + grow;
        setGeometry(x(), centre - newHeight / 2, width(), newHeight);
    }
}

void TStatus::closeEvent(QCloseEvent* event) {
    // Only EndStatus hides it.
    if (isVisible() && ShowCount > 0) event->ignore();
    else event->accept();
}

void TStatus::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutStatusForm(Form, size());
}

void TStatus::hideEvent(QHideEvent* event) {
    OnCancel = nullptr;
    KeepTaskWindows = false;
    QWidget::hideEvent(event);
}

TProgressFrm::TProgressFrm(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    BuildProgressForm(this, Form);
    FixupForm(this);
    setWindowTitle(ApplicationTitle());
    Form.Bar->SetProgress(0);
    connect(Form.CancelButton, &QPushButton::clicked, this, &TProgressFrm::CancelButtonClick);
}

void TProgressFrm::StartProgress(const QString& text) {
    Cancelled = false;
    SetJob(text);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    show();
    repaint();
}

void TProgressFrm::SetJob(const QString& text) {
    Cancelled = false;
    Form.JobLabel->setText(text);
    Form.JobLabel->repaint();
}

void TProgressFrm::SetBarProgress(int position) {
    Form.Bar->SetProgress(std::clamp(position, 0, 100));
    Form.Bar->repaint();
}

void TProgressFrm::ShowBar(bool visible) { Form.Bar->setVisible(visible); }

void TProgressFrm::FinishProgress() { hide(); }

void TProgressFrm::CancelButtonClick() {
    Cancelled = true;
    if (OnCancel) OnCancel();
}

namespace {
std::unique_ptr<TStatus>& StatusSlot() {
    static std::unique_ptr<TStatus> status;
    return status;
}
std::unique_ptr<TProgressFrm>& ProgressSlot() {
    static std::unique_ptr<TProgressFrm> progress;
    return progress;
}
} // namespace

TStatus* Status() { return StatusSlot().get(); }
TProgressFrm* ProgressFrm() { return ProgressSlot().get(); }

void CreateSharedWindows() {
    ProgressSlot() = std::make_unique<TProgressFrm>();
    StatusSlot() = std::make_unique<TStatus>();
}

void FreeSharedWindows() {
    StatusSlot().reset();
    ProgressSlot().reset();
}
