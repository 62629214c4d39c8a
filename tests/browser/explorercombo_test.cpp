// The folder field and its drop-down tree, driven by real clicks and keys.
#include "browser/explorercombo.h"
#include "browser/treeform.h"
#include "support/fixtures.h"
#include "support/screenshots.h"
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyleHints>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Browser;

namespace {

// A dialog-like window with the field between a label and another field,
// browsing a made-up home folder and disc.
struct TBrowserWindow {
    TTempFolder Temp;
    QWidget Window;
    TExplorerCombo* Combo = new TExplorerCombo(&Window);
    QLineEdit* Next = new QLineEdit(&Window);
    QString Home = QDir::cleanPath(Temp.Make("home/user"));
    QStringList Events;

    TBrowserWindow() {
        for (const char* f : {"Desktop", "Documents/Letters", "Pictures/My Photos", "Pictures/Summer 2001",
                              "Pictures2"})
            Temp.Make(QString("home/user/") + f);
        Temp.Write("home/user/Pictures/My Photos/frame01.jpg", QByteArray(150000, 'j'));
        Temp.Write("home/user/Pictures/My Photos/frame02.jpg", QByteArray(90000, 'j'));
        Temp.Make("disc/Rolls/Roll 1");
        Combo->SetRoots({{"Desktop", Home + "/Desktop", TNodeKind::Desktop},
                         {"Home", Home, TNodeKind::Home},
                         {"PHOTODISC", QDir::cleanPath(Temp.Path() + "disc"), TNodeKind::Disc}});
        auto* label = new QLabel("Destination Directory", &Window);
        // Wide enough for the whole temporary path in the picture.
        label->setGeometry(12, 10, 420, 18);
        Combo->setGeometry(12, 30, 420, Combo->sizeHint().height());
        Next->setGeometry(12, 62, 420, Next->sizeHint().height());
        Window.resize(444, 100);
        QObject::connect(Combo, &TExplorerCombo::OnBrowserClosed, [this] { Events << "closed"; });
        QObject::connect(Combo, &TExplorerCombo::OnBrowserChangedDirectory, [this] { Events << "changed"; });
        Window.show();
        Window.activateWindow();  // also where no window manager does it
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
    }
    QTreeWidget* Tree() const { return Combo->Tree()->TreeView(); }
    QTimer* AutoClose() const { return Combo->Tree()->DoubleClickTimer(); }
    bool Open() const { return Combo->Tree()->isVisible(); }
    QTreeWidgetItem* Item(const QString& name) const {
        const auto found = Tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    QPoint NameOf(const QString& name) const { return Tree()->visualItemRect(Item(name)).center(); }
    QPoint ExpanderOf(const QString& name) const {
        const QRect r = Tree()->visualItemRect(Item(name));
        return QPoint(r.left() - Tree()->indentation() / 2, r.center().y());
    }
    QPoint DropButton() const { return QPoint(Combo->width() - 8, Combo->height() / 2); }
    void OpenAt(const QString& text) {
        Combo->SetText(text);
        QTest::keyClick(Combo->Edit(), Qt::Key_Down, Qt::AltModifier);
        // What the window system says about the opening does not close it.
        QCoreApplication::processEvents();
        EXPECT_TRUE(Open());
    }
};

int AutoCloseMs() { return AutoCloseInterval(QGuiApplication::styleHints()->mouseDoubleClickInterval()); }

} // namespace

TEST(ExplorerCombo, OpeningSelectsTheTypedFolderUnderTheFieldAndTellsWhatItHolds) {
    TBrowserWindow w;
    w.Combo->SetBrowserHeight(20);
    const QString typed = w.Home + "/Pictures/My Photos/";
    w.OpenAt(typed);
    const QRect popup = w.Combo->Tree()->geometry();
    EXPECT_EQ(popup.topLeft(), w.Combo->mapToGlobal(QPoint(0, w.Combo->height())));
    EXPECT_EQ(popup.size(), QSize(w.Combo->width(), 50));
    EXPECT_EQ(w.Combo->BrowserHeight(), 50);
    EXPECT_EQ(w.Combo->Tree()->SelectedPath(), w.Home + "/Pictures/My Photos");
    EXPECT_TRUE(w.Item("Pictures")->isExpanded());
    EXPECT_EQ(w.Combo->Tree()->StatusText(), "0 folder(s).  2 file(s).  234 K.");
    EXPECT_EQ(w.Combo->Text(), typed);
    EXPECT_FALSE(w.AutoClose()->isActive());

    // Nothing chosen: closed, but the directory did not change.
    QTest::keyClick(w.Tree(), Qt::Key_Escape);
    EXPECT_FALSE(w.Open());
    EXPECT_EQ(w.Events, QStringList{"closed"});
    EXPECT_TRUE(w.Combo->Edit()->hasFocus());

    // A path that is not there, or only its start, keeps the selection.
    for (const QString& missing : QStringList{w.Home + "/Pictures/Missing", w.Home + "/Pict", "/nowhere/at/all"}) {
        w.Combo->CloseGuardTimer()->stop();
        w.OpenAt(missing);
        EXPECT_EQ(w.Combo->Tree()->SelectedPath(), w.Home + "/Pictures/My Photos") << missing.toStdString();
        QTest::keyClick(w.Tree(), Qt::Key_Escape);
    }
    // A path equal to a root selects that root.
    w.Combo->CloseGuardTimer()->stop();
    w.OpenAt(w.Home);
    EXPECT_EQ(w.Tree()->currentItem(), w.Item("Home"));
}

TEST(ExplorerCombo, AClickChoosesAFolderAndClosesTheTreeAfterTheAutoCloseTimeADoubleClickAtOnce) {
    TBrowserWindow w;
    w.OpenAt(w.Home + "/Documents");
    QTest::mouseClick(w.Tree()->viewport(), Qt::LeftButton, {}, w.NameOf("Pictures2"));
    EXPECT_EQ(w.Combo->Text(), w.Home + "/Pictures2");
    EXPECT_TRUE(w.AutoClose()->isActive());
    EXPECT_EQ(w.AutoClose()->interval(), AutoCloseMs());

    // The expander keeps the tree open: it stops the timer and chooses nothing.
    QTest::mouseClick(w.Tree()->viewport(), Qt::LeftButton, {}, w.ExpanderOf("Pictures"));
    EXPECT_TRUE(w.Item("Pictures")->isExpanded());
    EXPECT_FALSE(w.AutoClose()->isActive());
    EXPECT_EQ(w.Combo->Text(), w.Home + "/Pictures2");
    ASSERT_TRUE(w.Open());

    QTest::mouseClick(w.Tree()->viewport(), Qt::LeftButton, {}, w.NameOf("Summer 2001"));
    ASSERT_TRUE(w.AutoClose()->isActive());
    QMetaObject::invokeMethod(w.AutoClose(), "timeout");
    EXPECT_FALSE(w.Open());
    EXPECT_EQ(w.Events, (QStringList{"closed", "changed"}));
    EXPECT_EQ(w.Combo->Text(), w.Home + "/Pictures/Summer 2001");

    // A double-click closes the tree at once, but not on an expander.
    w.Combo->CloseGuardTimer()->stop();
    w.OpenAt(w.Home + "/Pictures2");
    QTest::mouseDClick(w.Tree()->viewport(), Qt::LeftButton, {}, w.ExpanderOf("Documents"));
    EXPECT_TRUE(w.Open());
    QTest::mouseDClick(w.Tree()->viewport(), Qt::LeftButton, {}, w.NameOf("Documents"));
    EXPECT_FALSE(w.Open());
}

TEST(ExplorerCombo, APressOnTheButtonRightAfterAClosingDoesNotReopenTheTree) {
    TBrowserWindow w;
    QTest::mouseClick(w.Combo, Qt::LeftButton, {}, w.DropButton());
    ASSERT_TRUE(w.Open());
    // The press outside the pop-up closes it, as the window system delivers it.
    QTest::mouseClick(w.Window.windowHandle(), Qt::LeftButton, {}, w.Combo->geometry().topLeft() + w.DropButton());
    EXPECT_FALSE(w.Open());
    EXPECT_EQ(w.Combo->CloseGuardTimer()->interval(), 250);
    QTest::mouseClick(w.Combo, Qt::LeftButton, {}, w.DropButton());
    EXPECT_FALSE(w.Open());
    w.Combo->CloseGuardTimer()->stop();  // the 250 ms are over
    QTest::mouseClick(w.Combo, Qt::LeftButton, {}, w.DropButton());
    EXPECT_TRUE(w.Open());
    // Moving the window under the tree closes it once the window has moved.
    w.Window.move(w.Window.pos() + QPoint(10, 0));
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.Open());
}

TEST(ExplorerCombo, KeysMoveInTheTreeAndCloseIt) {
    TBrowserWindow w;
    w.OpenAt(w.Home + "/Documents");
    QTest::keyClicks(w.Tree(), "pi");
    EXPECT_EQ(w.Combo->Text(), w.Home + "/Pictures");
    // "p" moved and so stopped the timer; "i" did not move and holds it off.
    EXPECT_EQ(w.AutoClose()->interval(), HoldMs);
    QTest::keyClick(w.Tree(), Qt::Key_Right);
    EXPECT_TRUE(w.Item("Pictures")->isExpanded());
    QTest::keyClick(w.Tree(), Qt::Key_Down);
    EXPECT_EQ(w.Combo->Text(), w.Home + "/Pictures/My Photos");
    // Tab closes the tree and moves on to the next field.
    QTest::keyClick(w.Tree(), Qt::Key_Tab);
    EXPECT_FALSE(w.Open());
    EXPECT_TRUE(w.Next->hasFocus());

    const std::pair<Qt::Key, Qt::KeyboardModifiers> closing[] = {
        {Qt::Key_Return, {}}, {Qt::Key_Enter, Qt::KeypadModifier}, {Qt::Key_Escape, {}},
        {Qt::Key_F4, {}},     {Qt::Key_Up, Qt::AltModifier},       {Qt::Key_Down, Qt::AltModifier}};
    for (const auto& [key, modifiers] : closing) {
        w.Combo->CloseGuardTimer()->stop();
        QTest::keyClick(w.Combo->Edit(), Qt::Key_F4);
        ASSERT_TRUE(w.Open());
        QTest::keyClick(w.Tree(), key, modifiers);
        EXPECT_FALSE(w.Open()) << key;
    }
}

TEST(ExplorerCombo, TypedTextPassesTheKeyEventsAndTabLeavesIt) {
    TBrowserWindow w;
    w.Combo->setFocus();
    int downs = 0, ups = 0;
    QObject::connect(w.Combo, &TExplorerCombo::OnKeyDown, [&](QKeyEvent*) { ++downs; });
    QObject::connect(w.Combo, &TExplorerCombo::OnKeyUp, [&](QKeyEvent*) { ++ups; });
    // A handler that accepts a character keeps it from the field.
    QObject::connect(w.Combo, &TExplorerCombo::OnKeyPress, [](QKeyEvent* e) { e->setAccepted(e->text() == "#"); });
    QTest::keyClicks(w.Combo->Edit(), "/typed#/path");
    QTest::keyClick(w.Combo->Edit(), Qt::Key_Tab);
    EXPECT_EQ(w.Combo->Text(), "/typed/path");
    EXPECT_EQ(downs, 13);
    EXPECT_EQ(ups, 13);
    EXPECT_TRUE(w.Next->hasFocus());
}

TEST(ExplorerCombo, AFolderThatCannotBeReadSaysSoOnceInTheStatusLine) {
    if (RunningAsRoot()) GTEST_SKIP() << "root reads every folder";
    TBrowserWindow w;
    w.Temp.Make("home/user/Locked/inner");
    chmod(QFile::encodeName(w.Home + "/Locked").constData(), 0);
    w.OpenAt(w.Home + "/Documents");
    w.Item("Locked")->setExpanded(true);
    EXPECT_EQ(w.Item("Locked")->childCount(), 0);
    EXPECT_EQ(w.Combo->Tree()->StatusText(), "Cannot create binding for object \"Locked\"");
    QTest::mouseClick(w.Tree()->viewport(), Qt::LeftButton, {}, w.NameOf("Locked"));
    EXPECT_EQ(w.Combo->Tree()->StatusText(), "Cannot create binding for object \"Locked\"");
    chmod(QFile::encodeName(w.Home + "/Locked").constData(), 0700);
}

TEST(ExplorerCombo, TheArrowMovesWhenOpenAndIsEmbossedWhenDisabled) {
    TBrowserWindow w;
    const QRect button(w.Combo->width() - 25, 0, 25, w.Combo->height());
    auto box = [&](QColor color) {  // where Color is painted on the button
        const QImage image = w.Combo->grab().toImage();
        QRect found;
        for (int y = 0; y < button.height(); ++y)
            for (int x = button.left(); x <= button.right(); ++x)
                if (image.pixelColor(x, y) == color) found |= QRect(x, y, 1, 1);
        return found;
    };
    const QColor text = w.Combo->palette().color(QPalette::Active, QPalette::ButtonText);
    const QRect closed = box(text);
    ASSERT_FALSE(closed.isEmpty());
    EXPECT_LT(w.Combo->Edit()->geometry().right(), closed.left() - 5);
    w.Combo->DropDown();
    EXPECT_EQ(box(text), closed.translated(1, 1));
    w.Combo->Tree()->CloseBrowser();
    w.Combo->setEnabled(false);
    EXPECT_FALSE(w.Combo->Edit()->isEnabled());
    EXPECT_EQ(box(w.Combo->palette().color(QPalette::Disabled, QPalette::ButtonText)), closed);
    EXPECT_EQ(box(w.Combo->palette().color(QPalette::Light)).bottomRight(), closed.bottomRight() + QPoint(1, 1));
}

TEST(ExplorerCombo, Screenshot) {
    TBrowserWindow w;
    w.OpenAt(w.Home + "/Pictures/My Photos");
    QCoreApplication::processEvents();
    const QRect window = w.Window.geometry(), popup = w.Combo->Tree()->geometry();
    const QRect all = window | popup;
    QImage shot(all.size(), QImage::Format_RGB32);
    shot.fill(w.Window.palette().color(QPalette::Window));
    QPainter painter(&shot);
    painter.drawPixmap(window.topLeft() - all.topLeft(), w.Window.grab());
    painter.drawPixmap(popup.topLeft() - all.topLeft(), w.Combo->Tree()->grab());
    painter.end();
    EXPECT_TRUE(SaveImageScreenshot(shot, "folder-browser-open"));
}
