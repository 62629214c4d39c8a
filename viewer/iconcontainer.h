#pragma once
// TIconContainer: a scrolling grid of IconCount equal cells whose owner draws
// each cell in OnIconDraw. It owns no pictures; it knows the icon rectangles,
// a focus icon and a selection, and handles hit testing, keys, the wheel, a
// rubber band started by the owner and double-buffered painting over an
// optional tiled background.
//
// Coordinates: client coordinates are the viewport's; content coordinates are
// client coordinates plus the scroll positions.
//
// Events are Qt signals, each with the container as first argument so one
// handler can serve several containers. Connect them directly (the default
// for widgets on the main thread): OnIconDraw hands out the paint's painter,
// and the mouse and key events hand out the event being handled.
#include "platform/errors.h"
#include "viewer/iconlayout.h"
#include "viewer/selector.h"
#include <QAbstractScrollArea>
#include <QColor>
#include <QList>
#include <QPixmap>

class QPainter;

// IconRect with an index outside the icons.
class EIconRangeError : public EError {
public:
    using EError::EError;
};

class TIconContainer : public QAbstractScrollArea {
    Q_OBJECT
    Q_PROPERTY(int IconWidth READ IconWidth WRITE SetIconWidth)
    Q_PROPERTY(int IconHeight READ IconHeight WRITE SetIconHeight)
    Q_PROPERTY(int IconGap READ IconGap WRITE SetIconGap)
    Q_PROPERTY(int IconVertGap READ IconVertGap WRITE SetIconVertGap)
    Q_PROPERTY(int IconHorzGap READ IconHorzGap WRITE SetIconHorzGap)
    Q_PROPERTY(int IconMargin READ IconMargin WRITE SetIconMargin)
    Q_PROPERTY(int IconTopMargin READ IconTopMargin WRITE SetIconTopMargin)
    Q_PROPERTY(int IconLeftMargin READ IconLeftMargin WRITE SetIconLeftMargin)
    Q_PROPERTY(int IconColumns READ IconColumns WRITE SetIconColumns)
    Q_PROPERTY(int IconRows READ IconRows WRITE SetIconRows)
    Q_PROPERTY(IconContainerEnums::TIconContainerConstraint IconConstraint READ IconConstraint WRITE SetIconConstraint)
    Q_PROPERTY(bool IconAutoWrap READ IconAutoWrap WRITE SetIconAutoWrap)
    Q_PROPERTY(int IconCount READ IconCount WRITE SetIconCount)
    Q_PROPERTY(bool IconTitles READ IconTitles WRITE SetIconTitles)
    Q_PROPERTY(bool IconCUASelect READ IconCUASelect WRITE SetIconCUASelect)
    Q_PROPERTY(bool IconMultipleSelect READ IconMultipleSelect WRITE SetIconMultipleSelect)
    Q_PROPERTY(QPixmap TileImage READ TileImage WRITE SetTileImage)
    Q_PROPERTY(bool TileScreenAlign READ TileScreenAlign WRITE SetTileScreenAlign)
    Q_PROPERTY(QList<QPixmap> DragImage READ DragImage WRITE SetDragImage)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(int VertScrollRange READ VertScrollRange WRITE SetVertScrollRange)
    Q_PROPERTY(int HorzScrollRange READ HorzScrollRange WRITE SetHorzScrollRange)

public:
    explicit TIconContainer(QWidget* parent = nullptr);
    ~TIconContainer() override;

    int IconWidth() const { return FLayout.IconWidth(); }
    void SetIconWidth(int value);
    int IconHeight() const { return FLayout.IconHeight(); }
    void SetIconHeight(int value);
    int IconGap() const { return FLayout.IconGap(); }
    void SetIconGap(int value);
    int IconVertGap() const { return FLayout.IconVertGap(); }
    void SetIconVertGap(int value);
    int IconHorzGap() const { return FLayout.IconHorzGap(); }
    void SetIconHorzGap(int value);
    int IconMargin() const { return FLayout.IconMargin(); }
    void SetIconMargin(int value);
    int IconTopMargin() const { return FLayout.IconTopMargin(); }
    void SetIconTopMargin(int value);
    int IconLeftMargin() const { return FLayout.IconLeftMargin(); }
    void SetIconLeftMargin(int value);
    int IconColumns() const { return FLayout.IconColumns(); }
    void SetIconColumns(int value);
    int IconRows() const { return FLayout.IconRows(); }
    void SetIconRows(int value);
    TIconContainerConstraint IconConstraint() const { return FLayout.IconConstraint(); }
    void SetIconConstraint(TIconContainerConstraint value);
    bool IconAutoWrap() const { return FIconAutoWrap; }
    void SetIconAutoWrap(bool value);
    int IconCount() const { return FLayout.IconCount(); }
    // A new count resizes the selection (dropping its anchor), arranges and
    // resets the focus.
    void SetIconCount(int value);
    bool IconTitles() const { return FLayout.IconTitles(); }
    void SetIconTitles(bool value);
    bool IconCUASelect() const { return FIconCUASelect; }
    void SetIconCUASelect(bool value) { FIconCUASelect = value; }
    bool IconMultipleSelect() const { return FIconMultipleSelect; }
    void SetIconMultipleSelect(bool value) { FIconMultipleSelect = value; }
    const QPixmap& TileImage() const { return FTileImage; }
    void SetTileImage(const QPixmap& tile);
    bool TileScreenAlign() const { return FTileScreenAlign; }
    void SetTileScreenAlign(bool value);
    const QList<QPixmap>& DragImage() const { return FDragImage; }
    void SetDragImage(const QList<QPixmap>& images) { FDragImage = images; }
    // The picture to drag with: the first drag image, or none when the list is empty.
    QPixmap DragPixmap() const { return FDragImage.isEmpty() ? QPixmap() : FDragImage.first(); }
    // Background colour where no tile is drawn.
    QColor Color() const;
    void SetColor(const QColor& color);

    // Content extent each scroll bar covers (the owner sets the vertical one
    // from ContentHeight); a bar scrolls over what exceeds the client area.
    int VertScrollRange() const { return FVertScrollRange; }
    void SetVertScrollRange(int range);
    int HorzScrollRange() const { return FHorzScrollRange; }
    void SetHorzScrollRange(int range);
    // Scroll positions (horizontal, vertical).
    QPoint ScrollPosition() const;

    // Rows and columns for the current client size; repaints everything.
    void Arrange();
    const TIconLayout& Layout() const { return FLayout; }

    // Content coordinates. Raises EIconRangeError for an index outside the icons.
    QRect IconRect(int index) const;
    // The part of the icon inside the client area (client coordinates); empty
    // when it is not visible.
    QRect VisibleIconRect(int index) const;
    // Repaints the icon's visible part later, or at once with Update.
    void InvalidateIcon(int index, bool update);
    // Scrolls the least that shows an icon that is not visible at all.
    void ScrollIntoView(int index);
    // The icon under a client point, or -1.
    int HitTest(int x, int y) const;
    int ContentHeight() const { return FLayout.ContentHeight(); }

    // Rubber band, client coordinates. The owner begins it from its own mouse
    // handler; every mouse move then stretches it and selects what it touches.
    void BeginBand(const QRect& start);
    void EndBand();
    bool BandActive() const { return FBandActive; }
    QRect Band() const { return FBand; }

    TSelector& Selector() { return FSelector; }
    const TSelector& Selector() const { return FSelector; }

    // -1 without icons; otherwise clamped to the icons (an unset focus reads 0).
    int FocusIndex() const;
    // Moves the focus, repainting the old and the new focus icon.
    void SetFocusIndex(int index);
    // Focus to Index with the selection rules of the keyboard (Shift extends
    // when IconMultipleSelect), then scrolls it into view.
    void MoveFocus(int index, bool shift);

    // Icons the last paint drew, and those meeting the client area then; -1 when none.
    int PaintedFirst() const { return FPaintedFirst; }
    int PaintedLast() const { return FPaintedLast; }
    int VisibleFirst() const { return FVisibleFirst; }
    int VisibleLast() const { return FVisibleLast; }

signals:
    // Rect is the icon without its title band, client coordinates; Canvas is
    // the paint's off-screen painter (its state is restored after each icon).
    void OnIconDraw(TIconContainer* sender, int index, QPainter* canvas, const QRect& rect);
    void OnIconDblClk(TIconContainer* sender, int index, int x, int y);
    // A click (client coordinates of the mouse), or Enter/Space on the focus
    // icon (content coordinates of the icon's middle).
    void OnIconClick(TIconContainer* sender, int index, int x, int y);
    // Keys the container does not use. The event arrives ignored; a handler
    // that uses the key accepts it.
    void OnKeyDown(TIconContainer* sender, QKeyEvent* event);
    void OnSelectionChange(TIconContainer* sender);
    void OnBeforePaint(TIconContainer* sender);
    void OnAfterPaint(TIconContainer* sender);
    void OnMouseDown(TIconContainer* sender, QMouseEvent* event);
    void OnMouseMove(TIconContainer* sender, QMouseEvent* event);
    void OnMouseUp(TIconContainer* sender, QMouseEvent* event);
    // After a resize has re-arranged the icons.
    void OnResize(TIconContainer* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void LayoutChanged(bool changed);
    void UpdateScrollBars();
    void SelectionChanged(const TSelectionVector& changed);
    void ButtonDown(QMouseEvent* event, bool doubleClick);
    void UpdateBand(QPoint mouse, bool keepOthers);
    void RepaintFocusAndSelection();
    void PaintBackground(QPainter& painter, const QRect& area) const;

    TIconLayout FLayout;
    TSelector FSelector;
    bool FIconAutoWrap = true;
    bool FIconCUASelect = true;
    bool FIconMultipleSelect = false;
    bool FTileScreenAlign = false;
    QPixmap FTileImage;
    QList<QPixmap> FDragImage;
    int FVertScrollRange = 0;
    int FHorzScrollRange = 0;
    int FFocusIndex = -1;
    int FPaintedFirst = -1, FPaintedLast = -1;
    int FVisibleFirst = -1, FVisibleLast = -1;
    bool FBandActive = false;
    QRect FBandStart;
    int FBandScroll = 0;
    QRect FBand;
    TWheelScroll FWheel;
};
