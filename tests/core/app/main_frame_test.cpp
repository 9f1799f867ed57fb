#include "app/main_frame.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

#include "fake_host.h"
#include "resources/resources.h"
#include "temp_dir.h"

namespace octile {
namespace {

using test::FakeHost;
using test::TempDir;

constexpr int32_t kCw = 8;  // character width of the fake font

class MainFrameTest : public ::testing::Test {
  protected:
    MainFrameTest() : doc(host), view(host, doc, store), frame(store, doc, view) {
        host.metrics = {kCw, 16};
        view.OnCreate();
    }

    TempDir dir;
    FakeHost host;
    MemoryProfileStore store;
    COctileDoc doc;
    COctileView view;
    CMainFrame frame;

    void Open(const std::string& path) {
        ASSERT_TRUE(doc.OnOpenDocument(path));
        view.OnInitialUpdate();
    }
};

TEST_F(MainFrameTest, PanesAndWidth) {
    EXPECT_FALSE(frame.ReadPosition().has_value());
    frame.WritePosition({10, 20, 0, 300});
    EXPECT_FALSE(frame.ReadPosition().has_value());  // no width: default placement
    frame.WritePosition({10, 20, 700, 300});
    ASSERT_TRUE(frame.ReadPosition().has_value());
    EXPECT_EQ(frame.ReadPosition()->x, 10);
    EXPECT_EQ(frame.ReadPosition()->h, 300);

    EXPECT_EQ(frame.IdleText(), u"ﾚﾃﾞｨ");  // no file open
    std::vector<uint8_t> bytes(0x300);
    std::iota(bytes.begin(), bytes.end(), 0);
    Open(dir.Write("f.bin", bytes));
    EXPECT_EQ(frame.PaneText(1), u"M");
    EXPECT_EQ(frame.PaneText(6), u"R/O");
    EXPECT_EQ(frame.PaneText(7), u"SJIS");
    view.UpdateSelection(SelectionStep::kAnchor, 0x2FF);
    view.UpdateSelection(SelectionStep::kCaret, 0x10);
    EXPECT_EQ(frame.PaneText(8), u"Addr=00000010-000002ff");
    // The idle message: the selection's length and the file's.
    EXPECT_EQ(frame.IdleText(), u"選択長 0x2f0 (752) ﾌｧｲﾙ長 0x300 (768)");
    view.SetCharCode(9);
    EXPECT_EQ(frame.PaneText(7), u" ");
    doc.OnCommand(ID_READ_ONLY);
    EXPECT_EQ(frame.PaneText(6), u"R/W");

    // Border 10, scroll bar 15, text area right edge 77 cells of 8 pixels.
    EXPECT_EQ(frame.IdealFrameWidth(110, 100, 15), 10 + 15 + 78 * kCw - 1);
    Open(dir.Sparse("sparse.bin", 5ull << 30));  // nine address digits: one cell wider
    EXPECT_EQ(frame.IdealFrameWidth(110, 100, 15), 10 + 15 + 79 * kCw - 1);

    struct Click {
        int pane;
        uint32_t command;
    } clicks[] = {{0, 0},
                  {1, ID_MARK_COLOR1},
                  {5, ID_MARK_COLOR5},
                  {6, ID_READ_ONLY},
                  {7, ID_CODE_NEXT},
                  {8, 0},
                  {9, 0},
                  {-1, 0}};
    for (const Click& c : clicks) EXPECT_EQ(CMainFrame::ClickCommand(c.pane), c.command) << c.pane;
    EXPECT_EQ(frame.MarkPaneColour(3), 0xFFFF00u);
}

// A click on the code pane posts ID_CODE_NEXT: Shift-JIS, UNICODE, EUC,
// UTF-8 and round again, the pane naming each.
TEST_F(MainFrameTest, CodePaneCyclesThroughTheFourCodes) {
    Open(dir.Write("f.bin", std::string(0x40, 'a')));
    EXPECT_EQ(frame.PaneText(7), u"SJIS");
    const std::u16string names[] = {u"UNICODE", u"EUC", u"UTF-8", u"SJIS", u"UNICODE"};
    for (const std::u16string& name : names) {
        ASSERT_TRUE(view.OnCommand(CMainFrame::ClickCommand(7)));
        EXPECT_EQ(frame.PaneText(7), name);
    }
}

TEST_F(MainFrameTest, MessagePaneTakesAThirdOfTheIdealWidthRoundedDown) {
    ASSERT_TRUE(doc.OnOpenDocument(dir.Write("f.bin", std::string(0x300, 'a'))));
    view.OnInitialUpdate();
    // Eight address digits: the text area's right edge is cell 77, so a
    // line is 78 cells of 8 pixels, less one.
    ASSERT_EQ(view.TextArea().right, 77);
    struct Case {
        int32_t frameWidth, clientWidth, scrollBar;
        int32_t expected;
    } cases[] = {
        {110, 100, 15, 648 / 3},  // 10 + 15 + 623 = 648, an exact third
        {100, 100, 0, 207},       // 623 / 3 = 207.67
        {101, 100, 0, 208},       // 624 / 3
        {120, 100, 17, 220},      // 20 + 17 + 623 = 660
    };
    for (const Case& c : cases) {
        EXPECT_EQ(frame.MessagePaneWidth(c.frameWidth, c.clientWidth, c.scrollBar), c.expected)
            << c.frameWidth << " " << c.clientWidth << " " << c.scrollBar;
    }
}

TEST(ScreenAreaTest, NearestAreaHoldsThePointOrLiesClosest) {
    // A primary screen, one to its right and one to its left, lower down.
    const std::vector<ScreenArea> areas = {
        {0, 0, 1920, 1080}, {1920, 0, 1280, 1024}, {-1280, 200, 1280, 800}};
    struct Case {
        int32_t x, y;
        int expected;
    } cases[] = {
        {100, 100, 0},   {2000, 50, 1},
        {-10, 300, 2},   {1919, 1079, 0},  // the last pixel of the primary screen
        {1920, 0, 1},                      // the first pixel of the right one
        {5000, 100, 1},                    // past the right screen: a monitor that is gone
        {-5000, 0, 2},   {100, 3000, 0},   // far below the primary screen
        {1920, 1100, 0},                   // below the seam: 1 and 21 pixels away, against 77
        {-1, 100, 0},  // one pixel left of the primary screen, above the left one
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NearestArea(areas, c.x, c.y), c.expected) << c.x << "," << c.y;
    }
    // Equally near (51 pixels from the last column of one and the first of
    // the other): the first area, the primary screen's.
    EXPECT_EQ(NearestArea({{0, 0, 100, 100}, {201, 0, 100, 100}}, 150, 50), 0);
    EXPECT_EQ(NearestArea({{201, 0, 100, 100}, {0, 0, 100, 100}}, 150, 50), 0);
    EXPECT_EQ(NearestArea({{0, 0, 100, 100}, {201, 0, 100, 100}}, 151, 50), 1);
    EXPECT_EQ(NearestArea({}, 0, 0), -1);
}

TEST(ScreenAreaTest, FitIntoAreaPullsTheWholeRectangleOnto) {
    using P = CMainFrame::Placement;
    const ScreenArea panel{0, 30, 1920, 1050};  // a panel takes the top 30 rows
    const ScreenArea right{1920, 0, 1280, 1024};
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    struct Case {
        const char* what;
        P rect;
        ScreenArea area;
        P expected;
    } cases[] = {
        {"inside stays", {100, 100, 661, 700}, panel, {100, 100, 661, 700}},
        {"touching every edge stays", {0, 30, 1920, 1050}, panel, {0, 30, 1920, 1050}},
        {"past the right edge", {1800, 100, 661, 700}, panel, {1259, 100, 661, 700}},
        {"under the panel", {10, 0, 661, 700}, panel, {10, 30, 661, 700}},
        {"above and left", {-300, -50, 661, 700}, panel, {0, 30, 661, 700}},
        {"past the bottom", {10, 900, 661, 700}, panel, {10, 380, 661, 700}},
        {"taller than the area", {100, 500, 661, 1400}, panel, {100, 30, 661, 1050}},
        {"larger both ways", {100, 100, 3000, 2000}, panel, {0, 30, 1920, 1050}},
        {"on a right screen", {3000, 100, 661, 700}, right, {2539, 100, 661, 700}},
        {"far out", {kMax - 10, kMin, 661, 700}, panel, {1259, 30, 661, 700}},
    };
    for (const Case& c : cases) {
        const P got = FitIntoArea(c.rect, c.area);
        EXPECT_EQ(got.x, c.expected.x) << c.what;
        EXPECT_EQ(got.y, c.expected.y) << c.what;
        EXPECT_EQ(got.w, c.expected.w) << c.what;
        EXPECT_EQ(got.h, c.expected.h) << c.what;
    }
}

TEST(ScreenAreaTest, ShrinkToFitKeepsTheProportions) {
    struct Case {
        PixelSize size, bounds, expected;
    } cases[] = {
        {{40, 30}, {1000, 800}, {40, 30}},        // fits: unchanged
        {{1000, 800}, {1000, 800}, {1000, 800}},  // fits exactly
        {{4000, 3000}, {1000, 1000}, {1000, 750}},
        {{3000, 4000}, {1000, 1000}, {750, 1000}},
        {{800, 1200}, {1000, 600}, {400, 600}},  // only the height overflows
        {{2000, 100}, {1000, 1000}, {1000, 50}},
        {{1000, 1}, {10, 10}, {10, 1}},  // never below one pixel
        {{0, 0}, {10, 10}, {0, 0}},      // nothing held
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShrinkToFit(c.size, c.bounds), c.expected)
            << c.size.w << "x" << c.size.h << " in " << c.bounds.w << "x" << c.bounds.h;
    }
}

TEST_F(MainFrameTest, SavedPlacementNeedsWidthAndHeightAndComesBackAsWritten) {
    EXPECT_FALSE(frame.ReadPosition().has_value());
    frame.WritePosition({-20, 35, 661, 707});
    const auto read = frame.ReadPosition();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->x, -20);
    EXPECT_EQ(read->y, 35);
    EXPECT_EQ(read->w, 661);
    EXPECT_EQ(read->h, 707);
    frame.WritePosition({10, 10, 661, 0});
    EXPECT_FALSE(frame.ReadPosition().has_value());
}

}  // namespace
}  // namespace octile
