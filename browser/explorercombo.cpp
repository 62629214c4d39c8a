#include "browser/explorercombo.h"
#include "browser/treeform.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

using namespace Browser;

TExplorerCombo::TExplorerCombo(QWidget* parent) : QWidget(parent) {
    FEdit = new QLineEdit(this);
    FEdit->setObjectName(QStringLiteral("Edit"));
    FEdit->setFrame(false);
    FEdit->installEventFilter(this);
    connect(FEdit, &QLineEdit::textChanged, this, &TExplorerCombo::OnChange);
    setFocusProxy(FEdit);
    FCloseGuardTimer = new QTimer(this);
    FCloseGuardTimer->setObjectName(QStringLiteral("CloseGuardTimer"));
    FCloseGuardTimer->setSingleShot(true);
    // As wide as a scroll bar's arrow and a little more, like a combo box's.
    FButtonWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) + 5;
    FTree = new TTreeForm(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    resize(100, 21);
}

TExplorerCombo::~TExplorerCombo() {
    if (FHookedWindow) FHookedWindow->removeEventFilter(this);
}

QString TExplorerCombo::Text() const { return FEdit->text(); }

void TExplorerCombo::SetText(const QString& text) { FEdit->setText(text); }

void TExplorerCombo::SetTexts(const TBrowserTexts& texts) { FTree->SetTexts(texts); }

void TExplorerCombo::SetRoots(std::vector<TBrowserRoot> roots) { FTree->SetRoots(std::move(roots)); }

QSize TExplorerCombo::sizeHint() const {
    // The edit, 6 pixels less than the combo, needs its line and a pixel above and below.
    return QSize(100, std::max(21, FEdit->fontMetrics().height() + 8));
}

void TExplorerCombo::DropDown() {
    if (FDroppedDown) return;
    FBrowserHeight = OpeningHeight(FBrowserHeight);
    const QRect anchor(mapToGlobal(QPoint(0, 0)), size());
    const QScreen* screen = this->screen();
    FTree->setGeometry(PopupGeometry(anchor, FBrowserHeight,
                                     screen ? screen->availableGeometry() : QRect(anchor.topLeft(), QSize(1 << 15, 1 << 15))));
    FSavedText = Text();
    FDroppedDown = true;
    // Moving, hiding or leaving the window under the tree closes the tree.
    FHookedWindow = window();
    FHookedWindow->installEventFilter(this);
    FTree->DropDown(FSavedText);
    update();
    emit OnBrowserOpened();
}

void TExplorerCombo::CloseUp() {
    if (!FDroppedDown) return;
    FDroppedDown = false;
    emit OnBrowserClosed();
    if (Text() != FSavedText && !Text().isEmpty()) emit OnBrowserChangedDirectory();
    FSavedText.clear();
    if (FEdit->isVisible()) {
        FEdit->setFocus(Qt::PopupFocusReason);
        FEdit->selectAll();
    }
    FCloseGuardTimer->start(CloseGuardMs);
    update();
    if (FHookedWindow) FHookedWindow->removeEventFilter(this);
    FHookedWindow = nullptr;
}

void TExplorerCombo::SetTextFromBrowser(const QString& path) { FEdit->setText(path); }

void TExplorerCombo::PassDialogKey(bool forward) { focusNextPrevChild(forward); }

void TExplorerCombo::CloseTreeLater() {
    // After the window has handled the event itself.
    QMetaObject::invokeMethod(this, [this] {
        if (FDroppedDown) FTree->CloseBrowser();
    }, Qt::QueuedConnection);
}

bool TExplorerCombo::EditKey(QKeyEvent* event) {
    const bool alt = event->modifiers() & Qt::AltModifier;
    if ((alt && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) ||
        (!alt && event->key() == Qt::Key_F4)) {
        DropDown();
        return true;
    }
    event->ignore();
    emit OnKeyDown(event);
    if (event->isAccepted()) return true;
    if (!event->text().isEmpty()) {
        emit OnKeyPress(event);
        if (event->isAccepted()) return true;
    }
    event->accept();
    return false;
}

bool TExplorerCombo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FEdit) {
        switch (event->type()) {
        case QEvent::KeyPress:
            return EditKey(static_cast<QKeyEvent*>(event));
        case QEvent::KeyRelease: {
            auto* key = static_cast<QKeyEvent*>(event);
            key->ignore();
            emit OnKeyUp(key);
            if (key->isAccepted()) return true;
            key->accept();
            break;
        }
        case QEvent::FocusOut:
            // The tree taking the focus when it opens does not count.
            if (FDroppedDown && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
                CloseTreeLater();
            break;
        default:
            break;
        }
    } else if (watched == FHookedWindow && FDroppedDown) {
        switch (event->type()) {
        case QEvent::WindowDeactivate:
        case QEvent::WindowBlocked:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Hide:
            CloseTreeLater();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TExplorerCombo::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FEdit->setGeometry(ComboLayout(size(), FButtonWidth).Edit);
}

void TExplorerCombo::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    if (!ComboLayout(size(), FButtonWidth).Button.contains(event->position().toPoint())) {
        FEdit->setFocus(Qt::MouseFocusReason);
        return;
    }
    // The press that closed the tree from outside it may arrive here too.
    if (!isEnabled() || FCloseGuardTimer->isActive()) return;
    if (FDroppedDown) FTree->CloseBrowser();
    else DropDown();
}

void TExplorerCombo::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);

    const QRect button = ComboLayout(size(), FButtonWidth).Button;
    QStyleOptionButton face;
    face.initFrom(this);
    face.rect = button;
    face.state |= FDroppedDown ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &face, &painter, this);

    // A 7 x 4 arrow, one pixel lower and to the right while the tree is open.
    const int shift = FDroppedDown ? 1 : 0;
    const QPoint tip = button.center() + QPoint(shift, shift + 2);
    auto arrow = [&](QPoint at, const QColor& color) {
        for (int row = 0; row < 4; ++row)
            painter.fillRect(at.x() - row, at.y() - row, 2 * row + 1, 1, color);
    };
    if (!isEnabled()) arrow(tip + QPoint(1, 1), palette().color(QPalette::Light));
    arrow(tip, palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
}
