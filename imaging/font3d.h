#pragma once
// The 3D style of smooth lettering: TFont3D and its outline, gradient and
// shadow sub-objects. Every setter stores a changed value and emits Changed()
// on the TFont3D (a sub-object's change is the font's change), so a label can
// repaint. The plain values live in TFont3DValues, which the glyph cache
// copies into its character sets.
#include <QColor>
#include <QImage>
#include <QObject>

namespace Smooth3D {
Q_NAMESPACE

enum TSmoothFontGradientKind { sfgkVertical, sfgkHorizontal };
Q_ENUM_NS(TSmoothFontGradientKind)

enum TSmoothFontShadowStyle { sfssNone, sfssDiffuse, sfssSharp };
Q_ENUM_NS(TSmoothFontShadowStyle)

enum TSmoothFontSite { sfpFlying, sfpLowered, sfpRaised };
Q_ENUM_NS(TSmoothFontSite)

} // namespace Smooth3D

using Smooth3D::TSmoothFontGradientKind;
using Smooth3D::TSmoothFontShadowStyle;
using Smooth3D::TSmoothFontSite;
using Smooth3D::sfgkVertical;
using Smooth3D::sfgkHorizontal;
using Smooth3D::sfssNone;
using Smooth3D::sfssDiffuse;
using Smooth3D::sfssSharp;
using Smooth3D::sfpFlying;
using Smooth3D::sfpLowered;
using Smooth3D::sfpRaised;

// Grey level of the shadow, 0..255.
using TSmoothFontShadowColor = int;

// Altitude and outline height are kept within this many pixels either way:
// the glyph cell grows with them, and a wild value must not ask for a huge
// work image.
constexpr double MaxFont3DDepth = 64.0;
// Character and line margins are kept within this many pixels either way.
constexpr int MaxFont3DMargin = 1000;

struct TFont3DValues {
    double Altitude = 3.0;
    QImage Bitmap;                       // face texture when not null
    QColor BorderColor = QColor(128, 128, 128);
    double BorderHeight = 1.0;
    double BorderEffectColor = -1.0;     // -1 darkest body .. +1 lightest
    int CharacterMargin = 0;
    QColor FrontColor = Qt::white;
    bool GradientActive = false;
    TSmoothFontGradientKind GradientKind = sfgkVertical;
    QColor GradientBeginColor = Qt::black;
    QColor GradientEndColor = Qt::white;
    TSmoothFontShadowColor ShadowColor = 32;
    TSmoothFontShadowStyle ShadowStyle = sfssSharp;
    TSmoothFontSite Site = sfpFlying;
    quint16 ViewDirection = 135;
    int VerticalMargin = 0;
    // Set when a character is rendered: minus the depth, outline and extras
    // that neighbouring glyph cells share.
    int Overlap = 0;
};

class TFont3D;

// The outline round each letter, which also colours the extruded body.
class TSmoothFontBorder : public QObject {
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(double Height READ Height WRITE SetHeight)
    Q_PROPERTY(double EffectColor READ EffectColor WRITE SetEffectColor)
public:
    explicit TSmoothFontBorder(TFont3D* owner);
    QColor Color() const;
    void SetColor(const QColor& value);
    double Height() const;
    void SetHeight(double value);
    double EffectColor() const;
    void SetEffectColor(double value);

private:
    TFont3D* FOwner;
};

class TSmoothFontGradient : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(Smooth3D::TSmoothFontGradientKind Kind READ Kind WRITE SetKind)
    Q_PROPERTY(QColor BeginColor READ BeginColor WRITE SetBeginColor)
    Q_PROPERTY(QColor EndColor READ EndColor WRITE SetEndColor)
public:
    explicit TSmoothFontGradient(TFont3D* owner);
    bool Active() const;
    void SetActive(bool value);
    TSmoothFontGradientKind Kind() const;
    void SetKind(TSmoothFontGradientKind value);
    QColor BeginColor() const;
    void SetBeginColor(const QColor& value);
    QColor EndColor() const;
    void SetEndColor(const QColor& value);

private:
    TFont3D* FOwner;
};

class TSmoothFontShadow : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(Smooth3D::TSmoothFontShadowStyle Style READ Style WRITE SetStyle)
public:
    explicit TSmoothFontShadow(TFont3D* owner);
    TSmoothFontShadowColor Color() const;
    void SetColor(TSmoothFontShadowColor value);  // kept within 0..255
    TSmoothFontShadowStyle Style() const;
    void SetStyle(TSmoothFontShadowStyle value);

private:
    TFont3D* FOwner;
};

class TFont3D : public QObject {
    Q_OBJECT
    Q_PROPERTY(double Altitude READ Altitude WRITE SetAltitude)
    Q_PROPERTY(QImage Bitmap READ Bitmap WRITE SetBitmap)
    Q_PROPERTY(TSmoothFontBorder* Border READ Border CONSTANT)
    Q_PROPERTY(int CharacterMargin READ CharacterMargin WRITE SetCharacterMargin)
    Q_PROPERTY(QColor FrontColor READ FrontColor WRITE SetFrontColor)
    Q_PROPERTY(TSmoothFontGradient* Gradient READ Gradient CONSTANT)
    Q_PROPERTY(TSmoothFontShadow* Shadow READ Shadow CONSTANT)
    Q_PROPERTY(Smooth3D::TSmoothFontSite Site READ Site WRITE SetSite)
    Q_PROPERTY(quint16 ViewDirection READ ViewDirection WRITE SetViewDirection)
    Q_PROPERTY(int VerticalMargin READ VerticalMargin WRITE SetVerticalMargin)
public:
    explicit TFont3D(QObject* parent = nullptr);

    // Copies every value of Source (the texture is copied, not shared) and
    // notifies once when anything differed.
    void Assign(const TFont3D& source);
    void Assign(const TFont3DValues& values);
    const TFont3DValues& Values() const { return FValues; }

    double Altitude() const { return FValues.Altitude; }
    void SetAltitude(double value);
    QImage Bitmap() const { return FValues.Bitmap; }
    void SetBitmap(const QImage& value);
    TSmoothFontBorder* Border() const { return FBorder; }
    int CharacterMargin() const { return FValues.CharacterMargin; }
    void SetCharacterMargin(int value);
    QColor FrontColor() const { return FValues.FrontColor; }
    void SetFrontColor(const QColor& value);
    TSmoothFontGradient* Gradient() const { return FGradient; }
    TSmoothFontShadow* Shadow() const { return FShadow; }
    TSmoothFontSite Site() const { return FValues.Site; }
    void SetSite(TSmoothFontSite value);
    quint16 ViewDirection() const { return FValues.ViewDirection; }
    void SetViewDirection(quint16 value);
    int VerticalMargin() const { return FValues.VerticalMargin; }
    void SetVerticalMargin(int value);

    // Not published: the glyph cache sets it from the character set in use.
    // Changing it does not notify; it follows from the other values.
    int Overlap() const { return FValues.Overlap; }
    void SetOverlap(int value) { FValues.Overlap = value; }

signals:
    void Changed();

private:
    friend class TSmoothFontBorder;
    friend class TSmoothFontGradient;
    friend class TSmoothFontShadow;

    // Stores Value into Field and notifies when it differed.
    template <typename T>
    void Store(T& field, const T& value) {
        if (field == value) return;
        field = value;
        emit Changed();
    }

    TFont3DValues FValues;
    TSmoothFontBorder* FBorder;      // owned through the Qt parent
    TSmoothFontGradient* FGradient;
    TSmoothFontShadow* FShadow;
};
