#pragma once
// TSmoothLabel3D: a label that draws its caption as smooth 3D lettering
// through the process-wide glyph cache, in the label's font (default
// "Arial") and its Font3D style. Like an ordinary label it honours the "&"
// accelerator marker, the horizontal alignment, the vertical layout, line
// breaks and word wrap.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

#include "imaging/font3d.h"

// A caption with its accelerator markers taken out: "&&" stands for "&",
// "&x" marks x (the first such is underlined), a lone "&" at the end goes.
struct TAcceleratedText {
    QString Text;
    int AcceleratorIndex = -1;   // position in Text, -1 for none
};
TAcceleratedText StripAccelerator(const QString& caption, bool showAccelChar);

// A line of a laid-out caption: a piece of the text.
struct TCaptionLine {
    int Start = 0;
    int Length = 0;
};
// Lines of Text: a break at every CR LF, LF or CR; with WordWrap also before
// a word that would make the line wider than MaxWidth (the blanks at the
// break are dropped). A word wider than MaxWidth keeps a line of its own.
std::vector<TCaptionLine> BreakCaptionLines(const QString& text, bool wordWrap, int maxWidth,
                                            const std::function<int(const QString&)>& measure);

class TSmoothLabel3D : public QWidget {
    Q_OBJECT
public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)
    enum TTextLayout { tlTop, tlCenter, tlBottom };
    Q_ENUM(TTextLayout)

private:
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(TTextLayout Layout READ Layout WRITE SetLayout)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(bool ShowAccelChar READ ShowAccelChar WRITE SetShowAccelChar)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(TFont3D* Font3D READ Font3D WRITE SetFont3D)

public:
    explicit TSmoothLabel3D(QWidget* parent = nullptr);
    ~TSmoothLabel3D() override;

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool value);
    // With a clear background the label draws only its lettering over what
    // lies behind it; otherwise it first fills itself with its window colour.
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    TFont3D* Font3D() const { return FFont3D; }
    // Copies the values of Value (the label keeps its own TFont3D).
    void SetFont3D(TFont3D* value);

    // Size of the caption's lines as they are laid out for the current width
    // (unwrapped for the size hint).
    QSize TextSize(int wrapWidth = -1) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Changed();

    QString FCaption;
    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = tlTop;
    bool FWordWrap = false;
    bool FShowAccelChar = true;
    bool FTransparent = false;
    TFont3D* FFont3D;   // owned through the Qt parent
};
