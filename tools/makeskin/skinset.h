#pragma once
// Every picture of the default skin, drawn in code.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

namespace MakeSkin {

struct TSkinPicture {
    QString Group;     // "XLumRes" or "Custom"
    QByteArray Type;   // "JPEG" or "AJPG"
    QByteArray Name;   // "0031"
    int Frames = 1;
    QImage Image;      // opaque; a strip for AJPG; Scale pixels per unit
};

// Sizes the main window is laid out for.
constexpr int ToolButtonSize = 90;    // big toolbar buttons: square frames with caption
constexpr int SmallButtonSize = 44;   // previous/next, zoom, rotate
constexpr int HoverFrames = 8;        // frames of the hover animation
constexpr int HeaderWidth = 90;
constexpr int HeaderHeight = 20;
constexpr int LogoFrames = 12;        // the brand logo's frames

// The whole skin, both groups, in the order of the resource table, drawn at
// Scale (2 for the twins: the same drawing at twice the size; the types
// stay those of the 1x pictures).
QList<TSkinPicture> DrawDefaultSkin(qreal scale = 1);

// The film-can pictures of the roll page (83 x 87), at rest and highlighted,
// drawn at Scale.
QImage DrawFilmCan(bool highlighted, qreal scale = 1);

} // namespace MakeSkin
