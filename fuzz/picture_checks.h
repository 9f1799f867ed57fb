#pragma once
// What a picture window does with a held bitmap before and while drawing it,
// done on an exact copy of the block so that every byte the layout promises
// is checked to lie inside it.
#include <cstdint>

#include "fuzz_input.h"
#include "picture/dib.h"

namespace octile::fuzz {

inline void DrawLikeAWindow(const CDib& dib) {
    if (!dib.HasBitmap()) {
        FUZZ_CHECK(!dib.PaintPicture({0, 0, 640, 480}, true));
        return;
    }
    const ExactBlock block(dib.Bitmap());
    const auto l = ReadPackedLayout(dib.Bitmap());
    FUZZ_CHECK(l.has_value());
    FUZZ_CHECK(l->PackedSize() == block.size());
    FUZZ_CHECK(l->width >= 1 && l->rows >= 1);
    // The colour table and every pixel byte, as the painter reads them.
    uint32_t sum = 0;
    for (uint64_t i = 0; i < block.size(); ++i) sum += block.data()[i];
    const PictureRect r = dib.GetPictureRect();
    FUZZ_CHECK(r.Width() == l->width && r.Height() == static_cast<int32_t>(l->rows));
    FUZZ_CHECK(dib.Palette().size() == l->colours);
    for (const PictureRect& target : {PictureRect{0, 0, 640, 480}, PictureRect{0, 0, 1, 1},
                                      PictureRect{0, 0, 0, 0}, PictureRect{10, 20, 32767, 32767}}) {
        const auto drawn = dib.PaintPicture(target, (sum & 1) != 0);
        FUZZ_CHECK(drawn.has_value());
    }
}

}  // namespace octile::fuzz
