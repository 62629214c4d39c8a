#pragma once
// Where the slideshow puts a photo: halved until it fits the screen, centred
// (plain style) or at a random place, half the time at half size (collage).
#include <QRect>
#include <QSize>
#include <functional>

// Random whole number 0 .. Bound - 1 (Bound > 0).
using TSlideRandom = std::function<int(int bound)>;

QRect SlideRect(QSize photo, QSize area, bool collage, const TSlideRandom& random);

// The slideshow's delay between two photos for the [Config] SSInterval
// value in seconds: kept to 1..3600 seconds (a negative value would stop the
// show's timer, a huge one overflow it), plus the time a transition starts.
constexpr int MinSlideSeconds = 1;
constexpr int MaxSlideSeconds = 3600;
constexpr int SlideStartMs = 100;
int SlideDelayMs(int ssInterval);

// The mouse stops the show once it is this many pixels from where it was
// when the show began, across or down.
constexpr int SlideStopDistance = 6;
