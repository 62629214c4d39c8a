#include "forms/mainform.h"
#include "imaging/animatedimage.h"
#include "imaging/hv3dprogressbar.h"
#include "imaging/smoothfontmanager.h"
#include "imaging/smoothlabel3d.h"
#include "shell/strings.h"
#include "viewer/halvornbmpbutton.h"
#include "viewer/fullviewimage.h"
#include "viewer/iconcontainer.h"
#include "viewer/fullviewtext.h"
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QStackedWidget>
#include <QTimer>

using namespace MainFormMetrics;

QColor MainFormColors::HeaderBlue() { return QColor(0x00, 0x33, 0x99); }
QColor MainFormColors::SectionBlue() { return QColor(0x00, 0x99, 0xFF); }
QColor MainFormColors::Navy() { return QColor(0x00, 0x00, 0x80); }
QColor MainFormColors::Hover() { return QColor(0xFF, 0xFF, 0x00); }

namespace {

template <typename T>
T* Make(QWidget* parent, const char* name) {
    auto* widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QWidget* Area(QWidget* parent, const char* name, const QColor& colour) {
    auto* area = Make<QWidget>(parent, name);
    area->setAutoFillBackground(true);
    QPalette palette = area->palette();
    palette.setColor(QPalette::Window, colour);
    area->setPalette(palette);
    return area;
}

// A caption in the style of the main window (white faces, grey rim, sharp
// shadow; the defaults of TFont3D), bold Arial.
TSmoothLabel3D* Caption(QWidget* parent, const char* name, const QString& text, int points,
                        const QColor& background) {
    auto* label = Make<TSmoothLabel3D>(parent, name);
    QFont font(QStringLiteral("Arial"), points, QFont::Bold);
    label->setFont(font);
    label->SetCaption(text);
    label->SetShowAccelChar(false);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, background);
    label->setPalette(palette);
    label->SetTransparent(false);
    return label;
}

QTimer* Timer(QWidget* owner, const char* name, int interval, bool enabled) {
    auto* timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    if (enabled) timer->start();
    return timer;
}

// The exit bar's button: a small rounded tile with a power symbol, in the
// skin's colours; lighter when pressed. Drawn at Scale pixels per unit (2:
// its twin for screens of a device pixel ratio above 1).
QImage QuitPicture(bool pressed, qreal scale = 1) {
    QImage image(QSize(19, 19) * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 19);
    fill.setColorAt(0, pressed ? QColor(90, 170, 255) : QColor(40, 110, 220));
    fill.setColorAt(1, pressed ? QColor(30, 100, 220) : QColor(10, 50, 140));
    p.setPen(QPen(QColor(150, 200, 255), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, 18, 18), 4, 4);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5, 5.5, 9, 9), 120 * 16, 300 * 16);
    p.drawLine(QPointF(9.5, 3.8), QPointF(9.5, 9));
    p.end();
    image.setDevicePixelRatio(1);
    return image;
}

THalvornBmpButton* Still(QWidget* parent, const char* name, int top) {
    auto* still = Make<THalvornBmpButton>(parent, name);
    still->SetColor(Qt::black);
    still->setGeometry((ToolBarWidth - BigButton) / 2, top, BigButton, BigButton);
    return still;
}

THvAnimatedImage* Button(QWidget* parent, const char* name, QRect place) {
    auto* button = Make<THvAnimatedImage>(parent, name);
    button->SetLoading(true);
    button->SetColor(Qt::black);
    button->SetOpaque(true);
    button->SetInterval(170);
    button->setGeometry(place);
    button->setCursor(Qt::PointingHandCursor);
    button->SetLoading(false);
    return button;
}

THalvornBmpButton* HeaderButton(QWidget* parent, const char* name, int top) {
    auto* header = Make<THalvornBmpButton>(parent, name);
    header->SetColor(Qt::black);
    header->setGeometry((ToolBarWidth - BigButton) / 2, top, BigButton, HeaderButtonHeight);
    return header;
}

TIconContainer* Container(QWidget* parent, const char* name) {
    auto* container = Make<TIconContainer>(parent, name);
    container->SetColor(Qt::black);
    container->setFrameShape(QFrame::NoFrame);
    container->SetIconTitles(false);
    return container;
}

} // namespace

QList<int> ToolBarSlots() {
    QList<int> places;
    for (int i = 0; i < 5; ++i) places << ToolBarTop + i * ButtonStep;
    return places;
}

void BuildMainForm(QWidget* form, TMainForm& f) {
    form->setObjectName(QStringLiteral("LumoraFrm"));
    form->setAutoFillBackground(true);
    QPalette black = form->palette();
    black.setColor(QPalette::Window, Qt::black);
    form->setPalette(black);
    form->setMinimumSize(760, 600);

    // Header: logos on the header blue, the section bar under them.
    f.Header = Area(form, "Header", MainFormColors::HeaderBlue());
    f.ToolBarLeftImage = Make<THalvornBmpButton>(f.Header, "ToolBarLeftImage");
    f.ToolBarLeftImage->setGeometry(0, 0, CommandColumnWidth, HeaderPictureHeight);
    f.LumoraImage = Make<THalvornBmpButton>(f.Header, "LumoraImage");
    f.LumoraImage->setGeometry(CommandColumnWidth, 0, 300, HeaderPictureHeight);
    f.ExtraBranding = Make<THalvornBmpButton>(f.Header, "ExtraBranding");
    f.ExtraBranding->hide();
    f.FotavoLogo = Make<TAnimatedImage>(f.Header, "FotavoLogo");
    f.FotavoLogo->SetColor(MainFormColors::HeaderBlue());
    f.FotavoLogo->SetInterval(90);
    f.SectionBar = Area(f.Header, "SectionBar", MainFormColors::SectionBlue());
    f.SectionLabel = Caption(f.SectionBar, "SectionLabel", ResString(TStr::RollSelection), 13,
                             MainFormColors::SectionBlue());
    f.ItemIndexPanel = Area(f.SectionBar, "ItemIndexPanel", MainFormColors::SectionBlue());
    f.ItemIndexLabel = Caption(f.ItemIndexPanel, "ItemIndexLabel", QString(), 11, MainFormColors::SectionBlue());
    f.ItemIndexLabel->SetAlignment(TSmoothLabel3D::taRightJustify);
    f.ItemIndexLabel->SetLayout(TSmoothLabel3D::tlCenter);
    f.ItemIndexPanel->hide();
    f.SectionLabel->SetLayout(TSmoothLabel3D::tlCenter);

    // Command column: one toolbar page per view page.
    f.CommandColumn = Area(form, "CommandColumn", Qt::black);
    f.ToolBarNoteBook = Make<QStackedWidget>(f.CommandColumn, "ToolBarNoteBook");
    auto* rollBar = Area(f.ToolBarNoteBook, "RollToolBar", Qt::black);
    auto* thumbBar = Area(f.ToolBarNoteBook, "ThumbToolBar", Qt::black);
    auto* imageBar = Area(f.ToolBarNoteBook, "ImageToolBar", Qt::black);
    f.ToolBarNoteBook->addWidget(rollBar);
    f.ToolBarNoteBook->addWidget(thumbBar);
    f.ToolBarNoteBook->addWidget(imageBar);
    const QList<int> places = ToolBarSlots();
    f.ViewRollDisabledImage = Still(rollBar, "ViewRollDisabledImage", places[0]);
    f.PrintDisabledImage = Still(rollBar, "PrintDisabledImage", places[1]);
    f.SlideshowDisabledImage = Still(rollBar, "SlideshowDisabledImage", places[2]);
    f.InstallButton = Still(rollBar, "InstallButton", places[3]);
    f.UploadDisabled = Still(rollBar, "UploadDisabled", places[4]);
    const int left = (ToolBarWidth - BigButton) / 2;
    const auto big = [&](int top) { return QRect(left, top, BigButton, BigButton); };
    f.ThumbViewRollButton = Button(thumbBar, "ThumbViewRollButton", big(places[0]));
    f.ThumbViewPrintButton = Button(thumbBar, "ThumbViewPrintButton", big(places[1]));
    f.ThumbViewSlideshowButton = Button(thumbBar, "ThumbViewSlideshowButton", big(places[2]));
    f.ThumbViewInstallButton = Button(thumbBar, "ThumbViewInstallButton", big(places[3]));
    f.ThumbViewUploadButton = Button(thumbBar, "ThumbViewUploadButton", big(places[4]));
    f.HvThumbButton = Button(imageBar, "HvThumbButton", big(places[0]));
    f.FullViewPrintButton = Button(imageBar, "FullViewPrintButton", big(places[1]));
    // Pairs of small buttons under their headers.
    int top = places[2] + 4;
    const auto pair = [&](const char* header, const char* first, const char* second, THalvornBmpButton*& h,
                          THvAnimatedImage*& a, THvAnimatedImage*& b) {
        h = HeaderButton(imageBar, header, top);
        a = Button(imageBar, first, QRect(left, top + HeaderButtonHeight + 2, SmallButton, SmallButton));
        b = Button(imageBar, second,
                   QRect(left + BigButton - SmallButton, top + HeaderButtonHeight + 2, SmallButton, SmallButton));
        top += HeaderButtonHeight + 2 + SmallButton + 12;
    };
    pair("GotoHeader", "PreviousButton", "NextButton", f.GotoHeader, f.PreviousButton, f.NextButton);
    pair("ZoomHeader", "ZoomInButton", "ZoomOutButton", f.ZoomHeader, f.ZoomInButton, f.ZoomOutButton);
    pair("RotateHeader", "RotateLeftButton", "RotateRightButton", f.RotateHeader, f.RotateLeftButton,
         f.RotateRightButton);

    // The pages.
    f.ViewNotebook = Make<QStackedWidget>(form, "ViewNotebook");
    f.RollPage = Area(f.ViewNotebook, "Roll", Qt::black);
    f.ThumbsPage = Area(f.ViewNotebook, "Thumbs", Qt::black);
    f.FullViewPage = Area(f.ViewNotebook, "FullView", Qt::black);
    f.ViewNotebook->addWidget(f.RollPage);
    f.ViewNotebook->addWidget(f.ThumbsPage);
    f.ViewNotebook->addWidget(f.FullViewPage);
    f.ClickRollLabel = Caption(f.RollPage, "ClickRollLabel", ResString(TStr::ClickOnRoll), 12, Qt::black);
    f.ClickRollLabel->SetAlignment(TSmoothLabel3D::taCenter);
    f.ClickRollLabel->SetLayout(TSmoothLabel3D::tlCenter);
    f.RollContainer = Container(f.RollPage, "RollContainer");
    f.RollContainer->SetIconWidth(170);
    f.RollContainer->SetIconHeight(150);
    f.RollContainer->SetIconVertGap(30);
    f.RollContainer->SetIconTopMargin(RollTopMargin);
    f.RollContainer->SetIconConstraint(IconContainerEnums::iccColumns);
    f.RollContainer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    f.ClickThumbLabel = Caption(f.ThumbsPage, "ClickThumbLabel", ResString(TStr::ClickOnThumbnail), 12, Qt::black);
    f.ClickThumbLabel->SetAlignment(TSmoothLabel3D::taCenter);
    f.ClickThumbLabel->SetLayout(TSmoothLabel3D::tlCenter);
    f.ThumbContainer = Container(f.ThumbsPage, "ThumbContainer");
    f.ThumbContainer->SetIconWidth(72);
    f.ThumbContainer->SetIconHeight(72);
    f.ThumbContainer->SetIconVertGap(0);
    f.ThumbContainer->SetIconHorzGap(0);
    f.ThumbContainer->SetIconConstraint(IconContainerEnums::iccColumnFit);
    f.FullViewPanel = Area(f.FullViewPage, "FullViewPanel", Qt::black);
    f.BottomBar = Area(f.FullViewPage, "BottomBar", Qt::black);
    f.FullView = new TFullViewImage(f.FullViewPanel);
    f.FullView->setCursor(Qt::OpenHandCursor);
    f.ProgressPanel = Area(f.BottomBar, "ProgressPanel", Qt::black);
    f.ProgressLabel = Make<QLabel>(f.ProgressPanel, "ProgressLabel");
    QPalette quiet = f.ProgressLabel->palette();
    quiet.setColor(QPalette::WindowText, QColor(150, 176, 220));
    f.ProgressLabel->setPalette(quiet);
    QFont labelFont = f.ProgressLabel->font();
    labelFont.setBold(true);
    f.ProgressLabel->setFont(labelFont);
    f.LoadProgressBar = Make<THv3dProgressBar>(f.ProgressPanel, "LoadProgressBar");
    f.LoadProgressBar->SetBarColor(MainFormColors::SectionBlue());
    f.LoadProgressBar->resize(220, 16);
    // The panel fits the label at its widest ("Loading Image XX") and the bar.
    const int labelWidth = f.ProgressLabel->fontMetrics().horizontalAdvance(LoadingImageText(0).chopped(1) + "XX");
    f.ProgressLabel->setGeometry(0, 0, labelWidth, BottomBarHeight);
    f.LoadProgressBar->move(labelWidth + 25, (BottomBarHeight - f.LoadProgressBar->height()) / 2);
    f.ProgressPanel->resize(labelWidth + f.LoadProgressBar->width() + 30, BottomBarHeight);
    f.ProgressPanel->hide();
    f.WarningLabel = Make<QLabel>(f.BottomBar, "WarningLabel");
    QPalette grey = f.WarningLabel->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 136, 150));
    f.WarningLabel->setPalette(grey);
    f.WarningLabel->hide();
    f.FullViewContainer = Container(f.FullViewPage, "FullViewContainer");
    f.FullViewContainer->SetIconWidth(80);
    f.FullViewContainer->SetIconHeight(80);
    f.FullViewContainer->SetIconGap(6);
    f.FullViewContainer->SetIconConstraint(IconContainerEnums::iccColumns);
    f.FullViewContainer->SetIconColumns(1);
    f.FullViewContainer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // Exit bar.
    f.ExitBar = Area(form, "ExitBar", Qt::black);
    f.QuitButton = Make<THalvornBmpButton>(f.ExitBar, "QuitButton");
    f.QuitButton->SetColor(Qt::black);
    f.QuitButton->SetPictureUp(QuitPicture(false), QuitPicture(false, 2));
    f.QuitButton->SetPictureDown(QuitPicture(true), QuitPicture(true, 2));
    f.QuitButton->SetPictureHighlight(QuitPicture(true), QuitPicture(true, 2));
    f.QuitButton->setCursor(Qt::PointingHandCursor);
    f.QuitCaption = Caption(f.ExitBar, "QuitCaption", ResString(TStr::QuitProgram) + QStringLiteral("  "), 10,
                            Qt::black);
    f.QuitCaption->SetLayout(TSmoothLabel3D::tlCenter);
    f.QuitCaption->setCursor(Qt::PointingHandCursor);
    f.MainMenuBtn = Make<THalvornBmpButton>(f.ExitBar, "MainMenuBtn");
    f.MainMenuBtn->SetColor(Qt::black);
    f.MainMenuBtn->hide();

    f.LogoTimer = Timer(form, "LogoTimer", 3000, true);
    f.MouseOverTimer = Timer(form, "MouseOverTimer", 200, true);
    f.ThumbHilightTimer = Timer(form, "ThumbHilightTimer", 50, false);
    f.QuitButtonTimer = Timer(form, "QuitButtonTimer", 100, false);
    f.SmoothFontManager = new TSmoothFontManager3D(form);
    f.SmoothFontManager->setObjectName(QStringLiteral("SmoothFontManager"));
    f.SmoothFontManager->SetMemoryCacheSizeMax(1000000);
    f.SmoothFontManager->SetDiskCacheSizeMax(5000000);
    f.SmoothFontManager->SetDiskCacheDirectory(QStringLiteral("FontCache3D"));
    f.SmoothFontManager->SetUseDiskCache(true);
}

void LayoutMainForm(TMainForm& f, QSize client) {
    const int width = client.width(), height = client.height();
    f.Header->setGeometry(0, 0, width, HeaderHeight);
    f.SectionBar->setGeometry(CommandColumnWidth, HeaderPictureHeight, width - CommandColumnWidth,
                              HeaderHeight - HeaderPictureHeight);
    const int barWidth = f.SectionBar->width(), barHeight = f.SectionBar->height();
    f.SectionLabel->setGeometry(14, 0, barWidth * 2 / 3, barHeight);
    f.ItemIndexPanel->setGeometry(barWidth - ItemIndexWidth - ItemIndexRightGap, 0, ItemIndexWidth, barHeight);
    f.ItemIndexLabel->setGeometry(0, 0, ItemIndexWidth, barHeight);
    // The brand logo at the right end, the extra logo beside it.
    const int logoWidth = f.FotavoLogo->width() > 1 ? f.FotavoLogo->width() : 176;
    f.FotavoLogo->setGeometry(width - logoWidth, 0, logoWidth, HeaderPictureHeight);
    const QSize extra = f.ExtraBranding->size();
    f.ExtraBranding->move(width - logoWidth - extra.width() - 8, (HeaderPictureHeight - extra.height()) / 2);

    const int middle = height - HeaderHeight - ExitBarHeight;
    f.CommandColumn->setGeometry(0, HeaderHeight, CommandColumnWidth, middle);
    f.ToolBarNoteBook->setGeometry((CommandColumnWidth - ToolBarWidth) / 2, 0, ToolBarWidth, middle);
    f.ViewNotebook->setGeometry(CommandColumnWidth, HeaderHeight, width - CommandColumnWidth, middle);
    const int pageWidth = f.ViewNotebook->width(), pageHeight = f.ViewNotebook->height();
    f.ClickRollLabel->setGeometry(0, 0, pageWidth, CaptionHeight);
    f.RollContainer->setGeometry(0, CaptionHeight, pageWidth, pageHeight - CaptionHeight);
    f.ClickThumbLabel->setGeometry(0, 0, pageWidth, CaptionHeight);
    f.ThumbContainer->setGeometry(12, CaptionHeight, pageWidth - 12, pageHeight - CaptionHeight);
    f.FullViewContainer->setGeometry(pageWidth - FilmstripWidth, 0, FilmstripWidth, pageHeight);
    f.FullViewPanel->setGeometry(0, 0, pageWidth - FilmstripWidth, pageHeight - BottomBarHeight);
    f.BottomBar->setGeometry(0, pageHeight - BottomBarHeight, pageWidth - FilmstripWidth, BottomBarHeight);
    f.WarningLabel->setGeometry(12, 0, std::max(f.BottomBar->width() - 24, 0), BottomBarHeight);

    f.ExitBar->setGeometry(0, height - ExitBarHeight, width, ExitBarHeight);
    f.MainMenuBtn->move(8, (ExitBarHeight - f.MainMenuBtn->height()) / 2);
    const QSize caption = f.QuitCaption->TextSize();
    f.QuitCaption->setGeometry(width - caption.width() - 12, 0, caption.width() + 4, ExitBarHeight);
    f.QuitButton->move(f.QuitCaption->x() - f.QuitButton->width() - 6, (ExitBarHeight - f.QuitButton->height()) / 2);
}
