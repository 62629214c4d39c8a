// Pixel memory for large pictures.
//
// The full view and the slideshow load one large photo after another, mostly
// of one size. Memory fresh from the system costs a page fault for every 4 KB
// on its first write, which for a 3072 x 2048 photo takes as long as half its
// decode, and handing the old picture's memory back costs more. So the memory
// of the last large picture freed is kept as a spare and the next picture of
// about that size is decoded into it.
#include "imaging/ilib.h"
#include "imaging/ilibint.h"
#include <cstdlib>
#include <mutex>

namespace {

// Pictures smaller than this are left to the ordinary allocator.
constexpr size_t SpareFrom = size_t(4) << 20;
// Nor is a block larger than twice an ExLarge photo (3072 x 2048, 24 bits)
// kept: one panorama would otherwise stay resident while ordinary photos
// are viewed.
constexpr size_t SpareUpTo = size_t(2) * 3072 * 2048 * 3;
// The header in front of the pixels keeps the block's size; 64 bytes keeps
// the rows aligned for vector code.
constexpr size_t HeaderBytes = 64;

struct TSpare {
    std::mutex Lock;
    void* Block = nullptr;
    size_t Bytes = 0;
};

// Never destroyed: a picture freed while the program ends still finds it.
TSpare& Spare() {
    static TSpare* spare = new TSpare;
    return *spare;
}

size_t BlockBytes(void* block) { return *static_cast<size_t*>(block); }

// The QImage cleanup: the block becomes the spare, or is freed when a spare
// is already kept (the newer one is kept: the next picture is likely its size).
// A block too large to keep is freed and leaves the spare as it was.
void ReturnBlock(void* block) {
    if (BlockBytes(block) > SpareUpTo) {
        std::free(block);
        return;
    }
    void* drop = block;
    {
        TSpare& spare = Spare();
        std::lock_guard lock(spare.Lock);
        std::swap(drop, spare.Block);
        spare.Bytes = BlockBytes(block);
    }
    std::free(drop);
}

// A block for Bytes of pixels: the spare when it is large enough and not
// much larger, else a new one. Null when there is no memory.
void* TakeBlock(size_t bytes) {
    {
        TSpare& spare = Spare();
        std::lock_guard lock(spare.Lock);
        if (spare.Block && spare.Bytes >= bytes && spare.Bytes - bytes <= bytes / 4) {
            void* block = spare.Block;
            spare.Block = nullptr;
            spare.Bytes = 0;
            return block;
        }
    }
    void* block = std::malloc(HeaderBytes + bytes);
    if (block) *static_cast<size_t*>(block) = bytes;
    return block;
}

} // namespace

namespace ilib {

QImage NewPictureImage(int width, int height, QImage::Format format) {
    if (width <= 0 || height <= 0) return QImage();
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    // Rows padded to 32 bits, as QImage pads its own.
    const qsizetype bytesPerLine = (qsizetype(width) * depth + 31) / 32 * 4;
    const size_t bytes = size_t(bytesPerLine) * size_t(height);
    if (bytes < SpareFrom) return QImage(width, height, format);
    void* block = TakeBlock(bytes);
    if (!block) return QImage();
    return QImage(static_cast<uchar*>(block) + HeaderBytes, width, height, bytesPerLine, format, ReturnBlock,
                  block);
}

size_t SparePictureBytes() {
    TSpare& spare = Spare();
    std::lock_guard lock(spare.Lock);
    return spare.Block ? spare.Bytes : 0;
}

}  // namespace ilib

void L_ReleaseSparePictureMemory() {
    void* drop = nullptr;
    {
        TSpare& spare = Spare();
        std::lock_guard lock(spare.Lock);
        std::swap(drop, spare.Block);
        spare.Bytes = 0;
    }
    std::free(drop);
}
