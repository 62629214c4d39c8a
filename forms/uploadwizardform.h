#pragma once
// The upload wizard's widget tree: the mode's picture down the left, four
// pages ("Select", "Config", "Email", "Upload") and the row of buttons.
#include <QList>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QRadioButton;
class QStackedWidget;
class QTimer;
class QWidget;
class THalvornBmpButton;
class THv3dProgressBar;
class TIconContainer;
class TSmoothLabel3D;

struct TUploadWizardForm {
    QLabel* WizardImage = nullptr;
    QStackedWidget* Pages = nullptr;
    // Page 0 "Select".
    QWidget* SelectPage = nullptr;
    TSmoothLabel3D* ImageSelectionLabel = nullptr;
    TIconContainer* IconContainer = nullptr;
    THalvornBmpButton* SelectAllButton = nullptr;
    THalvornBmpButton* SelectNoneButton = nullptr;
    // Page 1 "Config".
    QWidget* ConfigPage = nullptr;
    TSmoothLabel3D* LoginPrompt = nullptr;
    QLabel* UserNameLabel = nullptr;
    QLineEdit* UsernameEdit = nullptr;
    QLabel* PasswordLabel = nullptr;
    QLineEdit* PasswordEdit = nullptr;
    THalvornBmpButton* LoginButton = nullptr;
    QLabel* CustomerIDLabel = nullptr;
    QWidget* NewAccountPanel = nullptr;
    QLabel* NewAccountWarningLabel = nullptr;
    THalvornBmpButton* NewAccountButton = nullptr;
    QWidget* UploadDestPanel = nullptr;
    QLabel* UploadDestLabel = nullptr;
    QRadioButton* NewShoeboxRB = nullptr;
    QLineEdit* ShoeboxEdit = nullptr;
    QRadioButton* ExistingShoeboxRB = nullptr;
    QComboBox* ShoeboxCombo = nullptr;
    // Page 2 "Email".
    QWidget* EmailPage = nullptr;
    TSmoothLabel3D* SmoothLabel3D1 = nullptr;
    QLabel* FromLabel = nullptr;
    QLineEdit* FromEmailAddress = nullptr;
    // Page 3 "Upload".
    QWidget* UploadPage = nullptr;
    TSmoothLabel3D* UploadingBanner = nullptr;
    QFrame* OuterBevel = nullptr;
    QFrame* InnerBevel = nullptr;
    QWidget* PaintBox = nullptr;  // the photo being sent; painted by the wizard
    QLabel* ProgressLabel = nullptr;
    THv3dProgressBar* ImageProgressBar = nullptr;
    QLabel* TotalProgressLabel = nullptr;
    THv3dProgressBar* TotalProgressBar = nullptr;
    QLabel* EmailStatus = nullptr;
    // Buttons.
    QWidget* ButtonPanel = nullptr;
    THalvornBmpButton* PreviousButton = nullptr;
    THalvornBmpButton* NextButton = nullptr;
    THalvornBmpButton* UploadButton = nullptr;
    THalvornBmpButton* CancelButton = nullptr;
    QTimer* ScrollTimer = nullptr;
};

// Page indexes.
namespace WizardPage {
constexpr int Select = 0, Config = 1, Email = 2, Upload = 3;
}

void BuildUploadWizardForm(QWidget* form, TUploadWizardForm& f);
// The picture of a wizard button (a rounded tile; lit when pressed or under the mouse).
void SetWizardButtonPictures(THalvornBmpButton* button, int width, int height);
