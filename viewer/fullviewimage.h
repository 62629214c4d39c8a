#pragma once
// FullView: the control that shows the photo, its picture stretched to its
// bounds. It is moved and sized by the full view page inside FullViewPanel,
// which clips it; only the part inside the panel is ever drawn.
#include "imaging/bitmapgraphic.h"
#include <QWidget>

class TFullViewImage : public QWidget {
    Q_OBJECT
public:
    explicit TFullViewImage(QWidget* parent = nullptr);
    TIEBitmapGraphic& Picture() { return FPicture; }
    const TIEBitmapGraphic& Picture() const { return FPicture; }
    // Pixel by pixel while an animation runs, smoothly filtered at rest.
    void SetQuality(TIEBitmapGraphic::TQuality quality) { FQuality = quality; }
    TIEBitmapGraphic::TQuality Quality() const { return FQuality; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TIEBitmapGraphic FPicture;
    TIEBitmapGraphic::TQuality FQuality = TIEBitmapGraphic::TQuality::Smooth;
};
