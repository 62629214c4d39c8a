// Colour profiles: a picture that carries an ICC profile other than sRGB is
// converted to sRGB when it is decoded, so a wide-gamut photo (Adobe RGB,
// ROMM, Display P3) shows its real colours on a screen taken to be sRGB.
// Untagged and sRGB-tagged pictures are left exactly as decoded.
#include "imaging/ilibint.h"
#include <QColorSpace>
#include <QColorTransform>
#include <list>
#include <mutex>

namespace ilib {
namespace {

struct TProfileEntry {
    QByteArray Profile;
    bool Foreign = false;
    QColorTransform ToSrgb;
};

// A camera or an editor writes the same profile into every photo: the last
// few are kept parsed, so the profile of a roll is read once.
std::mutex ProfileMutex;
std::list<TProfileEntry> ProfileCache;  // most recent first
constexpr size_t ProfileCacheSize = 4;
// Far above any matrix profile; a larger one is taken as damaged.
constexpr qsizetype MaxProfileBytes = 4 << 20;

const QColorSpace& Srgb() {
    static const QColorSpace srgb(QColorSpace::SRgb);
    return srgb;
}

// Whether Space is one Qt can convert from and differs from sRGB.
bool IsForeignSpace(const QColorSpace& space) {
    return space.isValid() && space != Srgb() && !space.transformationToColorSpace(Srgb()).isIdentity();
}

TProfileEntry EntryFor(const QByteArray& profile) {
    std::lock_guard lock(ProfileMutex);
    for (auto it = ProfileCache.begin(); it != ProfileCache.end(); ++it) {
        if (it->Profile == profile) {
            ProfileCache.splice(ProfileCache.begin(), ProfileCache, it);
            return ProfileCache.front();
        }
    }
    TProfileEntry entry;
    entry.Profile = profile;
    // Qt reads matrix and curve profiles; anything else (look-up tables,
    // CMYK, damaged bytes) gives no colour space and the picture stays as it is.
    const QColorSpace space = QColorSpace::fromIccProfile(profile);
    entry.Foreign = IsForeignSpace(space);
    if (entry.Foreign) entry.ToSrgb = space.transformationToColorSpace(Srgb());
    ProfileCache.push_front(entry);
    if (ProfileCache.size() > ProfileCacheSize) ProfileCache.pop_back();
    return entry;
}

bool Apply(QImage& image, const QColorTransform& transform) {
    // A grey picture with an RGB profile is rare enough to be shown as it
    // is; colour photos are held as RGB, palettes have their table converted.
    const QImage::Format format = image.format();
    if (format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16) return true;
    image.applyColorTransform(transform);
    if (image.format() != format) image = std::move(image).convertToFormat(format);
    return !image.isNull();
}

} // namespace

bool IsForeignProfile(const QByteArray& profile) {
    if (profile.isEmpty() || profile.size() > MaxProfileBytes) return false;
    return EntryFor(profile).Foreign;
}

bool ConvertProfileToSrgb(QImage& image, const QByteArray& profile) {
    if (profile.isEmpty() || profile.size() > MaxProfileBytes || image.isNull()) return true;
    const TProfileEntry entry = EntryFor(profile);
    return !entry.Foreign || Apply(image, entry.ToSrgb);
}

bool ConvertSpaceToSrgb(QImage& image) {
    const QColorSpace space = image.colorSpace();
    if (!IsForeignSpace(space)) return true;
    if (!Apply(image, space.transformationToColorSpace(Srgb()))) return false;
    image.setColorSpace(Srgb());
    return true;
}

} // namespace ilib
