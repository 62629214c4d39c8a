#pragma once
// The main window's widget tree: names, places, sizes, captions and timer
// intervals as designed. The window's behaviour lives in viewer/lumorafrm.
// Every component carries its established objectName, so the disc's form
// script finds it.
#include <QColor>
#include <QList>
#include <QSize>

class QStackedWidget;
class QTimer;
class QWidget;
class QLabel;
class TAnimatedImage;
class TFullViewImage;
class THv3dProgressBar;
class THalvornBmpButton;
class THvAnimatedImage;
class TIconContainer;
class TSmoothFontManager3D;
class TSmoothLabel3D;

// Fixed sizes of the window's areas.
namespace MainFormMetrics {
constexpr int HeaderHeight = 122;
constexpr int HeaderPictureHeight = 96;   // logos above the section bar
constexpr int CommandColumnWidth = 133;
constexpr int ToolBarWidth = 94;
constexpr int ExitBarHeight = 21;
constexpr int BigButton = 90;             // toolbar buttons
constexpr int SmallButton = 44;           // previous/next, zoom, rotate
constexpr int HeaderButtonHeight = 20;
constexpr int ButtonStep = 86;            // from one big button's top to the next
constexpr int ToolBarTop = 12;
constexpr int CaptionHeight = 34;         // the "Click on ..." line above a container
constexpr int FilmstripWidth = 101;
constexpr int BottomBarHeight = 34;       // the full view's progress bar area
constexpr int RollTopMargin = 40;         // above the first row of film cans
constexpr int RollIconMargin = 10;
constexpr int ItemIndexWidth = 200;       // "Image n of m" at the section bar's right end
constexpr int ItemIndexRightGap = 14;
} // namespace MainFormMetrics

// Colours of the design.
namespace MainFormColors {
QColor HeaderBlue();     // 10040320
QColor SectionBlue();    // 16750592
QColor Navy();           // 8388608, the selection
QColor Hover();          // 65535, yellow
} // namespace MainFormColors

struct TMainForm {
    // Header.
    QWidget* Header = nullptr;
    THalvornBmpButton* ToolBarLeftImage = nullptr;
    THalvornBmpButton* LumoraImage = nullptr;
    THalvornBmpButton* ExtraBranding = nullptr;
    TAnimatedImage* FotavoLogo = nullptr;
    QWidget* SectionBar = nullptr;
    TSmoothLabel3D* SectionLabel = nullptr;
    QWidget* ItemIndexPanel = nullptr;
    TSmoothLabel3D* ItemIndexLabel = nullptr;
    // Command column.
    QWidget* CommandColumn = nullptr;
    QStackedWidget* ToolBarNoteBook = nullptr;
    THalvornBmpButton* ViewRollDisabledImage = nullptr;
    THalvornBmpButton* PrintDisabledImage = nullptr;
    THalvornBmpButton* SlideshowDisabledImage = nullptr;
    THalvornBmpButton* InstallButton = nullptr;
    THalvornBmpButton* UploadDisabled = nullptr;
    THvAnimatedImage* ThumbViewRollButton = nullptr;
    THvAnimatedImage* ThumbViewPrintButton = nullptr;
    THvAnimatedImage* ThumbViewSlideshowButton = nullptr;
    THvAnimatedImage* ThumbViewInstallButton = nullptr;
    THvAnimatedImage* ThumbViewUploadButton = nullptr;
    THvAnimatedImage* HvThumbButton = nullptr;
    THvAnimatedImage* FullViewPrintButton = nullptr;
    THalvornBmpButton* GotoHeader = nullptr;
    THvAnimatedImage* PreviousButton = nullptr;
    THvAnimatedImage* NextButton = nullptr;
    THalvornBmpButton* ZoomHeader = nullptr;
    THvAnimatedImage* ZoomInButton = nullptr;
    THvAnimatedImage* ZoomOutButton = nullptr;
    THalvornBmpButton* RotateHeader = nullptr;
    THvAnimatedImage* RotateLeftButton = nullptr;
    THvAnimatedImage* RotateRightButton = nullptr;
    // Pages.
    QStackedWidget* ViewNotebook = nullptr;
    QWidget* RollPage = nullptr;
    QWidget* ThumbsPage = nullptr;
    QWidget* FullViewPage = nullptr;
    TSmoothLabel3D* ClickRollLabel = nullptr;
    TIconContainer* RollContainer = nullptr;
    TSmoothLabel3D* ClickThumbLabel = nullptr;
    TIconContainer* ThumbContainer = nullptr;
    QWidget* FullViewPanel = nullptr;
    TFullViewImage* FullView = nullptr;
    QWidget* BottomBar = nullptr;
    QWidget* ProgressPanel = nullptr;
    QLabel* ProgressLabel = nullptr;
    THv3dProgressBar* LoadProgressBar = nullptr;
    // A quiet line saying what was wrong with a photo shown only in part.
    QLabel* WarningLabel = nullptr;
    TIconContainer* FullViewContainer = nullptr;
    // Exit bar.
    QWidget* ExitBar = nullptr;
    THalvornBmpButton* QuitButton = nullptr;
    TSmoothLabel3D* QuitCaption = nullptr;
    THalvornBmpButton* MainMenuBtn = nullptr;
    // Non-visual components.
    QTimer* LogoTimer = nullptr;
    QTimer* MouseOverTimer = nullptr;
    QTimer* ThumbHilightTimer = nullptr;
    QTimer* QuitButtonTimer = nullptr;
    TSmoothFontManager3D* SmoothFontManager = nullptr;
};

// Builds the tree into Form (the main window), with the designed captions.
void BuildMainForm(QWidget* form, TMainForm& f);
// Places the areas for a client size: header and exit bar across, the
// command column on the left, the pages in the rest.
void LayoutMainForm(TMainForm& f, QSize client);
// The toolbar slots of the roll and thumbnails pages (tops of the five buttons).
QList<int> ToolBarSlots();
