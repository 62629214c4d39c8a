#pragma once
// The drop-down folder tree of TExplorerCombo (form TreeForm): a borderless
// pop-up with the tree and a status line that tells what the chosen folder
// holds. Its widgets are built here rather than in forms/, which belongs to
// the viewer; the browser stays a leaf over platform/.
#include "browser/browserlogic.h"
#include <QTimer>
#include <QTreeWidgetItem>
#include <QWidget>

class QFrame;
class QStatusBar;
class QTreeWidget;
class TExplorerCombo;

// A node's folder and what was learnt about it; counted once.
class TTreeItemData : public QTreeWidgetItem {
public:
    static constexpr int ItemType = QTreeWidgetItem::UserType + 1;
    TTreeItemData(const QString& name, const QString& path, Browser::TNodeKind kind);

    QString Path;
    Browser::TNodeKind Kind;
    bool Loaded = false;
    bool Unreadable = false;
    Browser::TFolderCounts Counts;
};

class TTreeForm : public QWidget {
    Q_OBJECT

public:
    // Owner may be none: the tree then only browses.
    explicit TTreeForm(TExplorerCombo* owner);

    // Populates the tree when it is empty, selects Path when it names a
    // folder of the tree, and shows the pop-up (placed by the owner).
    void DropDown(const QString& path);
    // The close step: hides the pop-up and lets the owner close up.
    void CloseBrowser();

    void SetTexts(const Browser::TBrowserTexts& texts);
    // Roots to show instead of this machine's; the tree is built anew from
    // them at the next opening.
    void SetRoots(std::vector<Browser::TBrowserRoot> roots);
    QString SelectedPath() const;
    QString StatusText() const { return FStatusText; }

    QTreeWidget* TreeView() const { return theTreeView; }
    QTimer* DoubleClickTimer() const { return theDoubleClickTimer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Populate();
    void LoadChildren(TTreeItemData* node);
    bool SelectPath(const QString& path);
    void NodeChanged(QTreeWidgetItem* item);
    bool KeyGoingDown(const QKeyEvent& key);
    void ShowStatus(const QString& text);
    QIcon IconFor(Browser::TNodeKind kind, bool open) const;

    TExplorerCombo* FOwner;
    QFrame* thePanel;
    QTreeWidget* theTreeView;
    QStatusBar* theStatusBar;
    QTimer* theDoubleClickTimer;
    Browser::TBrowserTexts FTexts;
    std::optional<std::vector<Browser::TBrowserRoot>> FRoots;
    Browser::TNaturalOrder FOrder;
    QString FStatusText;
    bool FWorking = false;
    bool FClosing = false;
};
