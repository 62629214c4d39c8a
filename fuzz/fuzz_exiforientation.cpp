// The data of a JPEG's APP1 segment: the EXIF orientation read from it is
// always one of the eight the tag defines, 1 when there is none.
#include "imaging/ilibint.h"
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the segment's length, so a read past it is caught.
    const std::vector<uint8_t> segment(data, data + size);
    const int orientation = ilib::ExifOrientation(segment.data(), qint64(segment.size()));
    if (orientation < 1 || orientation > 8) __builtin_trap();
    return 0;
}
