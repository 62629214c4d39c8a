#include "imaging/font3d.h"

#include <algorithm>
#include <cmath>

namespace {

// Depths outside the range, and values that are no number, would make the
// glyph cell meaningless.
double SaneDepth(double value) {
    if (!std::isfinite(value)) return 0.0;
    return std::clamp(value, -MaxFont3DDepth, MaxFont3DDepth);
}

// Extra pixels per character or line; beyond this a layout would only overflow.
int SaneMargin(int value) { return std::clamp(value, -MaxFont3DMargin, MaxFont3DMargin); }

double SaneEffect(double value) {
    if (!std::isfinite(value)) return 0.0;
    return std::clamp(value, -1.0, 1.0);
}

} // namespace

// ---- TSmoothFontBorder -----------------------------------------------------

TSmoothFontBorder::TSmoothFontBorder(TFont3D* owner) : QObject(owner), FOwner(owner) {
    setObjectName("Border");
}
QColor TSmoothFontBorder::Color() const { return FOwner->FValues.BorderColor; }
void TSmoothFontBorder::SetColor(const QColor& value) { FOwner->Store(FOwner->FValues.BorderColor, value); }
double TSmoothFontBorder::Height() const { return FOwner->FValues.BorderHeight; }
void TSmoothFontBorder::SetHeight(double value) { FOwner->Store(FOwner->FValues.BorderHeight, SaneDepth(value)); }
double TSmoothFontBorder::EffectColor() const { return FOwner->FValues.BorderEffectColor; }
void TSmoothFontBorder::SetEffectColor(double value) {
    FOwner->Store(FOwner->FValues.BorderEffectColor, SaneEffect(value));
}

// ---- TSmoothFontGradient ---------------------------------------------------

TSmoothFontGradient::TSmoothFontGradient(TFont3D* owner) : QObject(owner), FOwner(owner) {
    setObjectName("Gradient");
}
bool TSmoothFontGradient::Active() const { return FOwner->FValues.GradientActive; }
void TSmoothFontGradient::SetActive(bool value) { FOwner->Store(FOwner->FValues.GradientActive, value); }
TSmoothFontGradientKind TSmoothFontGradient::Kind() const { return FOwner->FValues.GradientKind; }
void TSmoothFontGradient::SetKind(TSmoothFontGradientKind value) { FOwner->Store(FOwner->FValues.GradientKind, value); }
QColor TSmoothFontGradient::BeginColor() const { return FOwner->FValues.GradientBeginColor; }
void TSmoothFontGradient::SetBeginColor(const QColor& value) {
    FOwner->Store(FOwner->FValues.GradientBeginColor, value);
}
QColor TSmoothFontGradient::EndColor() const { return FOwner->FValues.GradientEndColor; }
void TSmoothFontGradient::SetEndColor(const QColor& value) { FOwner->Store(FOwner->FValues.GradientEndColor, value); }

// ---- TSmoothFontShadow -----------------------------------------------------

TSmoothFontShadow::TSmoothFontShadow(TFont3D* owner) : QObject(owner), FOwner(owner) {
    setObjectName("Shadow");
}
TSmoothFontShadowColor TSmoothFontShadow::Color() const { return FOwner->FValues.ShadowColor; }
void TSmoothFontShadow::SetColor(TSmoothFontShadowColor value) {
    FOwner->Store(FOwner->FValues.ShadowColor, std::clamp(value, 0, 255));
}
TSmoothFontShadowStyle TSmoothFontShadow::Style() const { return FOwner->FValues.ShadowStyle; }
void TSmoothFontShadow::SetStyle(TSmoothFontShadowStyle value) { FOwner->Store(FOwner->FValues.ShadowStyle, value); }

// ---- TFont3D ---------------------------------------------------------------

TFont3D::TFont3D(QObject* parent)
    : QObject(parent),
      FBorder(new TSmoothFontBorder(this)),
      FGradient(new TSmoothFontGradient(this)),
      FShadow(new TSmoothFontShadow(this)) {
    setObjectName("Font3D");
}

void TFont3D::Assign(const TFont3D& source) {
    if (&source != this) Assign(source.FValues);
}

void TFont3D::Assign(const TFont3DValues& values) {
    TFont3DValues next = values;
    next.Altitude = SaneDepth(next.Altitude);
    next.BorderHeight = SaneDepth(next.BorderHeight);
    next.BorderEffectColor = SaneEffect(next.BorderEffectColor);
    next.ShadowColor = std::clamp(next.ShadowColor, 0, 255);
    next.CharacterMargin = SaneMargin(next.CharacterMargin);
    next.VerticalMargin = SaneMargin(next.VerticalMargin);
    // Assigned, not shared: the copy is detached from the source's pixels.
    if (!next.Bitmap.isNull()) next.Bitmap = next.Bitmap.copy();
    const TFont3DValues& now = FValues;
    const bool changed =
        now.Altitude != next.Altitude || now.Bitmap != next.Bitmap || now.BorderColor != next.BorderColor ||
        now.BorderHeight != next.BorderHeight || now.BorderEffectColor != next.BorderEffectColor ||
        now.CharacterMargin != next.CharacterMargin || now.FrontColor != next.FrontColor ||
        now.GradientActive != next.GradientActive || now.GradientKind != next.GradientKind ||
        now.GradientBeginColor != next.GradientBeginColor || now.GradientEndColor != next.GradientEndColor ||
        now.ShadowColor != next.ShadowColor || now.ShadowStyle != next.ShadowStyle || now.Site != next.Site ||
        now.ViewDirection != next.ViewDirection || now.VerticalMargin != next.VerticalMargin;
    FValues = std::move(next);
    if (changed) emit Changed();
}

void TFont3D::SetAltitude(double value) { Store(FValues.Altitude, SaneDepth(value)); }

void TFont3D::SetBitmap(const QImage& value) {
    if (FValues.Bitmap == value) return;
    FValues.Bitmap = value.isNull() ? QImage() : value.copy();
    emit Changed();
}

void TFont3D::SetCharacterMargin(int value) { Store(FValues.CharacterMargin, SaneMargin(value)); }
void TFont3D::SetFrontColor(const QColor& value) { Store(FValues.FrontColor, value); }
void TFont3D::SetSite(TSmoothFontSite value) { Store(FValues.Site, value); }
void TFont3D::SetViewDirection(quint16 value) { Store(FValues.ViewDirection, value); }
void TFont3D::SetVerticalMargin(int value) { Store(FValues.VerticalMargin, SaneMargin(value)); }
