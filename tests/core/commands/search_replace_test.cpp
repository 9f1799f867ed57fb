#include <algorithm>
#include <random>

#include "resources/resources.h"
#include "search/replace_run.h"
#include "search_fixture.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::Bytes;
using test::ToBytes;

class ReplaceTest : public test::SearchFixture {
  protected:
    void OpenText(const std::string& text, bool writable = true) { Open(ToBytes(text), writable); }
    void Replace(std::u16string search, std::u16string replacement, bool all) {
        AnswerDialog(search, replacement, all ? 1 : 0);
        Cmd(ID_REPLACE);
    }
    int Questions() const {
        int n = 0;
        for (const auto& m : host.messages) {
            if (m.text == LoadString(IDS_REPLACE_QUESTION)) {
                EXPECT_EQ(m.type, MB_YESNOCANCEL | MB_ICONQUESTION);
                ++n;
            }
        }
        return n;
    }
};

TEST_F(ReplaceTest, ReplaceAllStopsAtTheStartOffset) {
    OpenText("ab ab ab");
    PutCaretOn(0);
    Replace(u"ab", u"xy", true);
    EXPECT_EQ(opened.replaceMode, 1);
    EXPECT_EQ(test::ReadAll(path), "ab xy xy");
    // The search came round to offset 0, which is shown but not replaced.
    EXPECT_EQ(view.Anchor(), 0u);
    EXPECT_EQ(host.beeps, 0);
    EXPECT_TRUE(commands.IsWrapped());
    EXPECT_EQ(commands.ReplaceText(), u"xy");
    EXPECT_FALSE(commands.IsSearching());
}

TEST_F(ReplaceTest, ConfirmationAsksOncePerOccurrence) {
    struct Case {
        int answer;
        const char* result;
        int questions;
    };
    const Case cases[] = {
        {IDNO, "ab ab ab", 2},
        {IDYES, "ab xy xy", 2},
        {IDCANCEL, "ab ab ab", 1},
    };
    for (const Case& c : cases) {
        OpenText("ab ab ab");
        PutCaretOn(0);
        host.messages.clear();
        host.messageAnswers.assign(5, c.answer);
        std::vector<uint64_t> shown;
        commands.onHit = [&](uint64_t anchor) { shown.push_back(anchor); };
        Replace(u"ab", u"xy", false);
        EXPECT_EQ(test::ReadAll(path), c.result) << c.answer;
        EXPECT_EQ(Questions(), c.questions) << c.answer;
        const std::vector<uint64_t> expected =
            c.answer == IDCANCEL ? std::vector<uint64_t>{3} : std::vector<uint64_t>{3, 6, 0};
        EXPECT_EQ(shown, expected) << c.answer;
        doc.OnCloseDocument();
    }
}

// From the last byte every occurrence lies before the start offset; the run
// still ends once the search has come round.
TEST_F(ReplaceTest, RunFromTheLastByteEndsAfterOneRound) {
    OpenText("ab ab ab");
    PutCaretOn(7);
    host.messageAnswers.assign(10, IDNO);
    Replace(u"ab", u"xy", false);
    EXPECT_EQ(Questions(), 3);
    // A replacement equal to the search text: replace-all ends too (Escape
    // after many looks at the messages would make it fail rather than hang).
    commands.SetPumpInterval(std::chrono::milliseconds(0));
    host.onPump = [&] {
        if (host.pumps > 1000) Cmd(ID_SEARCH_ABORT);
    };
    PutCaretOn(7);
    Replace(u"ab", u"ab", true);
    EXPECT_EQ(test::ReadAll(path), "ab ab ab");
    EXPECT_EQ(host.beeps, 0);
    EXPECT_EQ(host.pumps, 3);  // once after each of the three replacements
}

TEST_F(ReplaceTest, SilentReplaceTicksReplaceAll) {
    OpenText("abc");
    const std::pair<const char*, int> cases[] = {{"[Setting]\nSilentReplace=1\n", 1},
                                                 {"[Setting]\nSilentReplace=0\n", 0},
                                                 {"[Setting]\nSilentReplace=yes\n", 0},
                                                 {"", 0}};
    for (const auto& [ini, ticked] : cases) {
        templatePath = dir.Write("octile.ini", ini);
        int offered = -1;
        host.AnswerDialog<CSearchSecDlg>([&](CSearchSecDlg& d) {
            offered = d.replaceAll;
            EXPECT_EQ(d.replaceMode, 1);
            EXPECT_EQ(d.replaceText, u"");
            return IDCANCEL;
        });
        Cmd(ID_REPLACE);
        EXPECT_EQ(offered, ticked) << ini;
    }
}

TEST_F(ReplaceTest, PatternsOfDifferentLengthsReplaceNothing) {
    OpenText("a a a");
    Replace(u"a", u"あ", true);
    EXPECT_EQ(test::ReadAll(path), "a a a");
    EXPECT_EQ(host.beeps, 0);
    EXPECT_TRUE(host.messages.empty());
    // Longer than the read size: refused with the beep.
    view.SetReadSize(16);
    Replace(u"aaaaaaaaaaaaaaaaa", u"bbbbbbbbbbbbbbbbb", true);
    EXPECT_EQ(test::ReadAll(path), "a a a");
    EXPECT_EQ(host.beeps, 1);
}

TEST_F(ReplaceTest, HexReplaceOfLineEnds) {
    OpenText("a\r\nb\r\nc\r\n");
    view.OnCommand(ID_SEARCH_MODE_HEX);
    PutCaretOn(4);
    Replace(u"0d0a", u"2020", true);
    EXPECT_EQ(test::ReadAll(path), "a  b\r\nc  ");
}

TEST_F(ReplaceTest, ReadOnlyDocumentIsLeftAlone) {
    OpenText("ab ab", false);
    EXPECT_FALSE(IsEnabled(ID_REPLACE));
    AnswerDialog(u"ab", u"xy", 1);
    Cmd(ID_REPLACE);
    EXPECT_EQ(host.dialogScript.size(), 1u);  // the dialog never opened
    EXPECT_EQ(test::ReadAll(path), "ab ab");
}

TEST_F(ReplaceTest, FailedWriteEndsTheRun) {
    for (int all : {0, 1}) {
        OpenText("ab ab ab");
        host.messages.clear();
        host.messageAnswers.assign(3, IDYES);
        host.AnswerDialog<CSearchSecDlg>([&](CSearchSecDlg& d) {
            d.searchText = u"ab";
            d.replaceText = u"xy";
            d.replaceAll = all;
            doc.OnCommand(ID_READ_ONLY);  // the file can no longer be written
            return IDOK;
        });
        Cmd(ID_REPLACE);
        EXPECT_EQ(test::ReadAll(path), "ab ab ab");
        ASSERT_FALSE(host.messages.empty());
        EXPECT_EQ(host.messages.back().text,
                  u"ﾌｧｲﾙ'" + Utf8ToUtf16(doc.GetPathName()) + u"'の書き込みでｴﾗｰが発生しました。");
        EXPECT_EQ(Questions(), all ? 0 : 1);
        doc.OnCloseDocument();
    }
}

TEST_F(ReplaceTest, EscapeStopsReplaceAll) {
    Bytes bytes(1 << 16, '.');
    for (size_t at = 0x40; at + 2 <= bytes.size(); at += 0x40) bytes[at] = 'a', bytes[at + 1] = 'b';
    Open(bytes, true);
    commands.SetPumpInterval(std::chrono::milliseconds(0));
    host.onPump = [&] {
        if (host.pumps == 5) Cmd(ID_SEARCH_ABORT);
    };
    const int repaints = host.repaints;
    Replace(u"ab", u"xy", true);
    // A look at the messages before each replacement: the fifth hit, found
    // when Escape arrives, stays as it is.
    const std::string after = test::ReadAll(path);
    EXPECT_EQ(std::count(after.begin(), after.end(), 'x'), 4);
    EXPECT_EQ(after.substr(0x100, 2), "xy");
    EXPECT_EQ(after.substr(0x140, 2), "ab");
    EXPECT_EQ(host.beeps, 1);
    // The page was redrawn for the last hit only.
    EXPECT_EQ(host.repaints, repaints + 1);
    EXPECT_EQ(view.Anchor(), 0x140u);
}

// Escape is read whenever the run looks at the messages: between blocks of a
// search and after each replacement. From the moment it has set the abort
// flag, not one more hit is replaced, whichever search it interrupted.
TEST(RunReplaceAllTest, NoHitIsReplacedOnceAborted) {
    test::TempDir dir;
    Bytes bytes(0x1000, '.');
    for (size_t at = 0x30; at + 2 <= bytes.size(); at += 0x100)
        bytes[at] = 'a', bytes[at + 1] = 'b';
    OpenError error;
    const FileHandle file =
        FileHandle::Open(dir.Write("f.bin", bytes), FileHandle::ReadOnly, &error);
    ASSERT_TRUE(file.IsOpen());
    SearchEngine::Options options;
    options.blockSize = 0x40;  // several looks at the messages between two hits
    for (int abortAt = 1; abortAt <= 40; ++abortAt) {
        SCOPED_TRACE(abortAt);
        SearchEngine engine(file, bytes.size(), options);
        engine.SetPattern(ToBytes("ab"));
        int polls = 0;
        bool aborted = false;
        uint64_t writes = 0;
        const ReplaceAllResult r = RunReplaceAll(
            engine, ToBytes("xy"), 0, 0, 0x100,
            [&](uint64_t) {
                EXPECT_FALSE(aborted);
                ++writes;
                return true;
            },
            [&](uint64_t) {
                if (++polls == abortAt) aborted = true;
                return aborted;
            });
        EXPECT_EQ(r.replaced, writes);
        EXPECT_EQ(r.end, aborted ? ReplaceAllResult::Aborted : ReplaceAllResult::CameAround);
    }
}

// Replace-all runs without the view between hits; answering Yes every time
// moves the view hit by hit. Both must leave the same file and the same view.
TEST(ReplaceAllAgainstConfirmation, SameFileAndView) {
    struct Session : test::Session {
        explicit Session(const std::string& path) {
            EXPECT_TRUE(Open(path));
            doc.OnCommand(ID_READ_ONLY);
            view.OnCommand(ID_SEARCH_MODE_HEX);
            host.messageAnswers.assign(100000, IDYES);
        }
        SearchCommands& commands = search;
    };
    std::mt19937 rng(99);
    for (int round = 0; round < 60; ++round) {
        test::TempDir dir;
        Bytes bytes(100 + rng() % 900);
        for (auto& b : bytes) b = static_cast<uint8_t>(rng() % 3);
        const uint64_t readSizes[] = {16, 20, 48, 256};
        const uint64_t readSize = readSizes[rng() % 4];
        const uint64_t window = rng() % bytes.size();
        const uint64_t caret = window + rng() % std::min<uint64_t>(readSize, 16);
        const size_t n = 1 + rng() % 3;
        std::u16string search, replacement;
        for (size_t k = 0; k < n; ++k) {
            search += u"0" + std::u16string(1, static_cast<char16_t>(u'0' + rng() % 3));
            replacement += u"0" + std::u16string(1, static_cast<char16_t>(u'0' + rng() % 3));
        }
        Session sessions[2] = {Session(dir.Write("all.bin", bytes)),
                               Session(dir.Write("ask.bin", bytes))};
        for (int k = 0; k < 2; ++k) {
            Session& s = sessions[k];
            s.view.SetReadSize(readSize);
            s.view.SetWindowOffset(window);
            const uint64_t rel = caret - window;
            s.view.SetCaretCell(
                {9 + 3 * static_cast<int32_t>(rel % 16), static_cast<int32_t>(rel / 16) + 1});
            s.commands.SetEngineOptions({7, 64 << 10});
            s.host.AnswerDialog<CSearchSecDlg>([&, k](CSearchSecDlg& d) {
                d.searchText = search;
                d.replaceText = replacement;
                d.replaceAll = k == 0 ? 1 : 0;
                return IDOK;
            });
            s.commands.OnCommand(ID_REPLACE);
        }
        const std::string what = "round " + std::to_string(round);
        EXPECT_EQ(test::ReadAll(dir.File("all.bin")), test::ReadAll(dir.File("ask.bin"))) << what;
        EXPECT_EQ(sessions[0].view.WindowOffset(), sessions[1].view.WindowOffset()) << what;
        EXPECT_EQ(sessions[0].view.Anchor(), sessions[1].view.Anchor()) << what;
        EXPECT_EQ(sessions[0].view.CaretOffset(), sessions[1].view.CaretOffset()) << what;
        EXPECT_EQ(sessions[0].view.CaretCell(), sessions[1].view.CaretCell()) << what;
        EXPECT_EQ(sessions[0].host.beeps, sessions[1].host.beeps) << what;
    }
}

}  // namespace
}  // namespace octile
