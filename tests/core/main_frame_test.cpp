#include <gtest/gtest.h>

#include "app/main_frame.h"
#include "fake_host.h"
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
};

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

}  // namespace
}  // namespace octile
