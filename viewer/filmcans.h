#pragma once
// The roll page's film-can pictures (83 x 87): program resources drawn by
// tools/make-skin (--filmcans) in the style of the default skin, each with
// its twin of twice the size for screens of a device pixel ratio above 1.
#include <QImage>

QImage FilmcanImage();         // at rest
QImage FilmCanImageHilight();  // under the mouse
QImage FilmcanImage2x();
QImage FilmCanImageHilight2x();
