#pragma once
// The install window's widget tree: client 466 x 321, the skin's picture
// across the top, the roll name, the destination folder (a folder browser
// field), the six size options and the two buttons.
#include <QList>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class TExplorerCombo;
class TTransparentPanel;

struct TInstallForm {
    QLabel* InstallBackgroundImage = nullptr;
    QLabel* RollNameLabel = nullptr;
    QLineEdit* RollNameEdit = nullptr;
    QLabel* DestLabel = nullptr;
    TExplorerCombo* DestinationEdit = nullptr;
    QLabel* SizeLabel = nullptr;
    QFrame* SizesTopBevel = nullptr;
    // Tiny, Thumb, Small, Medium, Large, ExLarge: panel, check box (its
    // "tag" property the size's level, 1..6) and label.
    QList<TTransparentPanel*> SizePanels;
    QList<QCheckBox*> SizeBoxes;
    QList<QLabel*> SizeLabels;
    QLabel* DisabledExplanationLabel = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

void BuildInstallForm(QWidget* form, TInstallForm& f);
