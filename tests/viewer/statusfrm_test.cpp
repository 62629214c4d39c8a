// The shared windows: the status window's nesting, growth, cancel and its
// refusal to be closed; the message boxes' caption and trace.
#include "shell/messages.h"
#include "viewer/statusfrm.h"
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

TEST(TStatusWindow, NestedShowsNeedAsManyEndsAndNeverShrink) {
    QWidget other;
    other.show();
    TStatus status;
    status.ShowStatus(soCancelButton | soProgressBar | soMoreLines, "Printing");
    const int tall = status.height();
    EXPECT_TRUE(status.isVisible());
    EXPECT_FALSE(other.isEnabled());  // the program's other windows wait
    EXPECT_EQ(status.windowTitle(), "Printing");
    status.ShowStatus(0, QString());  // shorter target: no shrinking
    EXPECT_EQ(status.height(), tall);
    EXPECT_EQ(status.ShowCount, 2);
    status.EndStatus();
    EXPECT_TRUE(status.isVisible());
    // The user cannot close it while it shows.
    EXPECT_FALSE(status.close());
    EXPECT_TRUE(status.isVisible());
    status.EndStatus();
    EXPECT_FALSE(status.isVisible());
    EXPECT_TRUE(other.isEnabled());
}

TEST(TStatusWindow, OptionsShapeTheWindowAndCancelIsNoticed) {
    TStatus status;
    status.ShowStatus(soCancelButton | soProgressBar, QString());
    const int full = status.height();
    status.EndStatus();
    status.ShowStatus(0, QString());
    EXPECT_FALSE(status.Form.ButtonPanel->isVisible());
    EXPECT_FALSE(status.Form.ProgressPanel->isVisible());
    EXPECT_EQ(status.height(), full - 33 - 23);
    status.EndStatus();

    status.ShowStatus(soCancelButton | soProgressBar | soLeftText, QString());
    EXPECT_TRUE(status.Form.JobLabel->alignment() & Qt::AlignLeft);
    bool asked = false;
    status.OnCancel = [&](TStatus*, bool& cancel) {
        asked = true;
        EXPECT_TRUE(cancel);
    };
    status.SetProgress(140);
    EXPECT_EQ(status.Form.ProgressBar->value(), 100);
    EXPECT_FALSE(status.IsCancelled());
    status.Form.Cancel->click();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(status.IsCancelled());
    // A long text makes the window taller, about its centre.
    const int before = status.height();
    status.SetJobText(QString("A job with a long description. ").repeated(12));
    EXPECT_GT(status.height(), before);
    status.EndStatus();
    EXPECT_FALSE(status.OnCancel);  // cleared when it hides
}

TEST(MessageBoxes, CaptionIsTheTitleAndTheTemplateIsFilled) {
    std::vector<TMessageBoxRequest> shown;
    SetMessageBoxRecorder([&](const TMessageBoxRequest& request) {
        shown.push_back(request);
        return request.Buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::Ok;
    });
    InfoBox("Image %1!d! of %2!d!", {3, 12});
    WarningBox("plain");
    ErrorBox("%1 failed", {"Printing"});
    EXPECT_FALSE(AskBox("Go on?", TMessageIcon::Question));
    SetMessageBoxRecorder(nullptr);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].Text, "Image 3 of 12");
    EXPECT_EQ(shown[2].Text, "Printing failed");
    EXPECT_EQ(shown[2].Icon, TMessageIcon::Error);
    EXPECT_EQ(shown[3].Buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_FALSE(shown[0].Caption.isEmpty());
}
