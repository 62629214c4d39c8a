// The recipient grid as a person uses it on the e-mail page: real clicks,
// keys, the type menu and the focus leaving for the next field.
#include "sharing/emailaddresser.h"
#include "support/screenshots.h"
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The e-mail page's corner: "Recipients:" over the list (273 x 97, as the
// page places it) and the subject field after it.
struct TPage {
    QWidget Window;
    TEmailAddresser* Addresser = new TEmailAddresser(&Window);
    QLineEdit* Subject = new QLineEdit(&Window);

    explicit TPage(bool dark = true) {
        if (dark) {
            Window.setAutoFillBackground(true);
            QPalette palette = Window.palette();
            palette.setColor(QPalette::Window, QColor(10, 14, 30));
            palette.setColor(QPalette::WindowText, QColor(200, 214, 240));
            Window.setPalette(palette);
        }
        auto* label = new QLabel("Recipients:", &Window);
        label->setGeometry(12, 8, 120, 20);
        Addresser->setObjectName("EmailAddresser");
        Addresser->setGeometry(12, 30, 273, 97);
        Subject->setGeometry(12, 136, 273, 24);
        Window.resize(297, 300);  // room for the type menu below the list
        Window.show();
        Window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
    }
    TAddressForm& Form() const { return *Addresser->AddressForm(); }
    QLineEdit* Editor() const { return Form().Grid->Editor(); }
    QPoint CellCentre(int row, TAddressColumn column) const {
        return Form().Grid->visualRect(Form().Model->index(row, int(column))).center();
    }
    QMenu* Menu() const { return Form().TypeMenu; }

    // Steps as in the list's tests, done with the mouse and the keyboard:
    // "=text" types, key names press keys, "click R T" or "click R E" clicks
    // a cell, "below" clicks under the rows, "menu Cc" takes a menu item by
    // its letter, "leave" tabs to the subject, "focus" clicks the grid's
    // current cell.
    void Step(const std::string& step) {
        const QString s = QString::fromStdString(step);
        const QStringList w = s.split(' ');
        static const std::map<QString, Qt::Key> keys = {
            {"Enter", Qt::Key_Return}, {"Up", Qt::Key_Up},     {"Down", Qt::Key_Down}, {"Left", Qt::Key_Left},
            {"Right", Qt::Key_Right},  {"Home", Qt::Key_Home}, {"End", Qt::Key_End},   {"Delete", Qt::Key_Delete},
            {"Space", Qt::Key_Space}};
        QWidget* viewport = Form().Grid->viewport();
        if (s.startsWith('=')) {
            ASSERT_TRUE(Editor()) << "no editor to type into at " << step;
            QTest::keyClicks(Editor(), s.mid(1));
        } else if (keys.count(s)) {
            QTest::keyClick(QApplication::focusWidget(), keys.at(s));
        } else if (w[0] == "click") {
            QTest::mouseClick(viewport, Qt::LeftButton, {},
                              CellCentre(w[1].toInt(), w[2] == "T" ? TAddressColumn::Type : TAddressColumn::Entry));
        } else if (s == "below") {
            QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(viewport->width() / 2, viewport->height() - 3));
        } else if (w[0] == "menu") {
            ASSERT_TRUE(Menu()->isVisible()) << step;
            QTest::keyClick(Menu(), w[1][0].toLatin1());
        } else if (s == "leave") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        } else {
            FAIL() << "unknown step " << step;
        }
    }

    // "Type:Entry" per row through GetItem, joined by " | ".
    std::string Rows() const {
        QStringList rows;
        QString type, entry, address;
        for (int i = 0; Addresser->GetItem(i, type, entry, address); ++i)
            rows << type + ':' + entry + (address.isEmpty() ? QString() : '<' + address + '>');
        return rows.join(" | ").toStdString();
    }
    // The current cell as the person sees it: the entry's editor open and
    // focused ("1E"), the type cell focused without one ("1T"), or the focus
    // elsewhere ("out").
    std::string Where() const {
        const TAddressList& list = Form().List;
        const QWidget* focus = QApplication::focusWidget();
        if (!Form().InGrid(focus)) return "out";
        const bool editing = Editor() && focus == Editor();
        if (list.CurrentColumn() == TAddressColumn::Entry && !editing) return "entry without its editor";
        if (list.CurrentColumn() == TAddressColumn::Type && focus != Form().Grid) return "type cell without the focus";
        return std::to_string(list.CurrentRow()) + (editing ? "E" : "T");
    }
};

} // namespace

TEST(EmailAddresser, AnEntryWithSemicolonsBecomesRowsOfTheTypeChosenInTheMenu) {
    TPage page;
    for (const char* step : {"click 0 T", "menu Cc", "Right", "=a@x.org; b@x.org;; c@x.org", "leave"})
        page.Step(step);
    EXPECT_EQ(page.Rows(), "Cc:a@x.org | Cc:b@x.org | Cc:c@x.org");
    EXPECT_EQ(page.Where(), "out");
    EXPECT_EQ(QApplication::focusWidget(), page.Subject);
}

TEST(EmailAddresser, KeysAndClicksEditTheRows) {
    const struct {
        const char* Name;
        std::vector<std::string> Steps;
        const char* Rows;
        const char* Where;
    } cases[] = {
        {"a new list: one To row, its entry open on entering", {"click 0 E"}, "To:", "0E"},
        {"Enter after a filled last row adds a To row", {"click 0 T", "menu Bcc", "Right", "=a", "Enter"}, "Bcc:a | To:", "1E"},
        {"Enter on an empty last row adds nothing", {"click 0 E", "=a", "Enter", "Enter"}, "To:a | To:", "1E"},
        {"Enter after a split goes below its rows", {"click 0 E", "=a;b", "Enter", "=c"}, "To:a | To:b | To:c", "2E"},
        {"Delete in an empty entry removes its row", {"click 0 E", "=a", "Enter", "Delete"}, "To:a", "0E"},
        {"but never the only one", {"click 0 E", "Delete", "Delete"}, "To:", "0E"},
        {"Delete in a filled entry deletes a character", {"click 0 E", "=ab", "Home", "Delete"}, "To:b", "0E"},
        {"Left past the start goes to the type, Right back",
         {"click 0 E", "=ab", "Home", "Left"}, "To:ab", "0T"},
        {"Right into the entry puts the caret first", {"click 0 E", "=ab", "Home", "Left", "Right", "=x"}, "To:xab", "0E"},
        {"End from the type goes to the end of the entry", {"click 0 E", "=ab", "Home", "Left", "End", "=x"}, "To:abx", "0E"},
        {"Left and Right inside the text stay in it", {"click 0 E", "=ab", "Left", "Left", "Right", "=x"}, "To:axb", "0E"},
        {"Up and Down move between rows", {"click 0 E", "=a", "Enter", "=b", "Up", "=1", "Down", "=2"},
         "To:1 | To:2", "1E"},
        {"a click below a filled last row adds a To row", {"click 0 T", "menu Cc", "Right", "=a", "below"},
         "Cc:a | To:", "1E"},
        {"Space in the type cell opens the menu", {"click 0 E", "=a", "Home", "Left", "Space", "menu Bcc"}, "Bcc:a", "0T"},
        {"leaving a single empty row puts the default addressee in", {"click 0 E", "leave"}, "To:me@x.org", "out"},
    };
    for (const auto& c : cases) {
        TPage page;
        page.Addresser->SetDefaultAddressee("me@x.org");
        for (const std::string& step : c.Steps) page.Step(step);
        EXPECT_EQ(page.Rows(), c.Rows) << c.Name;
        EXPECT_EQ(page.Where(), c.Where) << c.Name;
    }
}

// Resolved rows are underlined until edited; the pictures of the grid, on
// the dark page and on the default palette, with the editor and the menu open.
TEST(EmailAddresser, ResolvedRowsAreUnderlinedUntilEdited) {
    TPage page;
    page.Addresser->SetOnResolve([](const QString& part, QString& name, QString& address) {
        if (part != "ann") return false;
        name = "Ann Smith";
        address = "ann@x.org";
        return true;
    });
    const auto underlined = [&](int row) {
        return page.Form().Model->index(row, int(TAddressColumn::Entry)).data(Qt::FontRole).value<QFont>().underline();
    };
    for (const char* step : {"click 0 E", "=ann; bob@x.org", "Enter", "Up", "Up"}) page.Step(step);
    EXPECT_EQ(page.Rows(), "To:Ann Smith<ann@x.org> | To:bob@x.org | To:");
    EXPECT_TRUE(underlined(0));
    EXPECT_TRUE(page.Editor()->font().underline());
    EXPECT_FALSE(underlined(1));
    page.Step("=s");
    EXPECT_EQ(page.Rows(), "To:s | To:bob@x.org | To:") << "typing over the name drops its address";
    EXPECT_FALSE(page.Editor()->font().underline());
}

TEST(EmailAddresser, Screenshots) {
    // On the dark page with the list's own colours, in the page's colours,
    // and on the default palette.
    for (const QString look : {"", "-page-colours", "-light"}) {
        TPage page(look != "-light");
        page.Addresser->SetParentColor(look == "-page-colours");
        page.Addresser->SetParentCellColor(look == "-page-colours");
        page.Addresser->SetOnResolve([](const QString& part, QString& name, QString& address) {
            if (part != "ann") return false;
            name = "Ann Smith";
            address = "ann.smith@example.org";
            return true;
        });
        for (const char* step : {"click 0 E", "=ann; bob@example.org", "Enter", "=carol@example.org", "Enter",
                                 "=dave@example.org", "Enter", "=erin@example.org"})
            page.Step(step);
        page.Form().List.SetType(2, TAddressType::Cc);
        page.Form().List.SetType(3, TAddressType::Bcc);
        page.Form().List.SetType(4, TAddressType::Cc);
        page.Form().Sync();
        // The second row's entry open, with the resolved first row in view.
        for (const char* step : {"Up", "Up", "Up", "Up", "Down", "End"}) page.Step(step);
        ASSERT_TRUE(page.Editor());
        EXPECT_TRUE(SaveScreenshot(page.Window, "address-grid-editing" + look));

        for (const char* step : {"Home", "Left", "Space"}) page.Step(step);
        ASSERT_TRUE(page.Menu()->isVisible());
        // The menu is a window of its own: drawn onto the page where it is.
        QImage picture = page.Window.grab().toImage();
        QPainter painter(&picture);
        painter.drawPixmap(page.Window.mapFromGlobal(page.Menu()->pos()), page.Menu()->grab());
        painter.end();
        EXPECT_TRUE(SaveImageScreenshot(picture, "address-grid-menu" + look));
        page.Step("menu To");
        EXPECT_EQ(page.Rows(), "To:Ann Smith<ann.smith@example.org> | To:bob@example.org | Cc:carol@example.org | "
                               "Bcc:dave@example.org | Cc:erin@example.org");
    }
}
