#include "browser/treeform.h"
#include "browser/explorercombo.h"
#include "browser/folderlisting.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QStatusBar>
#include <QStyle>
#include <QStyleHints>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Browser;

namespace {

// The hourglass while a folder is read.
struct TWaitCursor {
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};

QString ChildPath(const QString& folder, const QString& name) {
    return folder == u"/" ? u'/' + name : folder + u'/' + name;
}

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

} // namespace

TTreeItemData::TTreeItemData(const QString& name, const QString& path, TNodeKind kind)
    : QTreeWidgetItem(QStringList{name}, ItemType), Path(path), Kind(kind) {}

TTreeForm::TTreeForm(TExplorerCombo* owner)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint), FOwner(owner) {
    setObjectName(QStringLiteral("TreeForm"));
    resize(298, 233);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    thePanel = new QFrame(this);
    thePanel->setObjectName(QStringLiteral("thePanel"));
    // Borderless as a window; a thin line keeps it apart from the dialog below.
    thePanel->setFrameStyle(QFrame::Box | QFrame::Plain);
    thePanel->setLineWidth(1);
    outer->addWidget(thePanel);
    auto* inner = new QVBoxLayout(thePanel);
    inner->setContentsMargins(1, 1, 1, 1);
    inner->setSpacing(0);

    theTreeView = new QTreeWidget(thePanel);
    theTreeView->setObjectName(QStringLiteral("theTreeView"));
    theTreeView->setHeaderHidden(true);
    theTreeView->setColumnCount(1);
    theTreeView->setIndentation(19);
    theTreeView->setFrameShape(QFrame::NoFrame);
    theTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    theTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    theTreeView->setExpandsOnDoubleClick(false);
    theTreeView->setUniformRowHeights(true);
    theTreeView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The pop-up may be as low as 50 pixels; the tree gives way to the status line.
    theTreeView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    // The chosen folder stays marked while the focus is elsewhere.
    QPalette palette = theTreeView->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    theTreeView->setPalette(palette);
    inner->addWidget(theTreeView, 1);

    theStatusBar = new QStatusBar(thePanel);
    theStatusBar->setObjectName(QStringLiteral("theStatusBar"));
    theStatusBar->setSizeGripEnabled(false);
    inner->addWidget(theStatusBar);

    theDoubleClickTimer = new QTimer(this);
    theDoubleClickTimer->setObjectName(QStringLiteral("theDoubleClickTimer"));
    theDoubleClickTimer->setSingleShot(true);
    connect(theDoubleClickTimer, &QTimer::timeout, this, &TTreeForm::CloseBrowser);

    connect(theTreeView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { NodeChanged(current); });
    connect(theTreeView, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        auto* node = static_cast<TTreeItemData*>(item);
        LoadChildren(node);
        if (node->Kind == TNodeKind::Folder) node->setIcon(0, IconFor(node->Kind, true));
        if (!FWorking) theDoubleClickTimer->stop();
    });
    connect(theTreeView, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        auto* node = static_cast<TTreeItemData*>(item);
        node->setIcon(0, IconFor(node->Kind, false));
        if (!FWorking) theDoubleClickTimer->stop();
    });
    theTreeView->installEventFilter(this);
    theTreeView->viewport()->installEventFilter(this);
    theStatusBar->installEventFilter(this);
}

void TTreeForm::SetTexts(const TBrowserTexts& texts) {
    FTexts = texts;
    for (int i = 0; i < theTreeView->topLevelItemCount(); ++i) {
        auto* root = static_cast<TTreeItemData*>(theTreeView->topLevelItem(i));
        if (root->Kind == TNodeKind::Desktop) root->setText(0, texts.Desktop);
        if (root->Kind == TNodeKind::Home) root->setText(0, texts.Home);
        if (root->Kind == TNodeKind::FileSystem) root->setText(0, texts.FileSystem);
    }
}

void TTreeForm::SetRoots(std::vector<TBrowserRoot> roots) {
    FRoots = std::move(roots);
    theTreeView->clear();
}

QString TTreeForm::SelectedPath() const {
    auto* node = static_cast<TTreeItemData*>(theTreeView->currentItem());
    return node ? node->Path : QString();
}

void TTreeForm::DropDown(const QString& path) {
    FWorking = true;
    theDoubleClickTimer->start(HoldMs);
    if (theTreeView->topLevelItemCount() == 0) Populate();
    if (!path.isEmpty()) SelectPath(path);
    show();
    raise();
    theTreeView->setFocus(Qt::PopupFocusReason);
    if (QTreeWidgetItem* current = theTreeView->currentItem()) theTreeView->scrollToItem(current);
    FWorking = false;
    theDoubleClickTimer->stop();
}

void TTreeForm::CloseBrowser() {
    if (FClosing) return;
    FClosing = true;
    theDoubleClickTimer->stop();
    if (isVisible()) hide();
    if (FOwner) FOwner->CloseUp();
    FClosing = false;
}

void TTreeForm::Populate() {
    if (!FRoots) FRoots = SystemRoots(FTexts);
    TWaitCursor wait;
    for (const TBrowserRoot& root : *FRoots) {
        auto* node = new TTreeItemData(root.Name, root.Path, root.Kind);
        node->setIcon(0, IconFor(root.Kind, false));
        node->setChildIndicatorPolicy(HasSubFolders(root.Path) ? QTreeWidgetItem::ShowIndicator
                                                               : QTreeWidgetItem::DontShowIndicator);
        theTreeView->addTopLevelItem(node);
    }
}

void TTreeForm::LoadChildren(TTreeItemData* node) {
    if (node->Loaded) return;
    node->Loaded = true;
    std::optional<std::vector<TSubFolder>> folders;
    {
        TWaitCursor wait;
        folders = ListSubFolders(node->Path, FOrder);
    }
    if (!folders) {
        // Said once, in the status line: a box for every folder that cannot
        // be read would stand in the way of browsing past it.
        node->Unreadable = true;
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
        ShowStatus(FormatBindingFailed(FTexts.BindingFailed, node->text(0)));
        return;
    }
    QList<QTreeWidgetItem*> children;
    children.reserve(qsizetype(folders->size()));
    for (const TSubFolder& folder : *folders) {
        auto* child = new TTreeItemData(folder.Name, ChildPath(node->Path, folder.Name), TNodeKind::Folder);
        child->setIcon(0, IconFor(TNodeKind::Folder, false));
        child->setChildIndicatorPolicy(folder.HasSubFolders ? QTreeWidgetItem::ShowIndicator
                                                            : QTreeWidgetItem::DontShowIndicator);
        children.append(child);
    }
    node->addChildren(children);
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

bool TTreeForm::SelectPath(const QString& path) {
    const QString clean = CleanBrowserPath(path, QDir::homePath());
    if (clean.isEmpty()) return false;
    if (SelectedPath() == clean) return true;
    QStringList rootPaths;
    for (int i = 0; i < theTreeView->topLevelItemCount(); ++i)
        rootPaths.append(static_cast<TTreeItemData*>(theTreeView->topLevelItem(i))->Path);
    const std::optional<TPathWalk> walk = WalkFromRoots(rootPaths, clean);
    if (!walk) return false;
    // Walk the whole way first, so a path that is not there leaves the tree
    // and its selection as they were.
    std::vector<TTreeItemData*> chain{static_cast<TTreeItemData*>(theTreeView->topLevelItem(walk->Root))};
    for (const QString& name : walk->Components) {
        TTreeItemData* node = chain.back();
        LoadChildren(node);
        TTreeItemData* next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i)
            if (node->child(i)->text(0) == name) next = static_cast<TTreeItemData*>(node->child(i));
        if (!next) return false;
        chain.push_back(next);
    }
    for (int i = 0; i < theTreeView->topLevelItemCount(); ++i)
        if (i != walk->Root) theTreeView->topLevelItem(i)->setExpanded(false);
    for (size_t i = 0; i + 1 < chain.size(); ++i) chain[i]->setExpanded(true);
    theTreeView->setCurrentItem(chain.back());
    return true;
}

void TTreeForm::NodeChanged(QTreeWidgetItem* item) {
    auto* node = static_cast<TTreeItemData*>(item);
    if (!FOwner || !node) return;
    // Opening selects the field's own path; the text stays as it was typed.
    if (!FWorking) FOwner->SetTextFromBrowser(node->Path);
    if (!node->Unreadable && node->Counts.Folders < 0) {
        TWaitCursor wait;
        if (const std::optional<TFolderCounts> counts = CountFolder(node->Path)) node->Counts = *counts;
        else node->Unreadable = true;
    }
    ShowStatus(node->Unreadable ? FormatBindingFailed(FTexts.BindingFailed, node->text(0))
                                : FormatCounts(FTexts.Counts, node->Counts));
    if (FWorking) return;
    if (theDoubleClickTimer->isActive()) theDoubleClickTimer->stop();
    else theDoubleClickTimer->start(AutoCloseInterval(QGuiApplication::styleHints()->mouseDoubleClickInterval()));
}

bool TTreeForm::KeyGoingDown(const QKeyEvent& key) {
    if (!isVisible()) return false;
    if (!IsModifierKey(key.key())) theDoubleClickTimer->start(HoldMs);
    const bool alt = key.modifiers() & Qt::AltModifier;
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_F4:
        CloseBrowser();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!alt) return false;
        CloseBrowser();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        CloseBrowser();
        if (FOwner) FOwner->PassDialogKey(key.key() == Qt::Key_Tab && !(key.modifiers() & Qt::ShiftModifier));
        return true;
    default:
        return false;
    }
}

bool TTreeForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == theTreeView) {
        if (event->type() == QEvent::KeyPress) return KeyGoingDown(*static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::FocusOut && isVisible() && !FWorking &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            CloseBrowser();
    } else if (watched == theStatusBar && event->type() == QEvent::Resize) {
        ShowStatus(FStatusText);
    } else if (watched == theTreeView->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // On a node's name or icon a double-click chooses it; on its expander
        // or indent it only opens or shuts the branch.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        QTreeWidgetItem* item = theTreeView->itemAt(at);
        if (mouse->button() == Qt::LeftButton && item && at.x() >= theTreeView->visualItemRect(item).left()) {
            CloseBrowser();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TTreeForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A pop-up also closes itself, on a click outside it.
    if (!FClosing) CloseBrowser();
}

void TTreeForm::ShowStatus(const QString& text) {
    FStatusText = text;
    const int room = std::max(theStatusBar->width() - 8, 0);
    theStatusBar->showMessage(theStatusBar->fontMetrics().elidedText(text, Qt::ElideRight, room));
    theStatusBar->setToolTip(text);
}

QIcon TTreeForm::IconFor(TNodeKind kind, bool open) const {
    switch (kind) {
    case TNodeKind::Desktop: return style()->standardIcon(QStyle::SP_DesktopIcon);
    case TNodeKind::Home: return style()->standardIcon(QStyle::SP_DirHomeIcon);
    case TNodeKind::Volume: return style()->standardIcon(QStyle::SP_DriveHDIcon);
    case TNodeKind::Disc: return style()->standardIcon(QStyle::SP_DriveCDIcon);
    case TNodeKind::FileSystem: return style()->standardIcon(QStyle::SP_ComputerIcon);
    case TNodeKind::Folder: break;
    }
    return style()->standardIcon(open ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon);
}
