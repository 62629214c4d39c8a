#pragma once
// Where the slideshow puts a photo: halved until it fits the screen, centred
// (plain style) or at a random place, half the time at half size (collage).
#include <QRect>
#include <QSize>
#include <functional>

// Random whole number 0 .. Bound - 1 (Bound > 0).
using TSlideRandom = std::function<int(int bound)>;

QRect SlideRect(QSize photo, QSize area, bool collage, const TSlideRandom& random);
