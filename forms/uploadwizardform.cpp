#include "forms/uploadwizardform.h"
#include "forms/mainform.h"
#include "imaging/hv3dprogressbar.h"
#include "imaging/smoothlabel3d.h"
#include "shell/strings.h"
#include "viewer/halvornbmpbutton.h"
#include "viewer/iconcontainer.h"
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <utility>

namespace {

constexpr int PageWidth = 470, PageHeight = 414, SideWidth = 130, ButtonRowHeight = 46;
const QColor PageColour(10, 14, 30);
const QColor TextColour(200, 214, 240);

template <typename T>
T* Make(QWidget* parent, const char* name) {
    auto* widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QWidget* Area(QWidget* parent, const char* name, QColor colour) {
    auto* area = Make<QWidget>(parent, name);
    area->setAutoFillBackground(true);
    QPalette palette = area->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::WindowText, TextColour);
    area->setPalette(palette);
    return area;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* label = Make<QLabel>(parent, name);
    label->setText(text);
    label->setGeometry(place);
    return label;
}

TSmoothLabel3D* Caption(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* label = Make<TSmoothLabel3D>(parent, name);
    label->setFont(QFont(QStringLiteral("Arial"), 12, QFont::Bold));
    label->SetCaption(text);
    label->SetShowAccelChar(false);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, PageColour);
    label->setPalette(palette);
    label->SetTransparent(false);
    label->SetLayout(TSmoothLabel3D::tlCenter);
    label->setGeometry(place);
    return label;
}

// Drawn at Scale pixels per unit: 2 gives the twin a screen of a device
// pixel ratio above 1 shows, the same drawing at twice the size.
QImage ButtonPicture(QSize size, bool lit, bool enabled, qreal scale = 1) {
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, size.height());
    if (!enabled) {
        fill.setColorAt(0, QColor(70, 74, 86));
        fill.setColorAt(1, QColor(44, 46, 56));
    } else {
        fill.setColorAt(0, lit ? QColor(90, 170, 255) : QColor(40, 110, 220));
        fill.setColorAt(1, lit ? QColor(30, 100, 220) : QColor(10, 50, 140));
    }
    p.setPen(QPen(enabled ? QColor(150, 200, 255) : QColor(96, 100, 112), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 6, 6);
    p.end();
    image.setDevicePixelRatio(1);
    return image;
}

THalvornBmpButton* Button(QWidget* parent, const char* name, const QString& caption, QRect place) {
    auto* button = Make<THalvornBmpButton>(parent, name);
    SetWizardButtonPictures(button, place.width(), place.height());
    button->SetColor(parent->palette().color(QPalette::Window));  // round the tile's corners
    button->SetCaption(caption);
    button->SetFontColor(Qt::white);
    button->SetCaptionStyle(THalvornBmpButton::csShadow);
    button->setGeometry(place);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

void SetWizardButtonPictures(THalvornBmpButton* button, int width, int height) {
    const QSize size(width, height);
    const auto both = [size](bool lit, bool enabled) {
        return std::pair{ButtonPicture(size, lit, enabled), ButtonPicture(size, lit, enabled, 2)};
    };
    const auto [up, sharpUp] = both(false, true);
    const auto [lit, sharpLit] = both(true, true);
    const auto [off, sharpOff] = both(false, false);
    button->SetPictureUp(up, sharpUp);
    button->SetPictureDown(lit, sharpLit);
    button->SetPictureHighlight(lit, sharpLit);
    button->SetPictureDisabled(off, sharpOff);
}

void BuildUploadWizardForm(QWidget* form, TUploadWizardForm& f) {
    form->setObjectName(QStringLiteral("UploadWizardFrm"));
    form->setWindowTitle(ResString(TStr::WizardCaption));
    form->setFixedSize(SideWidth + PageWidth, PageHeight + ButtonRowHeight);
    form->setAutoFillBackground(true);
    QPalette black = form->palette();
    black.setColor(QPalette::Window, Qt::black);
    form->setPalette(black);

    f.WizardImage = Make<QLabel>(form, "WizardImage");
    f.WizardImage->setGeometry(0, 0, SideWidth, PageHeight);
    f.Pages = Make<QStackedWidget>(form, "WizardPages");
    f.Pages->setGeometry(SideWidth, 0, PageWidth, PageHeight);
    const int w = PageWidth - 28;  // the pages' inner width, 14 pixels each side

    f.SelectPage = Area(f.Pages, "Select", PageColour);
    f.ImageSelectionLabel = Caption(f.SelectPage, "ImageSelectionLabel", QString(), QRect(14, 8, w, 32));
    f.IconContainer = Make<TIconContainer>(f.SelectPage, "IconContainer");
    f.IconContainer->SetColor(Qt::black);
    f.IconContainer->setFrameShape(QFrame::NoFrame);
    f.IconContainer->SetIconTitles(false);
    f.IconContainer->SetIconWidth(78);
    f.IconContainer->SetIconHeight(78);
    f.IconContainer->SetIconGap(0);
    f.IconContainer->SetIconMultipleSelect(true);
    f.IconContainer->SetIconConstraint(IconContainerEnums::iccColumnFit);
    f.IconContainer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    f.IconContainer->setGeometry(14, 44, w, 318);
    f.SelectAllButton = Button(f.SelectPage, "SelectAllButton", ResString(TStr::SelectAllCaption), QRect(14, 372, 110, 30));
    f.SelectNoneButton = Button(f.SelectPage, "SelectNoneButton", ResString(TStr::SelectNoneCaption), QRect(132, 372, 110, 30));

    f.ConfigPage = Area(f.Pages, "Config", PageColour);
    f.LoginPrompt = Caption(f.ConfigPage, "LoginPrompt", ResString(TStr::LoginPromptText), QRect(14, 8, w, 32));
    f.UserNameLabel = Label(f.ConfigPage, "UserNameLabel", ResString(TStr::UserNameCaption), QRect(24, 56, 100, 24));
    f.UsernameEdit = Make<QLineEdit>(f.ConfigPage, "UsernameEdit");
    f.UsernameEdit->setGeometry(128, 56, 200, 24);
    f.PasswordLabel = Label(f.ConfigPage, "PasswordLabel", ResString(TStr::PasswordCaption), QRect(24, 88, 100, 24));
    f.PasswordEdit = Make<QLineEdit>(f.ConfigPage, "PasswordEdit");
    f.PasswordEdit->setEchoMode(QLineEdit::Password);
    f.PasswordEdit->setGeometry(128, 88, 200, 24);
    f.LoginButton = Button(f.ConfigPage, "LoginButton", ResString(TStr::LoginCaption), QRect(340, 70, 100, 30));
    f.CustomerIDLabel = Label(f.ConfigPage, "CustomerIDLabel", QString(), QRect(24, 122, w - 10, 22));
    f.NewAccountPanel = Area(f.ConfigPage, "NewAccountPanel", PageColour);
    f.NewAccountPanel->setGeometry(14, 160, w, 90);
    f.NewAccountWarningLabel = Label(f.NewAccountPanel, "NewAccountWarningLabel", ResString(TStr::NewAccountWarning),
                                     QRect(10, 10, w - 20, 22));
    f.NewAccountButton = Button(f.NewAccountPanel, "NewAccountButton", ResString(TStr::NewAccountCaption),
                                QRect(10, 44, 130, 30));
    f.UploadDestPanel = Area(f.ConfigPage, "UploadDestPanel", PageColour);
    f.UploadDestPanel->setGeometry(14, 160, w, 140);
    f.UploadDestLabel = Label(f.UploadDestPanel, "UploadDestLabel", ResString(TStr::UploadPhotosTo), QRect(10, 6, w - 20, 22));
    f.NewShoeboxRB = Make<QRadioButton>(f.UploadDestPanel, "NewShoeboxRB");
    f.NewShoeboxRB->setText(ResString(TStr::ANewShoebox));
    f.NewShoeboxRB->setGeometry(10, 38, 170, 24);
    f.NewShoeboxRB->setChecked(true);
    f.ShoeboxEdit = Make<QLineEdit>(f.UploadDestPanel, "ShoeboxEdit");
    f.ShoeboxEdit->setGeometry(186, 38, 240, 24);
    f.ExistingShoeboxRB = Make<QRadioButton>(f.UploadDestPanel, "ExistingShoeboxRB");
    f.ExistingShoeboxRB->setText(ResString(TStr::AnExistingShoebox));
    f.ExistingShoeboxRB->setGeometry(10, 74, 170, 24);
    f.ShoeboxCombo = Make<QComboBox>(f.UploadDestPanel, "ShoeboxCombo");
    f.ShoeboxCombo->setGeometry(186, 74, 240, 26);
    f.UploadDestPanel->hide();

    f.EmailPage = Area(f.Pages, "Email", PageColour);
    f.SmoothLabel3D1 = Caption(f.EmailPage, "SmoothLabel3D1", ResString(TStr::EmailPicturesTo), QRect(14, 8, w, 32));
    f.FromLabel = Label(f.EmailPage, "FromLabel", ResString(TStr::FromCaption), QRect(14, 50, 90, 24));
    f.FromEmailAddress = Make<QLineEdit>(f.EmailPage, "FromEmailAddress");
    f.FromEmailAddress->setToolTip(ResString(TStr::FromHint));
    f.FromEmailAddress->setPlaceholderText(ResString(TStr::FromHint));
    f.FromEmailAddress->setGeometry(110, 50, w - 96, 24);
    f.Email_RecipientsLabel = Label(f.EmailPage, "Email_RecipientsLabel", ResString(TStr::RecipientsCaption),
                                    QRect(14, EmailAddresserTop, 90, 24));
    f.Email_SubjectLabel = Label(f.EmailPage, "Email_SubjectLabel", ResString(TStr::SubjectCaption), QRect(14, 192, 90, 24));
    f.EmailSubjectEdit = Make<QLineEdit>(f.EmailPage, "EmailSubjectEdit");
    f.EmailSubjectEdit->setText(ResString(TStr::SubjectPrompt));
    f.EmailSubjectEdit->setGeometry(110, 192, w - 96, 24);
    f.Email_MessageLabel = Label(f.EmailPage, "Email_MessageLabel", ResString(TStr::MessageCaption), QRect(14, 226, 90, 24));
    f.Memo1 = Make<QPlainTextEdit>(f.EmailPage, "Memo1");
    f.Memo1->setGeometry(110, 226, w - 96, PageHeight - 226 - 14);

    f.UploadPage = Area(f.Pages, "Upload", PageColour);
    f.UploadingBanner = Caption(f.UploadPage, "UploadingBanner", QString(), QRect(14, 8, w, 32));
    f.OuterBevel = Make<QFrame>(f.UploadPage, "Bevel1");
    f.OuterBevel->setFrameShape(QFrame::Box);
    f.OuterBevel->setFrameShadow(QFrame::Raised);
    f.OuterBevel->setGeometry(14, 56, 81, 81);
    f.InnerBevel = Make<QFrame>(f.UploadPage, "Bevel2");
    f.InnerBevel->setFrameShape(QFrame::Box);
    f.InnerBevel->setFrameShadow(QFrame::Sunken);
    f.InnerBevel->setGeometry(17, 59, 75, 75);
    f.PaintBox = Make<QWidget>(f.UploadPage, "PaintBox");
    f.PaintBox->setGeometry(18, 60, 73, 73);
    f.ProgressLabel = Label(f.UploadPage, "ProgressLabel", QString(), QRect(110, 66, w - 96, 22));
    f.ImageProgressBar = Make<THv3dProgressBar>(f.UploadPage, "ImageProgressBar");
    f.ImageProgressBar->SetBarColor(MainFormColors::SectionBlue());
    f.ImageProgressBar->setGeometry(110, 96, w - 96, 20);
    f.TotalProgressLabel = Label(f.UploadPage, "TotalProgressLabel", ResString(TStr::TotalProgress), QRect(14, 156, w, 22));
    f.TotalProgressBar = Make<THv3dProgressBar>(f.UploadPage, "TotalProgressBar");
    f.TotalProgressBar->SetBarColor(MainFormColors::SectionBlue());
    f.TotalProgressBar->setGeometry(14, 182, w, 20);
    f.EmailStatus = Label(f.UploadPage, "EmailStatus", ResString(TStr::EmailStatusCaption), QRect(14, 220, w, 60));
    f.EmailStatus->setWordWrap(true);
    f.EmailStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    f.EmailStatus->hide();

    for (QWidget* page : {f.SelectPage, f.ConfigPage, f.EmailPage, f.UploadPage}) f.Pages->addWidget(page);

    f.ButtonPanel = Area(form, "ButtonPanel", Qt::black);
    f.ButtonPanel->setGeometry(0, PageHeight, SideWidth + PageWidth, ButtonRowHeight);
    const int right = SideWidth + PageWidth - 14;
    f.CancelButton = Button(f.ButtonPanel, "CancelButton", ResString(TStr::CancelCaption), QRect(right - 100, 8, 100, 30));
    f.NextButton = Button(f.ButtonPanel, "NextButton", ResString(TStr::NextCaption), QRect(right - 212, 8, 100, 30));
    f.UploadButton = Button(f.ButtonPanel, "UploadButton", ResString(TStr::UploadCaption), QRect(right - 212, 8, 100, 30));
    f.UploadButton->hide();
    f.PreviousButton = Button(f.ButtonPanel, "PreviousButton", ResString(TStr::PreviousCaption), QRect(right - 320, 8, 100, 30));
    f.ScrollTimer = new QTimer(form);
    f.ScrollTimer->setObjectName(QStringLiteral("ScrollTimer"));
}
