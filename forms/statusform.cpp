#include "forms/statusform.h"
#include "imaging/hv3dprogressbar.h"
#include "shell/customize.h"
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

void BuildStatusForm(QWidget* form, TStatusForm& f) {
    form->setObjectName(QStringLiteral("Status"));
    form->setWindowTitle(ApplicationTitle());
    form->resize(371, 89);
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    f.ClientPanel = new QWidget(form);
    f.ClientPanel->setObjectName(QStringLiteral("ClientPanel"));
    auto* client = new QVBoxLayout(f.ClientPanel);
    client->setContentsMargins(8, 8, 8, 4);
    f.JobLabel = new QLabel(f.ClientPanel);
    f.JobLabel->setObjectName(QStringLiteral("JobLabel"));
    f.JobLabel->setAlignment(Qt::AlignCenter);
    f.JobLabel->setWordWrap(true);
    f.JobLabel->setTextFormat(Qt::PlainText);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    f.JobLabel->setFont(font);
    client->addWidget(f.JobLabel, 1);
    f.ProgressPanel = new QWidget(f.ClientPanel);
    f.ProgressPanel->setObjectName(QStringLiteral("ProgressPanel"));
    f.ProgressPanel->setFixedHeight(23);
    auto* bar = new QVBoxLayout(f.ProgressPanel);
    bar->setContentsMargins(0, 3, 0, 0);
    f.ProgressBar = new QProgressBar(f.ProgressPanel);
    f.ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    f.ProgressBar->setRange(0, 100);
    f.ProgressBar->setFixedHeight(20);
    f.ProgressBar->setTextVisible(false);
    bar->addWidget(f.ProgressBar);
    client->addWidget(f.ProgressPanel);
    layout->addWidget(f.ClientPanel, 1);
    f.ButtonPanel = new QWidget(form);
    f.ButtonPanel->setObjectName(QStringLiteral("ButtonPanel"));
    f.ButtonPanel->setFixedHeight(33);
    auto* buttons = new QHBoxLayout(f.ButtonPanel);
    buttons->setContentsMargins(0, 3, 0, 6);
    f.Cancel = new QPushButton(QStringLiteral("Cancel"), f.ButtonPanel);
    f.Cancel->setObjectName(QStringLiteral("Cancel"));
    f.Cancel->setFixedSize(85, 24);
    buttons->addStretch();
    buttons->addWidget(f.Cancel);
    buttons->addStretch();
    layout->addWidget(f.ButtonPanel);
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
