// The two blocks a plug-in's GetPicture hands back (information header with
// colour table, and pixels), each from malloc with exactly the size the
// plug-in chose, packed into one bitmap and taken by the picture holder.
//
// Input: bytes 0-1: the information block's size; then that block, then the
// pixel block (the rest).
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_input.h"
#include "picture/dib.h"
#include "picture/picture_host.h"
#include "picture_checks.h"

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

std::unique_ptr<void, FreeDeleter> MallocCopy(const std::vector<uint8_t>& bytes) {
    void* p = std::malloc(bytes.size());
    if (p != nullptr && !bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
    return std::unique_ptr<void, FreeDeleter>(p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace octile;
    using namespace octile::fuzz;
    FuzzInput in(data, size);
    const uint16_t infoSize = in.U16();
    const std::vector<uint8_t> infoBytes = in.Take(infoSize);
    const std::vector<uint8_t> bitsBytes = in.Rest();
    const auto info = MallocCopy(infoBytes);
    const auto bits = MallocCopy(bitsBytes);

    std::optional<PackedBitmap> packed = PackPluginOutput(info.get(), bits.get());
    // No block at all is no picture.
    FUZZ_CHECK(!PackPluginOutput(nullptr, bits.get()));
    if (packed) {
        const auto l = ReadPackedLayout(*packed);
        FUZZ_CHECK(l.has_value() && l->PackedSize() == packed->size());
        // Within the blocks as malloc sized them (which may round a request up).
        FUZZ_CHECK(l->PixelOffset() <= ::malloc_usable_size(info.get()));
        FUZZ_CHECK(l->imageSize <= ::malloc_usable_size(bits.get()));
        FUZZ_CHECK(l->PixelOffset() > infoBytes.size() ||
                   std::memcmp(packed->data(), infoBytes.data(), l->PixelOffset()) == 0);
    }
    CDib dib;
    const bool had = packed.has_value();
    dib.TakeBitmap(std::move(packed));
    FUZZ_CHECK(dib.HasBitmap() == had);
    DrawLikeAWindow(dib);
    // The saved form of what was taken is laid out as the same picture.
    if (dib.HasBitmap()) {
        const std::vector<uint8_t> file = dib.BitmapFileBytes();
        FUZZ_CHECK(file.size() == 14 + dib.Bitmap().size());
    }
    return 0;
}
