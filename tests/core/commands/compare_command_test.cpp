#include "commands/compare_command.h"

#include <gtest/gtest.h>

#include "session.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::TempDir;

TEST(CompareCommandTest, CommandRemembersThePathAndShowsTheReport) {
    TempDir dir;
    test::Session session;
    test::FakeHost& host = session.host;
    COctileView& view = session.view;
    CompareCommand& compare = session.compare;
    const std::string cur = dir.Write("cur", "abc");
    const std::string other = dir.Write("other", "abd");
    ASSERT_TRUE(session.Open(cur));
    CmdUI ui;
    ASSERT_TRUE(compare.OnUpdateCommand(ID_COMPARE, ui));
    EXPECT_TRUE(ui.enabled);

    host.fileDialogScript.push_back([&](FileDialogRequest& r) {
        EXPECT_EQ(r.title, u"比較");
        EXPECT_EQ(r.initialPath, cur);  // no compare path yet: the document's
        r.chosenPath = other;
        return true;
    });
    ASSERT_TRUE(compare.OnCommand(ID_COMPARE));
    EXPECT_EQ(view.CompPath(), other);
    host.fileDialogScript.push_back([&](FileDialogRequest& r) {
        EXPECT_EQ(r.initialPath, other);
        r.chosenPath = dir.File("gone");
        return true;
    });
    ASSERT_TRUE(compare.OnCommand(ID_COMPARE));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              u"旧ファイル" + Utf8ToUtf16(dir.File("gone")) + u"がありません");
}

}  // namespace
}  // namespace octile
