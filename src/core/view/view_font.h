#pragma once
// The rules of the view font's description: the size and weight of the font
// made from it, the longest face name kept, and what the font chooser offers
// and makes of a choice.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

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

// The sizes the font chooser accepts, in points.
constexpr double kMinFontPoints = 1;
constexpr double kMaxFontPoints = 17;
inline bool IsAcceptedFontPoints(double points) {
    return std::isfinite(points) && points >= kMinFontPoints && points <= kMaxFontPoints;
}

// Points and pixels at a screen's dots per inch (0 or less taken as 1). The
// chooser shows a description's size in whole points, at least 1.
inline int32_t FontPointsToPixels(double points, int32_t dpi) {
    const double pixels = std::round(points * std::max(1, dpi) / 72.0);
    return static_cast<int32_t>(std::clamp(pixels, 1.0, double{INT32_MAX}));
}
inline double ShownFontPoints(const ViewFont& font, int32_t dpi) {
    return std::max(1.0, std::round(ViewFontPixelSize(font) * 72.0 / std::max(1, dpi)));
}

// The four styles the chooser offers: regular, italic, bold, bold italic.
struct FontStyle {
    int32_t weight;
    bool italic;
};
inline constexpr FontStyle kFontStyles[4] = {{400, false}, {400, true}, {700, false}, {700, true}};
// The style a description shows as: bold from weight 600 (semi-bold) up.
inline int ViewFontStyleIndex(const ViewFont& font) {
    return (ViewFontWeight(font) >= 600 ? 2 : 0) + (font.italic != 0 ? 1 : 0);
}

// What the user changed in the chooser; what was left as it opened is
// absent, so the description keeps its stored values there and OK without a
// change gives back the same description.
struct FontChoice {
    std::u16string face;  // empty: unchanged
    int style = -1;       // an index of kFontStyles; -1: unchanged
    double points = 0;    // 0: unchanged
};
inline ViewFont ApplyFontChoice(ViewFont font, const FontChoice& choice, int32_t dpi) {
    if (!choice.face.empty()) font.faceName = choice.face;
    if (choice.style >= 0 && choice.style < 4) {
        font.weight = kFontStyles[choice.style].weight;
        font.italic = kFontStyles[choice.style].italic ? 1 : 0;
    }
    if (choice.points != 0) font.height = -FontPointsToPixels(choice.points, dpi);
    return font;
}

}  // namespace octile
