#include "settings/template_file.h"

#include <gtest/gtest.h>

namespace octile {
namespace {

TEST(FileFilter, SplitsIntoDescriptionsAndPatterns) {
    struct Case {
        const char* name;
        std::u16string filter;
        std::vector<FilterEntry> expected;
    } cases[] = {
        {"ini", u"設定ﾌｧｲﾙ(*.ini)|*.ini||", {{u"設定ﾌｧｲﾙ(*.ini)", {u"*.ini"}}}},
        {"all files", u"全て(*.*)|*.*||", {{u"全て(*.*)", {u"*"}}}},
        {"several patterns",
         u"画像|*.bmp;*.png|その他|*.txt||",
         {{u"画像", {u"*.bmp", u"*.png"}}, {u"その他", {u"*.txt"}}}},
        {"no closing bars", u"A|*.a", {{u"A", {u"*.a"}}}},
        {"empty", u"", {}},
        {"spaces around patterns",
         u"A| *.a ;\u3000*.b\t;;|B|*.b||",
         {{u"A", {u"*.a", u"*.b"}}, {u"B", {u"*.b"}}}},
        {"no patterns", u"A| ; |B|||C|*.c", {{u"A", {u"*"}}, {u"B", {u"*"}}}},
        {"description without patterns", u"A|*.a|B", {{u"A", {u"*.a"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<FilterEntry> got = SplitFileFilter(c.filter);
        ASSERT_EQ(got.size(), c.expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].description, c.expected[i].description) << i;
            EXPECT_EQ(got[i].patterns, c.expected[i].patterns) << i;
        }
    }
}

}  // namespace
}  // namespace octile
