#include "viewer/slideshowlogic.h"
#include <algorithm>

QRect SlideRect(QSize photo, QSize area, bool collage, const TSlideRandom& random) {
    int w = photo.width(), h = photo.height();
    if (collage && random(2) == 0) {
        w /= 2;
        h /= 2;
    }
    while ((w > area.width() || h > area.height()) && w > 0 && h > 0) {
        w /= 2;
        h /= 2;
    }
    QRect rect((area.width() - w) / 2, (area.height() - h) / 2, w, h);
    if (collage) {
        // Anywhere it fits whole (a photo as wide as the screen stays at the left edge).
        const int x = area.width() - w - 1 > 0 ? random(area.width() - w) : 0;
        const int y = area.height() - h - 1 > 0 ? random(area.height() - h) : 0;
        rect.moveTo(x, y);
    }
    return rect;
}

int SlideDelayMs(int ssInterval) {
    return std::clamp(ssInterval, MinSlideSeconds, MaxSlideSeconds) * 1000 + SlideStartMs;
}
