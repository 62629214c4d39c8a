#pragma once
// TEmailAddresser: the recipient list of the e-mail page. It owns a hidden
// TAddressForm and shows that form's Grid filling itself: one row per
// recipient, a narrow Type cell (a button when ShowTypeButtons; a click
// opens the menu "&To", "&Cc", "&Bc") and the Entry, edited in place as in a
// spreadsheet. Rows a resolver filled are underlined. The rules of the
// editing are TAddressList's; the grid only shows them and hands it the
// keys, clicks and focus changes.
//
// Keys: Enter goes to the row below (a new one after a filled last row);
// Up and Down move between rows; Left and Right move in the text and, past
// its ends, between Type and Entry; End in the Type cell goes to the end of
// the entry; Delete in an empty entry removes its row (never the only one);
// Space in the Type cell opens the menu; Tab leaves the grid.
#include "sharing/addresslist.h"
#include <QAbstractTableModel>
#include <QFont>
#include <QTableView>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class QMenu;
class TAddressDelegate;
class TAddressForm;

// Asked to edit the address of a resolved row (by its index).
using TEditAddressEvent = std::function<void(int index)>;
using TNotifyEvent = std::function<void()>;

// The grid's table: the rows of a TAddressList, columns Type, Entry, Address.
class TAddressModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TAddressModel(TAddressForm& form, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // After the list changed: rows added or removed, or only texts.
    void Refresh();

private:
    TAddressForm& FForm;
    int FRows;
};

class TAddressGrid : public QTableView {
    Q_OBJECT
public:
    TAddressGrid(TAddressForm& form, QWidget* parent);
    // The open editor of the entry, if any.
    QLineEdit* Editor() const;
    // Moves the focus on from the editor, as Tab does from a field.
    void TabOut(bool forward);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    TAddressForm& FForm;
    bool FTabbingOut = false;
};

// The form behind the addresser: the list, its grid and the type menu. It is
// never shown itself; the addresser shows its Grid.
class TAddressForm : public QWidget {
    Q_OBJECT
public:
    TAddressForm();
    ~TAddressForm() override;

    TAddressList List;
    TAddressGrid* Grid;
    TAddressModel* Model;
    QMenu* TypeMenu;

    // What the cells look like, set by the addresser.
    struct TLook {
        QColor CellColor;
        QColor TextColor;
        QFont CellFont;
        bool ShowTypeButtons = true;
        bool ShowHorizontalLines = true;
    };
    const TLook& Look() const { return FLook; }
    void SetLook(const TLook& look);

    TEditAddressEvent OnEditAddress;
    TNotifyEvent OnDblClick;

    // Shows the list's state: rows, texts, the current cell and its editor.
    void Sync();
    // A key in the grid or its editor (null in the Type cell); true when the
    // list took it.
    bool HandleKey(QKeyEvent* event, QLineEdit* editor);
    // The typed text of the current entry.
    void EntryEdited(int row, const QString& text);
    // Opens the type menu under Row's Type cell.
    void PopupTypeMenu(int row);
    void DoubleClicked(int row);
    bool Syncing() const { return FSyncing; }
    // True for the grid, its editor and the open menu.
    bool InGrid(const QWidget* widget) const;

private:
    void FocusChanged(QWidget* old, QWidget* now);
    void ChooseType(TAddressType type);

    std::unique_ptr<TAddressGrid> FGrid;  // shown in the addresser, owned here
    TAddressDelegate* FDelegate;
    TLook FLook;
    int FMenuRow = -1;
    bool FSyncing = false;
    QMetaObject::Connection FFocusConnection;
};

class TEmailAddresser : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)
    Q_PROPERTY(bool ParentCellColor READ ParentCellColor WRITE SetParentCellColor)
    Q_PROPERTY(bool ShowTypeButtons READ ShowTypeButtons WRITE SetShowTypeButtons)
    Q_PROPERTY(QString DefaultAddressee READ DefaultAddressee WRITE SetDefaultAddressee)
    Q_PROPERTY(QColor CellColor READ CellColor WRITE SetCellColor)
    Q_PROPERTY(QFont CellFont READ CellFont WRITE SetCellFont)
    Q_PROPERTY(bool ShowHorizontalLines READ ShowHorizontalLines WRITE SetShowHorizontalLines)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)

public:
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    explicit TEmailAddresser(QWidget* parent = nullptr);
    ~TEmailAddresser() override;

    int Count() const { return FForm->List.Count(); }
    // False, and nothing filled, for an index outside 0 .. Count - 1.
    bool GetItem(int index, QString& type, QString& entry, QString& address) const {
        return FForm->List.GetItem(index, type, entry, address);
    }
    // Finishes the entry being typed as leaving the grid would (its split
    // and the default addressee), for a reader whose button takes no focus.
    void FinishEditing();

    // Events; none is set in the program.
    void SetOnResolve(TAddressResolver resolver) { FForm->List.SetResolver(std::move(resolver)); }
    void SetOnEditAddress(TEditAddressEvent event) { FForm->OnEditAddress = std::move(event); }
    void SetOnDblClick(TNotifyEvent event) { FForm->OnDblClick = std::move(event); }

    // The background around the cells: the palette's base colour unless
    // set, the parent's window colour with ParentColor.
    QColor Color() const;
    void SetColor(const QColor& color);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool on);
    // The cells: the base colour unless set, Color with ParentCellColor.
    QColor CellColor() const;
    void SetCellColor(const QColor& color);
    bool ParentCellColor() const { return FParentCellColor; }
    void SetParentCellColor(bool on);
    QFont CellFont() const { return FCellFont.value_or(font()); }
    void SetCellFont(const QFont& font);
    bool ShowTypeButtons() const { return FForm->Look().ShowTypeButtons; }
    void SetShowTypeButtons(bool on);
    bool ShowHorizontalLines() const { return FForm->Look().ShowHorizontalLines; }
    void SetShowHorizontalLines(bool on);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle style);
    QString DefaultAddressee() const { return FForm->List.DefaultAddressee(); }
    void SetDefaultAddressee(const QString& text) { FForm->List.SetDefaultAddressee(text); }

    TAddressForm* AddressForm() const { return FForm.get(); }
    QSize sizeHint() const override { return {220, 193}; }

protected:
    void changeEvent(QEvent* event) override;

private:
    // Hands the colours, fonts and border to the grid.
    void ApplyLook();

    std::unique_ptr<TAddressForm> FForm;
    std::optional<QColor> FColor;
    std::optional<QColor> FCellColor;
    std::optional<QFont> FCellFont;
    bool FParentColor = false;
    bool FParentCellColor = false;
    TBorderStyle FBorderStyle = bsSingle;
};
