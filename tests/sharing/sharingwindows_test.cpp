// The sharing windows' main pages as they open, photographed at the screen's
// device pixel ratio (the 2x run of tests/CMakeLists.txt writes "-2x" ones):
// the print status window while a photo prints, the upload wizard's Select
// page with its code-drawn buttons and its skin picture.
#include "collection/roll.h"
#include "forms/uploadwizardform.h"
#include "imaging/smoothlabel3d.h"
#include "shell/pictures.h"
#include "shell/skin.h"
#include "shell/strings.h"
#include "support/screenshots.h"
#include "viewer/halvornbmpbutton.h"
#include "viewer/iconcontainer.h"
#include "viewer/lumorafrm.h"
#include "viewer/statusfrm.h"
#include "viewer/windowfixture.h"
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>

namespace {

class SharingWindows : public TWindowFixture {
protected:
    void SetUp() override {
        TWindowFixture::SetUp();
        CreateSharedWindows();
    }
    void TearDown() override {
        TWindowFixture::TearDown();
        FreeSharedWindows();
    }
    // The window as its screen shows it, in device pixels.
    static QImage Shot(QWidget& widget) { return widget.grab().toImage(); }
};

} // namespace

TEST_F(SharingWindows, ThePrintStatusWindowWhileAPhotoPrints) {
    Start(MakeDisc(1));
    TStatus& status = *Status();
    status.SetJobText(ResText(TStr::PrintingImageFile, {QStringLiteral("r-1.jpg"), 1, 1}));
    status.ShowStatus(soCancelButton | soProgressBar, ResString(TStr::PrintingImages));
    status.SetProgress(40);
    QCoreApplication::processEvents();
    EXPECT_EQ(Shot(status).size(), status.size() * status.devicePixelRatio());
    EXPECT_TRUE(SaveScreenshot(status, "print-status"));
    status.EndStatus();
}

// Built from the layout alone (the wizard's own behaviour is not needed for
// its looks): the roll's thumbnails in the grid, two of them chosen.
TEST_F(SharingWindows, TheUploadWizardsSelectPage) {
    TLumoraFrm& w = Start(MakeDisc(1, {}, "Tiny,Medium", 8));
    TRoll* roll = w.CurrentRoll();
    ASSERT_NE(roll, nullptr);
    ASSERT_TRUE(WaitFor([&] {
        for (int i = 0; i < roll->Count(); ++i)
            if (!roll->Items(i)->HasThumbnail()) return false;
        return true;
    }));

    QWidget form;
    TUploadWizardForm f;
    BuildUploadWizardForm(&form, f);
    const TSkinPicture side = GetSkinPicture(XLumResGroup, QStringLiteral("0101"));
    ASSERT_EQ(side.Image.size(), QSize(130, 414));
    f.WizardImage->setPixmap(PixmapAtRatio(side.Image, side.Sharp, form.devicePixelRatioF()));
    f.ImageSelectionLabel->SetCaption(ResString(TStr::SelectImagesToUpload));
    f.Pages->setCurrentIndex(WizardPage::Select);
    QObject::connect(f.IconContainer, &TIconContainer::OnIconDraw,
                     [roll](TIconContainer* sender, int index, QPainter* canvas, const QRect& rect) {
                         if (sender->Selector().IsSelected(index)) canvas->fillRect(rect, QColor(0, 0, 128));
                         roll->Items(index)->DrawThumbnail(*canvas, rect.adjusted(4, 4, -4, -4));
                     });
    f.IconContainer->SetIconCount(roll->Count());
    f.IconContainer->Selector().Select(1);
    f.IconContainer->Selector().Select(4);
    f.PreviousButton->SetEnabled(false);
    form.show();
    QCoreApplication::processEvents();

    // The buttons' pictures come with twins drawn at twice the scale.
    for (THalvornBmpButton* button : {f.SelectAllButton, f.NextButton, f.CancelButton}) {
        ASSERT_FALSE(button->PictureUp().isNull());
        EXPECT_EQ(button->SharpPictureUp().size(), button->PictureUp().size() * 2);
    }
    EXPECT_EQ(Shot(form).size(), form.size() * form.devicePixelRatio());
    EXPECT_TRUE(SaveScreenshot(form, "upload-wizard-select"));
}
