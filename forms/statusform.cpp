#include "forms/statusform.h"
#include "imaging/hv3dprogressbar.h"
#include "shell/customize.h"
#include <QFrame>
#include <algorithm>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

void BuildStatusForm(QWidget* form, TStatusForm& f) {
    form->setObjectName(QStringLiteral("Status"));
    form->setWindowTitle(ApplicationTitle());
    f.ClientPanel = new QWidget(form);
    f.ClientPanel->setObjectName(QStringLiteral("ClientPanel"));
    f.JobLabel = new QLabel(f.ClientPanel);
    f.JobLabel->setObjectName(QStringLiteral("JobLabel"));
    f.JobLabel->setAlignment(Qt::AlignCenter);
    f.JobLabel->setWordWrap(true);
    f.JobLabel->setTextFormat(Qt::PlainText);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    f.JobLabel->setFont(font);
    f.ProgressPanel = new QWidget(f.ClientPanel);
    f.ProgressPanel->setObjectName(QStringLiteral("ProgressPanel"));
    f.ProgressBar = new QProgressBar(f.ProgressPanel);
    f.ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    f.ProgressBar->setRange(0, 100);
    f.ProgressBar->setTextVisible(false);
    f.ButtonPanel = new QWidget(form);
    f.ButtonPanel->setObjectName(QStringLiteral("ButtonPanel"));
    f.Cancel = new QPushButton(QStringLiteral("Cancel"), f.ButtonPanel);
    f.Cancel->setObjectName(QStringLiteral("Cancel"));
    f.Cancel->setGeometry(144, 3, 85, 24);
    form->resize(371, 89);
    LayoutStatusForm(f, form->size());
}

void LayoutStatusForm(TStatusForm& f, QSize client) {
    // Bottom up: the Cancel row, then the bar, the text in the rest.
    const int buttons = f.ButtonPanel->isVisibleTo(f.ButtonPanel->parentWidget()) ? 33 : 0;
    f.ButtonPanel->setGeometry(0, client.height() - 33, client.width(), 33);
    f.ClientPanel->setGeometry(0, 0, client.width(), client.height() - buttons);
    const int border = 8;
    const int bar = f.ProgressPanel->isVisibleTo(f.ClientPanel) ? 23 : 0;
    const QRect inner = f.ClientPanel->rect().adjusted(border, border, -border, -border);
    f.ProgressPanel->setGeometry(inner.left(), inner.bottom() + 1 - 23, inner.width(), 23);
    f.ProgressBar->setGeometry(0, 3, inner.width(), 20);
    f.JobLabel->setGeometry(inner.left(), inner.top(), inner.width(), std::max(inner.height() - bar, 0));
}

void BuildProgressForm(QWidget* form, TProgressForm& f) {
    form->setObjectName(QStringLiteral("ProgressFrm"));
    form->setWindowTitle(ApplicationTitle());
    form->setFixedSize(431, 118);
    auto* bevel = new QFrame(form);
    bevel->setObjectName(QStringLiteral("Bevel"));
    bevel->setFrameShape(QFrame::StyledPanel);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(8, 8, 415, 68);
    f.JobLabel = new QLabel(bevel);
    f.JobLabel->setObjectName(QStringLiteral("JobLabel"));
    f.JobLabel->setAlignment(Qt::AlignCenter);
    f.JobLabel->setTextFormat(Qt::PlainText);
    QFont bold = f.JobLabel->font();
    bold.setBold(true);
    f.JobLabel->setFont(bold);
    f.JobLabel->setGeometry(11, 6, 393, 20);
    f.Bar = new THv3dProgressBar(bevel);
    f.Bar->setObjectName(QStringLiteral("Bar"));
    f.Bar->SetBarColor(QColor(0xAA, 0xAA, 0xFF));  // 16755370
    f.Bar->setGeometry((415 - 349) / 2, 34, 349, 23);
    f.CancelButton = new QPushButton(QStringLiteral("Cancel"), form);
    f.CancelButton->setObjectName(QStringLiteral("CancelButton"));
    f.CancelButton->setDefault(true);
    f.CancelButton->setGeometry((431 - 85) / 2, 84, 85, 26);
}
