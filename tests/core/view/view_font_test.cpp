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

// What the font chooser offers and makes of a choice: sizes of 1 to 17
// points, four styles, and only the fields the user changed.
TEST(ViewFont, ChooserSizesStylesAndChoices) {
    for (const double p : {1.0, 9.5, 17.0}) EXPECT_TRUE(IsAcceptedFontPoints(p)) << p;
    for (const double p : {0.0, 0.5, 17.5, -3.0, 1e300 * 1e300})
        EXPECT_FALSE(IsAcceptedFontPoints(p)) << p;
    EXPECT_EQ(FontPointsToPixels(11, 96), 15);  // 14.67 rounds up
    EXPECT_EQ(FontPointsToPixels(17, 96), 23);
    EXPECT_EQ(FontPointsToPixels(1, 0), 1);  // no dpi: one dot per inch, at least a pixel
    ViewFont stored;
    stored.height = -15;
    EXPECT_EQ(ShownFontPoints(stored, 96), 11);
    EXPECT_EQ(ShownFontPoints(stored, 192), 6);

    struct Case {
        int32_t weight;
        uint8_t italic;
        int style;
    } styles[] = {{400, 0, 0}, {0, 1, 1}, {599, 0, 0}, {600, 0, 2}, {900, 1, 3}};
    for (const Case& c : styles) {
        ViewFont f;
        f.weight = c.weight;
        f.italic = c.italic;
        EXPECT_EQ(ViewFontStyleIndex(f), c.style) << c.weight;
    }

    stored = {-13, 550, 0, u"ＭＳ ゴシック"};
    EXPECT_EQ(ApplyFontChoice(stored, {}, 96), stored);  // nothing changed: as stored
    EXPECT_EQ(ApplyFontChoice(stored, {u"Noto Sans Mono CJK JP", -1, 0}, 96),
              (ViewFont{-13, 550, 0, u"Noto Sans Mono CJK JP"}));
    EXPECT_EQ(ApplyFontChoice(stored, {u"", 3, 0}, 96), (ViewFont{-13, 700, 1, u"ＭＳ ゴシック"}));
    EXPECT_EQ(ApplyFontChoice(stored, {u"", -1, 17}, 96),
              (ViewFont{-23, 550, 0, u"ＭＳ ゴシック"}));
}

}  // namespace
}  // namespace octile
