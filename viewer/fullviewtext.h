#pragma once
// The full view's texts: the photo counter under the filmstrip and the
// progress label while a photo loads.
#include <QString>
#include <vector>

class TRoll;

inline const char* const ItemIndexTemplate = "Image %1!d! of %2!d!";
inline const char* const NoImagesText = "No Images";
inline const char* const LoadingImagePrefix = "Loading Image ";

// "Image <CurrentIndex + 1> of <photo count>" with a roll, "No Images" without.
QString ItemIndexText(const TRoll* roll, int currentIndex);
// The progress label: "Loading Image " and the photo's number (Index + 1).
QString LoadingImageText(int index);

// Fills the positional placeholders "%n!d!" (n = 1..9) of Template with the
// n-th of Args in decimal. A template naming an argument that is not there,
// or a placeholder of another kind, is returned unchanged, as the program's
// text formatting does when it fails.
// TODO(shell): give way to the shell's FormatText once it is in.
QString FormatDecimalArgs(const QString& templ, const std::vector<qint64>& args);
