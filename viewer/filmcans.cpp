#include "viewer/filmcans.h"
#include <QDir>
#include <QHash>

// Resources compiled into a static library are kept only when something
// calls their initialiser; it must be called outside any namespace.
static void InitFilmcanResources() { Q_INIT_RESOURCE(filmcans); }

namespace {

// Decoded once: the roll page draws a can per roll at every paint.
QImage Load(const char* path) {
    static const bool ready = (InitFilmcanResources(), true);
    (void)ready;
    static QHash<const char*, QImage> decoded;
    auto it = decoded.find(path);
    if (it == decoded.end())
        it = decoded.insert(path, QImage(QString::fromLatin1(path)).convertToFormat(QImage::Format_RGB32));
    return *it;
}

} // namespace

QImage FilmcanImage() { return Load(":/viewer/FilmcanImage.png"); }
QImage FilmCanImageHilight() { return Load(":/viewer/FilmCanImageHilight.png"); }
QImage FilmcanImage2x() { return Load(":/viewer/FilmcanImage-2x.png"); }
QImage FilmCanImageHilight2x() { return Load(":/viewer/FilmCanImageHilight-2x.png"); }
