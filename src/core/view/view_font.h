#pragma once
// The rules of the view font's description: the size and weight of the font
// made from it, and the longest face name kept.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "host/font.h"

namespace octile {

// Face names longer than this are cut to it.
constexpr size_t kMaxFaceName = 31;

// The pixel size of the font made from the description. A negative height is
// the character height, a positive one the cell height, taken as the same
// size; 0 asks for the default 15.
inline int32_t ViewFontPixelSize(const ViewFont& font) {
    if (font.height == 0) return 15;
    // Widened first: the magnitude of the most negative height does not fit.
    const int64_t pixels = font.height < 0 ? -int64_t{font.height} : int64_t{font.height};
    return static_cast<int32_t>(std::min<int64_t>(pixels, INT32_MAX));
}

// The weight (1..1000) of the font made from the description; 0 or below
// asks for the normal weight, 400.
inline int32_t ViewFontWeight(const ViewFont& font) {
    return font.weight <= 0 ? 400 : std::min(font.weight, 1000);
}

// The description as stored: the face name cut to its longest.
inline void TrimFaceName(ViewFont& font) {
    if (font.faceName.size() > kMaxFaceName) font.faceName.resize(kMaxFaceName);
}

}  // namespace octile
