#include "sharing/emailaddresser.h"
#include "shell/strings.h"
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <cmath>

namespace {

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

double Luminance(const QColor& c) {
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The palette's text colour when it can be read on Background, else its
// window text (a dark page's light text), else black or white.
QColor ReadableText(const QPalette& palette, const QColor& background) {
    for (const QColor& c : {palette.color(QPalette::Text), palette.color(QPalette::WindowText)})
        if (Contrast(c, background) >= 4.5) return c;
    return Contrast(Qt::black, background) >= Contrast(Qt::white, background) ? QColor(Qt::black) : QColor(Qt::white);
}

} // namespace

// ---------------------------------------------------------------------------
// The cells, and the entry's editor.

class TAddressDelegate : public QStyledItemDelegate {
public:
    TAddressDelegate(TAddressForm& form, QObject* parent) : QStyledItemDelegate(parent), FForm(form) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const TAddressForm::TLook& look = FForm.Look();
        const TAddressList& list = FForm.List;
        painter->save();
        QRect r = option.rect;
        painter->fillRect(r, look.CellColor);
        if (look.ShowHorizontalLines) {
            painter->setPen(Mix(look.CellColor, look.TextColor, 0.22));
            painter->drawLine(r.bottomLeft(), r.bottomRight());
            r.setBottom(r.bottom() - 1);
        }
        const bool current = index.row() == list.CurrentRow() && index.column() == int(list.CurrentColumn()) &&
                             FForm.InGrid(QApplication::focusWidget());
        const QString text = index.data(Qt::DisplayRole).toString();
        painter->setFont(index.data(Qt::FontRole).value<QFont>());
        if (index.column() == int(TAddressColumn::Type)) {
            PaintType(painter, r, text, current, option.palette.color(QPalette::Highlight));
        } else {
            painter->setPen(look.TextColor);
            const QRect textRect = r.adjusted(4, 0, -4, 0);
            painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                              painter->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
        }
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        editor->setTextMargins(2, 0, 2, 0);
        editor->setAutoFillBackground(true);
        QPalette palette = editor->palette();
        palette.setColor(QPalette::Base, FForm.Look().CellColor);
        palette.setColor(QPalette::Window, FForm.Look().CellColor);
        palette.setColor(QPalette::Text, FForm.Look().TextColor);
        editor->setPalette(palette);
        const QPersistentModelIndex where(index);
        QObject::connect(editor, &QLineEdit::textEdited, editor, [this, where](const QString& text) {
            if (where.isValid()) FForm.EntryEdited(where.row(), text);
        });
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* edit = static_cast<QLineEdit*>(editor);
        // Only a changed text is set: setting it would move the caret.
        const QString text = index.data(Qt::EditRole).toString();
        if (edit->text() != text) edit->setText(text);
        edit->setFont(index.data(Qt::FontRole).value<QFont>());
    }

    // The list has every edit already (textEdited), so nothing is written
    // back when the editor closes: a late write would undo a split.
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override {
        editor->setGeometry(option.rect.adjusted(0, 0, 0, FForm.Look().ShowHorizontalLines ? -1 : 0));
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* editor = qobject_cast<QLineEdit*>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            // Tab leaves the grid, as from any field, instead of editing the next cell.
            if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && !(key->modifiers() & Qt::ControlModifier)) {
                FForm.Grid->TabOut(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
                return true;
            }
            if (FForm.HandleKey(key, editor)) return true;
        }
        if (editor && event->type() == QEvent::MouseButtonDblClick) FForm.DoubleClicked(FForm.List.CurrentRow());
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    void PaintType(QPainter* painter, const QRect& r, const QString& text, bool current, const QColor& highlight) const {
        const TAddressForm::TLook& look = FForm.Look();
        if (!look.ShowTypeButtons) {
            painter->setPen(look.TextColor);
            painter->drawText(r.adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
            painter->setPen(Mix(look.CellColor, look.TextColor, 0.22));
            painter->drawLine(r.topRight(), r.bottomRight());
            if (current) {
                painter->setPen(QPen(highlight, 1, Qt::DotLine));
                painter->drawRect(r.adjusted(1, 1, -2, -1));
            }
            return;
        }
        // A small raised button in the cell's own colours, so it sits as
        // well on a light list as on a dark page.
        const bool dark = Luminance(look.CellColor) < 0.2;
        const QColor face = Mix(look.CellColor, look.TextColor, dark ? 0.20 : 0.09);
        const QRectF b = QRectF(r).adjusted(2.5, 2.5, -2.5, -2.5);
        painter->setRenderHint(QPainter::Antialiasing);
        QLinearGradient fill(b.topLeft(), b.bottomLeft());
        fill.setColorAt(0, Mix(face, Qt::white, dark ? 0.10 : 0.55));
        fill.setColorAt(1, Mix(face, Qt::black, 0.06));
        painter->setBrush(fill);
        painter->setPen(current ? QPen(highlight, 1.6) : QPen(Mix(look.CellColor, look.TextColor, 0.42), 1));
        painter->drawRoundedRect(b, 3, 3);
        const int arrow = 7;
        const QRectF textRect = b.adjusted(2, 0, -arrow - 3, 0);
        painter->setPen(look.TextColor);
        painter->drawText(textRect, Qt::AlignCenter, text);
        const QPointF tip(b.right() - 4 - arrow / 2.0, b.center().y() + 2);
        QPainterPath triangle;
        triangle.moveTo(tip.x() - arrow / 2.0, tip.y() - 3.5);
        triangle.lineTo(tip.x() + arrow / 2.0, tip.y() - 3.5);
        triangle.lineTo(tip);
        triangle.closeSubpath();
        painter->setPen(Qt::NoPen);
        painter->setBrush(Mix(look.CellColor, look.TextColor, 0.65));
        painter->drawPath(triangle);
    }

    TAddressForm& FForm;
};

// ---------------------------------------------------------------------------

TAddressModel::TAddressModel(TAddressForm& form, QObject* parent)
    : QAbstractTableModel(parent), FForm(form), FRows(form.List.Count()) {}

int TAddressModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FRows;
}

int TAddressModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant TAddressModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= FForm.List.Count()) return {};
    const TAddressRow& row = FForm.List.Row(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (TAddressColumn(index.column())) {
        case TAddressColumn::Type: return row.Type;
        case TAddressColumn::Entry: return row.Entry;
        case TAddressColumn::Address: return row.Address;
        }
        return {};
    case Qt::FontRole: {
        QFont font = FForm.Look().CellFont;
        font.setUnderline(index.column() == int(TAddressColumn::Entry) && FForm.List.IsResolved(index.row()));
        return font;
    }
    default: return {};
    }
}

bool TAddressModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.column() != int(TAddressColumn::Entry)) return false;
    FForm.EntryEdited(index.row(), value.toString());
    return true;
}

Qt::ItemFlags TAddressModel::flags(const QModelIndex& index) const {
    if (index.column() == int(TAddressColumn::Entry)) return Qt::ItemIsEnabled | Qt::ItemIsEditable;
    return Qt::ItemIsEnabled;
}

void TAddressModel::Refresh() {
    if (FRows != FForm.List.Count()) {
        beginResetModel();
        FRows = FForm.List.Count();
        endResetModel();
    } else {
        emit dataChanged(index(0, 0), index(FRows - 1, columnCount() - 1));
    }
}

// ---------------------------------------------------------------------------

TAddressGrid::TAddressGrid(TAddressForm& form, QWidget* parent) : QTableView(parent), FForm(form) {
    setObjectName(QStringLiteral("Grid"));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setShowGrid(false);
    setSelectionMode(NoSelection);
    // The editor is opened by the form whenever the entry is current and the
    // grid has the focus, as in a spreadsheet; typing on a closed one opens it.
    setEditTriggers(AnyKeyPressed);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShadow(QFrame::Plain);
}

QLineEdit* TAddressGrid::Editor() const {
    return qobject_cast<QLineEdit*>(indexWidget(model()->index(FForm.List.CurrentRow(), int(TAddressColumn::Entry))));
}

void TAddressGrid::keyPressEvent(QKeyEvent* event) {
    const bool inType = FForm.List.CurrentColumn() == TAddressColumn::Type;
    if (inType && (event->key() == Qt::Key_Space || event->key() == Qt::Key_F4 ||
                   (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier)))) {
        FForm.PopupTypeMenu(FForm.List.CurrentRow());
        return;
    }
    if (FForm.HandleKey(event, nullptr)) return;
    // No search by typing in the type column: a letter there would jump rows.
    if (inType && !event->text().isEmpty() && event->text()[0].isPrint()) return;
    QTableView::keyPressEvent(event);
}

void TAddressGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        FForm.List.ClickBelow();
        FForm.Sync();
        return;
    }
    FForm.List.MoveTo(index.row(), TAddressColumn(index.column()));
    FForm.Sync();
    if (index.column() == int(TAddressColumn::Type)) FForm.PopupTypeMenu(FForm.List.CurrentRow());
}

void TAddressGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid()) FForm.DoubleClicked(index.row());
}

void TAddressGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    if (!FForm.Syncing() && !FTabbingOut && event->reason() != Qt::PopupFocusReason) FForm.Sync();
}

void TAddressGrid::TabOut(bool forward) {
    // From the editor through the grid, which must not open it again.
    FTabbingOut = true;
    setFocus(Qt::TabFocusReason);
    FTabbingOut = false;
    focusNextPrevChild(forward);
}

void TAddressGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // Moves the view made itself (page keys, say) go through the list too.
    if (FForm.Syncing() || !current.isValid()) return;
    if (current.row() == FForm.List.CurrentRow() && current.column() == int(FForm.List.CurrentColumn())) return;
    FForm.List.MoveTo(current.row(), TAddressColumn(current.column()));
    FForm.Sync();
}

// ---------------------------------------------------------------------------

TAddressForm::TAddressForm()
    : List(TAddressTexts{ResString(TStr::AddresseeTo), ResString(TStr::AddresseeCc), ResString(TStr::AddresseeBcc)}) {
    setObjectName(QStringLiteral("AddressForm"));
    FGrid = std::make_unique<TAddressGrid>(*this, this);
    Grid = FGrid.get();
    Model = new TAddressModel(*this, Grid);
    FDelegate = new TAddressDelegate(*this, Grid);
    Grid->setModel(Model);
    Grid->setItemDelegate(FDelegate);
    Grid->setColumnHidden(int(TAddressColumn::Address), true);
    Grid->horizontalHeader()->setSectionResizeMode(int(TAddressColumn::Type), QHeaderView::Fixed);
    Grid->horizontalHeader()->setSectionResizeMode(int(TAddressColumn::Entry), QHeaderView::Stretch);
    Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    TypeMenu = new QMenu(this);
    TypeMenu->setObjectName(QStringLiteral("TypeMenu"));
    const std::pair<TStr, TAddressType> choices[] = {{TStr::AddresseeMenuTo, TAddressType::To},
                                                     {TStr::AddresseeMenuCc, TAddressType::Cc},
                                                     {TStr::AddresseeMenuBcc, TAddressType::Bcc}};
    for (const auto& [text, type] : choices) {
        QAction* action = TypeMenu->addAction(ResString(text));
        action->setData(int(type));
        connect(action, &QAction::triggered, this, [this, type = type] { ChooseType(type); });
    }
    FFocusConnection = connect(qApp, &QApplication::focusChanged, this, &TAddressForm::FocusChanged);
    SetLook(FLook);
}

TAddressForm::~TAddressForm() {
    // The grid goes before the list it shows; no focus news while it does.
    disconnect(FFocusConnection);
    FSyncing = true;
    FGrid.reset();
}

bool TAddressForm::InGrid(const QWidget* widget) const {
    return widget && (widget == Grid || Grid->isAncestorOf(widget) || widget == TypeMenu);
}

void TAddressForm::SetLook(const TLook& look) {
    FLook = look;
    const QFontMetrics metrics(look.CellFont);
    Grid->verticalHeader()->setMinimumSectionSize(1);
    Grid->verticalHeader()->setDefaultSectionSize(metrics.height() + 8);
    int typeWidth = 0;
    for (const QString& text : {List.Texts().To, List.Texts().Cc, List.Texts().Bcc})
        typeWidth = std::max(typeWidth, metrics.horizontalAdvance(text));
    Grid->setColumnWidth(int(TAddressColumn::Type), typeWidth + (look.ShowTypeButtons ? 30 : 12));
    Grid->setFont(look.CellFont);
    Model->Refresh();
    if (QLineEdit* editor = Grid->Editor()) {
        QPalette palette = editor->palette();
        palette.setColor(QPalette::Base, look.CellColor);
        palette.setColor(QPalette::Window, look.CellColor);
        palette.setColor(QPalette::Text, look.TextColor);
        editor->setPalette(palette);
    }
    Grid->viewport()->update();
}

void TAddressForm::Sync() {
    if (FSyncing) return;
    FSyncing = true;
    const bool focused = InGrid(QApplication::focusWidget()) && !TypeMenu->isVisible();
    // An editor goes with a reset of the rows; the focus stays in the grid.
    if (Model->rowCount() != List.Count() && Grid->isAncestorOf(QApplication::focusWidget()))
        Grid->setFocus(Qt::OtherFocusReason);
    Model->Refresh();
    const QModelIndex current = Model->index(List.CurrentRow(), int(List.CurrentColumn()));
    if (Grid->currentIndex() != current) Grid->setCurrentIndex(current);
    Grid->scrollTo(current);
    QLineEdit* editor = Grid->Editor();
    if (focused && List.CurrentColumn() == TAddressColumn::Entry && !editor) {
        Grid->edit(current);
        if ((editor = Grid->Editor())) {
            if (List.Caret() == TAddressCaret::Start) editor->setCursorPosition(0);
            else if (List.Caret() == TAddressCaret::End) editor->setCursorPosition(int(editor->text().size()));
        }
    } else if (editor) {
        FDelegate->setEditorData(editor, current);
    }
    Grid->viewport()->update();
    FSyncing = false;
}

bool TAddressForm::HandleKey(QKeyEvent* event, QLineEdit* editor) {
    TAddressKey key = TAddressKey::Other;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: key = TAddressKey::Enter; break;
        case Qt::Key_Up: key = TAddressKey::Up; break;
        case Qt::Key_Down: key = TAddressKey::Down; break;
        case Qt::Key_Left: key = shift ? TAddressKey::Other : TAddressKey::Left; break;  // Shift selects
        case Qt::Key_Right: key = shift ? TAddressKey::Other : TAddressKey::Right; break;
        case Qt::Key_End: key = shift ? TAddressKey::Other : TAddressKey::End; break;
        case Qt::Key_Delete: key = TAddressKey::Delete; break;
        default: break;
        }
    }
    const bool selected = editor && editor->hasSelectedText();
    const bool atStart = !editor || (!selected && editor->cursorPosition() == 0);
    const bool atEnd = !editor || (!selected && editor->cursorPosition() == editor->text().size());
    if (!List.Key(key, atStart, atEnd)) return false;
    Sync();
    return true;
}

void TAddressForm::EntryEdited(int row, const QString& text) {
    List.SetEntry(row, text);
    Model->Refresh();
    if (QLineEdit* editor = Grid->Editor()) {
        QFont font = FLook.CellFont;
        font.setUnderline(List.IsResolved(List.CurrentRow()));
        editor->setFont(font);
    }
}

void TAddressForm::PopupTypeMenu(int row) {
    FMenuRow = row;
    const QRect cell = Grid->visualRect(Model->index(row, int(TAddressColumn::Type)));
    TypeMenu->popup(Grid->viewport()->mapToGlobal(cell.bottomLeft() + QPoint(2, 1)));
    // The row's own type is the one Enter confirms.
    for (QAction* action : TypeMenu->actions())
        if (List.TypeText(TAddressType(action->data().toInt())) == List.Row(row).Type) TypeMenu->setActiveAction(action);
}

void TAddressForm::ChooseType(TAddressType type) {
    List.SetType(FMenuRow, type);
    Sync();
}

void TAddressForm::DoubleClicked(int row) {
    if (OnDblClick) OnDblClick();
    if (OnEditAddress && row >= 0 && row < List.Count() && List.IsResolved(row)) OnEditAddress(row);
}

void TAddressForm::FocusChanged(QWidget* old, QWidget* now) {
    // A window losing the activation (now is none) is no leaving.
    if (FSyncing || !now) return;
    const bool was = InGrid(old), is = InGrid(now);
    if (was && !is) {
        List.LeaveGrid();
        Sync();
    } else if (!was && is) {
        List.EnterGrid();
        Sync();
    }
}

// ---------------------------------------------------------------------------

TEmailAddresser::TEmailAddresser(QWidget* parent) : QWidget(parent), FForm(std::make_unique<TAddressForm>()) {
    resize(220, 193);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FForm->Grid->setParent(this);
    layout->addWidget(FForm->Grid);
    FForm->Grid->show();
    setFocusProxy(FForm->Grid);
    ApplyLook();
}

TEmailAddresser::~TEmailAddresser() {
    // The form takes its grid down while this widget is still whole.
    FForm.reset();
}

void TEmailAddresser::FinishEditing() {
    FForm->List.LeaveGrid();
    FForm->Sync();
}

QColor TEmailAddresser::Color() const {
    if (FParentColor && parentWidget()) return parentWidget()->palette().color(parentWidget()->backgroundRole());
    return FColor.value_or(palette().color(QPalette::Base));
}

void TEmailAddresser::SetColor(const QColor& color) {
    FColor = color;
    FParentColor = false;
    ApplyLook();
}

void TEmailAddresser::SetParentColor(bool on) {
    FParentColor = on;
    ApplyLook();
}

QColor TEmailAddresser::CellColor() const {
    if (FParentCellColor) return Color();
    return FCellColor.value_or(palette().color(QPalette::Base));
}

void TEmailAddresser::SetCellColor(const QColor& color) {
    FCellColor = color;
    FParentCellColor = false;
    ApplyLook();
}

void TEmailAddresser::SetParentCellColor(bool on) {
    FParentCellColor = on;
    ApplyLook();
}

void TEmailAddresser::SetCellFont(const QFont& font) {
    FCellFont = font;
    ApplyLook();
}

void TEmailAddresser::SetShowTypeButtons(bool on) {
    TAddressForm::TLook look = FForm->Look();
    look.ShowTypeButtons = on;
    FForm->SetLook(look);
}

void TEmailAddresser::SetShowHorizontalLines(bool on) {
    TAddressForm::TLook look = FForm->Look();
    look.ShowHorizontalLines = on;
    FForm->SetLook(look);
}

void TEmailAddresser::SetBorderStyle(TBorderStyle style) {
    FBorderStyle = style;
    ApplyLook();
}

void TEmailAddresser::ApplyLook() {
    TAddressForm::TLook look = FForm->Look();
    look.CellColor = CellColor();
    look.CellFont = CellFont();
    look.TextColor = ReadableText(palette(), look.CellColor);
    FForm->SetLook(look);
    const QColor color = Color();
    QPalette palette = FForm->Grid->palette();
    palette.setColor(QPalette::Base, color);
    palette.setColor(QPalette::Window, color);
    const QColor text = ReadableText(this->palette(), color);
    palette.setColor(QPalette::WindowText, Mix(color, text, 0.45));  // the border, the scroll arrows
    palette.setColor(QPalette::Button, Mix(color, text, Luminance(color) < 0.2 ? 0.18 : 0.06));  // the scroll bar
    FForm->Grid->setPalette(palette);
    FForm->Grid->setFrameShape(FBorderStyle == bsSingle ? QFrame::Box : QFrame::NoFrame);
    FForm->Grid->setLineWidth(1);
}

void TEmailAddresser::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::ParentChange:
    case QEvent::StyleChange:
        if (FForm) ApplyLook();
        break;
    default: break;
    }
}
