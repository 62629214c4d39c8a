#pragma once
// The full view's texts: the photo counter in the section bar and the
// progress label while a photo loads (from the string table).
#include <QString>

class TRoll;

// "Image <CurrentIndex + 1> of <photo count>" with a roll, "No Images" without.
QString ItemIndexText(const TRoll* roll, int currentIndex);
// The progress label: "Loading Image " and the photo's number (Index + 1).
QString LoadingImageText(int index);
