#pragma once
// TExplorerCombo: a one-line folder field with a drop button that opens a
// tree of the machine's folders (TTreeForm) right under it. Choosing a folder
// writes its path into the field; the field can also be typed into freely.
//
// Keys in the field: Alt+Up, Alt+Down and F4 open the tree. In the tree:
// arrows, Left/Right, type-ahead and the wheel move; Enter, Esc, Alt+Up,
// Alt+Down, F4 and a double-click on a folder close it; Tab closes it and
// moves the focus on. A single click on a folder closes it after the
// double-click time and a quarter; a click on an expander keeps it open.
#include "browser/browserlogic.h"
#include <QWidget>

class QKeyEvent;
class QLineEdit;
class QTimer;
class TTreeForm;

class TExplorerCombo : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(int BrowserHeight READ BrowserHeight WRITE SetBrowserHeight)

public:
    explicit TExplorerCombo(QWidget* parent = nullptr);
    ~TExplorerCombo() override;

    QString Text() const;
    void SetText(const QString& text);
    // Height of the pop-up; raised to 50 when the tree opens.
    int BrowserHeight() const { return FBrowserHeight; }
    void SetBrowserHeight(int height) { FBrowserHeight = height; }
    // The status line's and the roots' texts, from the owner's string table.
    void SetTexts(const Browser::TBrowserTexts& texts);
    // Roots to show instead of this machine's, from the next opening on.
    void SetRoots(std::vector<Browser::TBrowserRoot> roots);

    // Opens the tree under the field with the field's text selected.
    void DropDown();
    // The close-up step, run by the tree when it closes.
    void CloseUp();
    bool DroppedDown() const { return FDroppedDown; }

    QLineEdit* Edit() const { return FEdit; }
    TTreeForm* Tree() const { return FTree; }
    QTimer* CloseGuardTimer() const { return FCloseGuardTimer; }
    QSize sizeHint() const override;

signals:
    // The field's text changed (typed, set or chosen in the tree).
    void OnChange();
    // Keys in the field. A slot that accepts the event keeps it from the field.
    void OnKeyDown(QKeyEvent* event);
    void OnKeyPress(QKeyEvent* event);  // a key with a character
    void OnKeyUp(QKeyEvent* event);
    void OnBrowserOpened();
    // Always after a close; OnBrowserChangedDirectory follows when the text is
    // not empty and differs from the text at the opening.
    void OnBrowserClosed();
    void OnBrowserChangedDirectory();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    friend class TTreeForm;
    // The tree's selection, written into the field.
    void SetTextFromBrowser(const QString& path);
    // Tab in the tree: after the close the key moves the focus on.
    void PassDialogKey(bool forward);
    bool EditKey(QKeyEvent* event);
    void CloseTreeLater();

    QLineEdit* FEdit;
    TTreeForm* FTree;
    QTimer* FCloseGuardTimer;
    QWidget* FHookedWindow = nullptr;
    int FButtonWidth;
    int FBrowserHeight = Browser::DefaultBrowserHeight;
    QString FSavedText;
    bool FDroppedDown = false;
};
