#pragma once
// The roll page's film-can pictures (83 x 87): program resources drawn by
// tools/make-skin (--filmcans) in the style of the default skin.
#include <QImage>

QImage FilmcanImage();         // at rest
QImage FilmCanImageHilight();  // under the mouse
