#pragma once
// The view font's description, as the font chooser, the view's font
// measurement and the compare report window exchange it.
#include <cstdint>
#include <string>

namespace octile {

// The four stored fields. The rest of the description is fixed (fixed
// pitch, Shift-JIS character set).
struct ViewFont {
    int32_t height = -15;  // negative: character height in pixels
    int32_t weight = 400;
    uint8_t italic = 0;
    std::u16string faceName;  // at most 31 characters
    bool operator==(const ViewFont&) const = default;
};

}  // namespace octile
