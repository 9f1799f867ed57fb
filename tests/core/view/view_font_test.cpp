#include "view/view_font.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace octile {
namespace {

TEST(ViewFont, PixelSizeAndWeightOfTheDescription) {
    struct Case {
        int32_t height, weight;
        int32_t pixels, shownWeight;
    };
    const Case cases[] = {
        {-15, 400, 15, 400},  // the stored default
        {0, 0, 15, 400},      // nothing stored: the defaults
        {12, 700, 12, 700},   // a cell height is taken as the size
        {-1, 1, 1, 1},        // the smallest of both
        {-20, -5, 20, 400},   // a negative weight is the normal one
        {-16, 1000, 16, 1000},
        {-16, 1001, 16, 1000},                    // heavier than the heaviest
        {INT32_MIN, INT32_MAX, INT32_MAX, 1000},  // a corrupt store stays in range
        {INT32_MAX, INT32_MIN, INT32_MAX, 400},
    };
    for (const Case& c : cases) {
        ViewFont font;
        font.height = c.height;
        font.weight = c.weight;
        EXPECT_EQ(ViewFontPixelSize(font), c.pixels) << c.height;
        EXPECT_EQ(ViewFontWeight(font), c.shownWeight) << c.weight;
    }
}

TEST(ViewFont, DescriptionsCompareByAllFourFields) {
    const ViewFont base{-15, 400, 0, u"Mono"};
    EXPECT_EQ(base, (ViewFont{-15, 400, 0, u"Mono"}));
    EXPECT_NE(base, (ViewFont{15, 400, 0, u"Mono"}));
    EXPECT_NE(base, (ViewFont{-15, 700, 0, u"Mono"}));
    EXPECT_NE(base, (ViewFont{-15, 400, 1, u"Mono"}));
    EXPECT_NE(base, (ViewFont{-15, 400, 0, u"Sans"}));
}

}  // namespace
}  // namespace octile
