#include "forms/installform.h"
#include "browser/explorercombo.h"
#include "shell/strings.h"
#include "viewer/transparentpanel.h"
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

template <typename T>
T* Make(QWidget* parent, const char* name) {
    auto* widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* label = Make<QLabel>(parent, name);
    label->setText(text);
    label->setGeometry(place);
    return label;
}

} // namespace

void BuildInstallForm(QWidget* form, TInstallForm& f) {
    form->setObjectName(QStringLiteral("InstallFrm"));
    form->setWindowTitle(ResString(TStr::InstallCaption));
    form->setFixedSize(466, 321);
    f.InstallBackgroundImage = Make<QLabel>(form, "InstallBackgroundImage");
    f.InstallBackgroundImage->setGeometry(0, 0, 466, 80);
    f.InstallBackgroundImage->setScaledContents(false);

    f.RollNameLabel = Label(form, "RollNameLabel", ResString(TStr::RollNameCaption), QRect(16, 86, 300, 18));
    f.RollNameEdit = Make<QLineEdit>(form, "RollNameEdit");
    f.RollNameEdit->setGeometry(16, 104, 321, 24);
    f.RollNameLabel->setBuddy(f.RollNameEdit);
    f.DestLabel = Label(form, "DestLabel", ResString(TStr::DestinationCaption), QRect(16, 132, 300, 18));
    f.DestinationEdit = Make<TExplorerCombo>(form, "DestinationEdit");
    f.DestinationEdit->setGeometry(16, 150, 434, std::max(24, f.DestinationEdit->sizeHint().height()));
    f.DestinationEdit->SetTexts({ResString(TStr::BrowserCounts), ResString(TStr::BrowserBindingFailed),
                                 ResString(TStr::BrowserDesktop), ResString(TStr::BrowserHome),
                                 ResString(TStr::BrowserFileSystem)});

    f.SizeLabel = Label(form, "SizeLabel", ResString(TStr::PhotoSizesCaption), QRect(16, 182, 100, 18));
    QFont bold = f.SizeLabel->font();
    bold.setBold(true);
    f.SizeLabel->setFont(bold);
    f.SizeLabel->adjustSize();
    f.SizesTopBevel = Make<QFrame>(form, "SizesTopBevel");
    f.SizesTopBevel->setFrameShape(QFrame::HLine);
    f.SizesTopBevel->setFrameShadow(QFrame::Sunken);
    f.SizesTopBevel->setGeometry(120, 182 + f.SizeLabel->height() / 2 - 1, 330, 3);

    const char* names[][3] = {{"TinyPanel", "TinyCB", "TinyLabel"},       {"ThumbPanel", "ThumbCB", "ThumbLabel"},
                              {"SmallPanel", "SmallCB", "SmallLabel"},    {"MediumPanel", "MediumCB", "MediumLabel"},
                              {"LargePanel", "LargeCB", "LargeLabel"},    {"ExLargePanel", "ExLargeCB", "ExLargeLabel"}};
    const TStr captions[] = {TStr::SizeTiny, TStr::SizeThumbnail, TStr::SizeSmall,
                             TStr::SizeMedium, TStr::SizeLarge, TStr::SizeExtraLarge};
    for (int i = 0; i < 6; ++i) {
        auto* panel = Make<TTransparentPanel>(form, names[i][0]);
        panel->setGeometry(16 + (i % 3) * 145, 206 + (i / 3) * 26, 140, 24);
        auto* box = Make<QCheckBox>(panel, names[i][1]);
        box->setProperty("tag", i + 1);
        box->setGeometry(2, 2, 20, 20);
        auto* label = Label(panel, names[i][2], ResString(captions[i]), QRect(24, 3, 114, 18));
        label->setBuddy(box);
        f.SizePanels << panel;
        f.SizeBoxes << box;
        f.SizeLabels << label;
    }
    f.DisabledExplanationLabel = Label(form, "DisabledExplanationLabel", ResString(TStr::DisabledSizesExplanation),
                                       QRect(16, 258, 434, 18));
    f.DisabledExplanationLabel->setWordWrap(true);
    f.Button1 = Make<QPushButton>(form, "Button1");
    f.Button1->setText(ResString(TStr::InstallButtonCaption));
    f.Button1->setGeometry(270, 285, 86, 28);
    f.Button1->setDefault(true);
    f.Button2 = Make<QPushButton>(form, "Button2");
    f.Button2->setText(ResString(TStr::CloseButtonCaption));
    f.Button2->setGeometry(364, 285, 86, 28);
}
