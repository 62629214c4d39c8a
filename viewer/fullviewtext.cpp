#include "viewer/fullviewtext.h"
#include "collection/roll.h"
#include "shell/strings.h"

QString ItemIndexText(const TRoll* roll, int currentIndex) {
    if (!roll) return ResString(TStr::NoImagesIndex);
    return ResText(TStr::ImageOfCount, {currentIndex + 1, roll->Count()});
}

QString LoadingImageText(int index) { return ResString(TStr::LoadingImage) + QString::number(index + 1); }
