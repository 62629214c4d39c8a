#pragma once
// Photo-like demo pictures: sky and ground gradients, sun, hills, houses,
// flowers, with the roll name and frame number drawn large so that a person
// can tell every frame and every size apart on screen.
#include "tools/makedisc/disc_plan.h"
#include <QImage>

namespace MakeDisc {

// The frame at the largest level's size (3072 x 2048, portrait 2048 x 3072),
// Format_RGB32. Uses no fonts, so it may run on any thread. The same frame
// always gives the same picture.
QImage DrawDemoScene(const TDemoFrame& frame);

} // namespace MakeDisc
