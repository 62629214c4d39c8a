#include "viewer/filmcans.h"
#include <QDir>

// Resources compiled into a static library are kept only when something
// calls their initialiser; it must be called outside any namespace.
static void InitFilmcanResources() { Q_INIT_RESOURCE(filmcans); }

namespace {

QImage Load(const char* path) {
    static const bool ready = (InitFilmcanResources(), true);
    (void)ready;
    return QImage(QString::fromLatin1(path)).convertToFormat(QImage::Format_RGB32);
}

} // namespace

QImage FilmcanImage() { return Load(":/viewer/FilmcanImage.png"); }
QImage FilmCanImageHilight() { return Load(":/viewer/FilmCanImageHilight.png"); }
