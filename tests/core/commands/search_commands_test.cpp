#include <random>

#include "charcode/charcode.h"
#include "search/search_engine.h"
#include "search_fixture.h"

namespace octile {
namespace {

using test::Bytes;
using test::kDone;
using test::ToBytes;

class SearchCommandsTest : public test::SearchFixture {
  protected:
    // A file of blanks with text planted at the given offsets.
    void OpenWith(size_t size, std::vector<std::pair<uint64_t, std::string>> plant,
                  bool writable = false) {
        Bytes bytes(size, ' ');
        for (const auto& [at, s] : plant) std::copy(s.begin(), s.end(), bytes.begin() + at);
        Open(bytes, writable);
    }
    // The caret cell the hit must leave: on the selection's last byte.
    void ExpectCaretMatchesSelection() {
        const CellRect& sel = view.SelectionCells();
        ASSERT_NE(sel.left, -1);
        EXPECT_EQ(view.CaretCell(), (COctileView::Cell{sel.right - 1, sel.bottom}));
    }
};

TEST_F(SearchCommandsTest, FindShowsAndSelectsTheHit) {
    OpenWith(0x1000, {{0x345, "needle"}, {0x800, "needle"}});
    std::vector<uint64_t> detected;
    commands.onHit = [&](uint64_t anchor) { detected.push_back(anchor); };
    AnswerDialog(u"needle");
    Cmd(ID_SEARCH);
    EXPECT_EQ(opened.replaceMode, 0);
    EXPECT_EQ(view.WindowOffset(), 0x300u);
    EXPECT_EQ(view.Anchor(), 0x345u);
    EXPECT_EQ(view.CaretOffset(), 0x34Au);
    // The caret sits on the high digit of the last byte, 0x4A into the page.
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{view.Layout().HexColumn(0xA), 5}));
    ExpectCaretMatchesSelection();
    EXPECT_EQ(detected, std::vector<uint64_t>{0x345});
    EXPECT_EQ(host.beeps, 0);
    EXPECT_EQ(LastStatus(), kDone);
    EXPECT_EQ(commands.SearchText(), u"needle");
    EXPECT_FALSE(commands.IsSearching());
}

TEST_F(SearchCommandsTest, FindNextAndPreviousGoRoundTheFile) {
    OpenWith(0x900, {{0x10, "ab"}, {0x420, "ab"}, {0x8F0, "ab"}});
    AnswerDialog(u"ab");
    Cmd(ID_SEARCH);
    EXPECT_EQ(view.Anchor(), 0x10u);
    const size_t dialogs = host.dialogScript.size();
    std::vector<uint64_t> forward, backward;
    for (int i = 0; i < 4; ++i) {
        Cmd(ID_SEARCH_NEXT);
        forward.push_back(view.Anchor());
    }
    for (int i = 0; i < 4; ++i) {
        Cmd(ID_SEARCH_PREV);
        backward.push_back(view.Anchor());
    }
    EXPECT_EQ(forward, (std::vector<uint64_t>{0x420, 0x8F0, 0x10, 0x420}));
    EXPECT_EQ(backward, (std::vector<uint64_t>{0x10, 0x8F0, 0x420, 0x10}));
    EXPECT_EQ(host.dialogScript.size(), dialogs);  // no dialog was asked for
    EXPECT_EQ(host.beeps, 0);
}

TEST_F(SearchCommandsTest, NothingFoundBeepsAndChangesNothing) {
    OpenWith(0x2000, {{0x20, "abc"}});
    view.SetWindowOffset(0x1000);
    PutCaretOn(0x1010);
    const auto text = view.DumpText();
    const auto caret = view.CaretCell();
    for (uint32_t id : {ID_SEARCH, ID_SEARCH_PREV}) {
        if (id == ID_SEARCH) AnswerDialog(u"xyz");
        Cmd(id);
        EXPECT_EQ(host.beeps, id == ID_SEARCH ? 1 : 2);
        EXPECT_EQ(view.WindowOffset(), 0x1000u);
        EXPECT_EQ(view.Anchor(), 0x1010u);
        EXPECT_EQ(view.CaretOffset(), 0x1010u);
        EXPECT_EQ(view.CaretCell(), caret);
        EXPECT_EQ(view.DumpText(), text);
        EXPECT_EQ(LastStatus(), kDone);
    }
}

TEST_F(SearchCommandsTest, TheCaretsOwnByteIsNeverPartOfAHit) {
    OpenWith(0x100, {{0x40, "abc"}});
    PutCaretOn(0x40);
    commands.SearchFile(u"abc", false);
    EXPECT_FALSE(commands.SearchFile(u"abc", false));
    EXPECT_FALSE(commands.SearchFile(u"abc", true));
    PutCaretOn(0x42);
    EXPECT_FALSE(commands.SearchFile(u"abc", true));
    PutCaretOn(0x43);
    EXPECT_TRUE(commands.SearchFile(u"abc", true));
}

TEST_F(SearchCommandsTest, CancelledDialogKeepsTheProposal) {
    OpenWith(0x100, {{0x30, "AB"}});
    view.UpdateSelection(SelectionStep::kAnchor, 0x30);
    view.UpdateSelection(SelectionStep::kCaret, 0x31);
    EXPECT_FALSE(IsEnabled(ID_SEARCH_NEXT));
    std::u16string offered;
    host.AnswerDialog<CSearchSecDlg>([&](CSearchSecDlg& d) {
        offered = d.searchText;
        return IDCANCEL;
    });
    Cmd(ID_SEARCH);
    EXPECT_EQ(offered, u"AB");
    EXPECT_EQ(commands.SearchText(), u"AB");
    EXPECT_TRUE(IsEnabled(ID_SEARCH_NEXT));
    EXPECT_EQ(host.beeps, 0);
}

TEST_F(SearchCommandsTest, ProposalIsClippedToTheReadWindow) {
    Bytes bytes(0x400);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    Open(bytes);
    view.OnCommand(ID_SEARCH_MODE_HEX);
    view.SetReadSize(0x20);
    view.SetWindowOffset(0x100);
    struct Case {
        uint64_t anchor, caret;  // before
        uint64_t newAnchor, newCaret;
        std::u16string text;
    };
    const Case cases[] = {
        {0x104, 0x106, 0x104, 0x106, u"040506"},
        {0x80, 0x250, 0x100, 0x11F,
         u"000102030405060708090a0b0c0d0e0f"
         u"101112131415161718191a1b1c1d1e1f"},
        {0x250, 0x11E, 0x11F, 0x11E, u"1e1f"},
        {0x300, 0x310, 0x11F, 0x11F, u"1f"},
    };
    for (const Case& c : cases) {
        view.UpdateSelection(SelectionStep::kAnchor, c.anchor);
        view.UpdateSelection(SelectionStep::kCaret, c.caret);
        std::u16string offered;
        host.AnswerDialog<CSearchSecDlg>([&](CSearchSecDlg& d) {
            offered = d.searchText;
            return IDCANCEL;
        });
        Cmd(ID_SEARCH);
        EXPECT_EQ(offered, c.text) << std::hex << c.anchor;
        EXPECT_EQ(view.Anchor(), c.newAnchor) << std::hex << c.anchor;
        EXPECT_EQ(view.CaretOffset(), c.newCaret) << std::hex << c.anchor;
    }
}

TEST_F(SearchCommandsTest, PatternFollowsTheModeAndCodeInForce) {
    // "aあ" in Shift-JIS at 0x20, in UTF-16LE at 0x60; 4A 4B at 0x90.
    Bytes bytes(0x100, 0);
    const Bytes sjis{0x61, 0x82, 0xA0}, utf16{0x61, 0x00, 0x42, 0x30}, hex{0x4A, 0x4B};
    std::copy(sjis.begin(), sjis.end(), bytes.begin() + 0x20);
    std::copy(utf16.begin(), utf16.end(), bytes.begin() + 0x60);
    std::copy(hex.begin(), hex.end(), bytes.begin() + 0x90);
    Open(bytes);
    EXPECT_TRUE(commands.SearchFile(u"aあ", false));
    EXPECT_EQ(view.Anchor(), 0x20u);
    // find next after the character code changed looks for other bytes
    store.WriteProfileInt("View", "CodeType", CODE_UNICODE);
    view.ReadSettings();
    EXPECT_TRUE(commands.SearchFile(u"aあ", false));
    EXPECT_EQ(view.Anchor(), 0x60u);
    EXPECT_EQ(view.CaretOffset(), 0x63u);
    view.OnCommand(ID_SEARCH_MODE_HEX);
    EXPECT_TRUE(commands.SearchFile(u"4a4B", false));
    EXPECT_EQ(view.Anchor(), 0x90u);
}

TEST_F(SearchCommandsTest, RefusedSearches) {
    OpenWith(0x100, {{0x10, "abc"}});
    view.OnCommand(ID_SEARCH_MODE_HEX);
    view.SetReadSize(16);
    const size_t statuses = host.statusTexts.size();
    // 17 bytes cannot be searched with a read size of 16.
    AnswerDialog(u"6162630000000000000000000000000000");
    Cmd(ID_SEARCH);
    EXPECT_EQ(host.beeps, 1);
    view.SetReadSize(0);
    Cmd(ID_SEARCH_NEXT);
    EXPECT_EQ(host.beeps, 2);
    EXPECT_EQ(host.statusTexts.size(), statuses);  // no walk began
    EXPECT_EQ(view.Anchor(), 0u);
    // An empty text confirmed in the dialog does nothing.
    view.SetReadSize(0x100);
    AnswerDialog(u"");
    Cmd(ID_SEARCH);
    EXPECT_EQ(host.beeps, 2);
}

TEST_F(SearchCommandsTest, EmptyFile) {
    Open({});
    AnswerDialog(u"a");
    Cmd(ID_SEARCH);
    Cmd(ID_SEARCH_PREV);
    EXPECT_EQ(host.beeps, 2);
    EXPECT_EQ(host.pumps, 0);
    EXPECT_EQ(LastStatus(), kDone);
}

TEST_F(SearchCommandsTest, EscapeStopsALongSearch) {
    Open(Bytes(1 << 20, 0x11));
    commands.SetEngineOptions({4096, 64 << 10});
    commands.SetPumpInterval(std::chrono::milliseconds(0));
    bool abortEnabledWhileRunning = false;
    host.onPump = [&] {
        abortEnabledWhileRunning = IsEnabled(ID_SEARCH_ABORT);
        EXPECT_FALSE(IsEnabled(ID_SEARCH_NEXT));  // no second search inside the first
        Cmd(ID_SEARCH_ABORT);
    };
    view.SetWindowOffset(0x80000);
    PutCaretOn(0x80000);
    AnswerDialog(u"zz");
    Cmd(ID_SEARCH);
    EXPECT_TRUE(abortEnabledWhileRunning);
    EXPECT_EQ(host.pumps, 1);  // it stopped at the first look at the messages
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(view.WindowOffset(), 0x80000u);
    EXPECT_EQ(view.Anchor(), 0x80000u);
    EXPECT_EQ(LastStatus(), kDone);
    // The progress shown before the pump: the first block, 4096 bytes of 1 MiB.
    ASSERT_GE(host.statusTexts.size(), 2u);
    EXPECT_EQ(host.statusTexts[host.statusTexts.size() - 2], u"検索中(0%)　中断はESCキーを押下");
    EXPECT_FALSE(IsEnabled(ID_SEARCH_ABORT));
    // The next search starts with the flag cleared.
    host.onPump = nullptr;
    EXPECT_FALSE(commands.SearchFile(u"zz", false));
    EXPECT_GT(host.pumps, 100);
}

TEST_F(SearchCommandsTest, ClosingTheWindowDuringASearch) {
    OpenWith(1 << 20, {{0x10, "zz"}});
    commands.SetEngineOptions({4096, 64 << 10});
    commands.SetPumpInterval(std::chrono::milliseconds(0));
    size_t statuses = 0;
    int repaints = 0;
    host.onPump = [&] {
        commands.OnViewDestroyed();
        statuses = host.statusTexts.size();
        repaints = host.repaints;
    };
    PutCaretOn(0x20);
    AnswerDialog(u"zz");
    Cmd(ID_SEARCH);
    EXPECT_EQ(host.pumps, 1);
    EXPECT_EQ(host.statusTexts.size(), statuses);  // no final message for a gone window
    EXPECT_EQ(host.repaints, repaints);
    EXPECT_EQ(view.Anchor(), 0x20u);
    for (uint32_t id : {ID_SEARCH, ID_SEARCH_NEXT, ID_REPLACE, ID_EDIT_PASTE, ID_EDIT_COPY}) {
        EXPECT_FALSE(IsEnabled(id)) << id;
    }
}

TEST_F(SearchCommandsTest, EnablingRules) {
    const uint32_t ids[] = {ID_SEARCH,  ID_SEARCH_NEXT, ID_SEARCH_PREV, ID_SEARCH_ABORT,
                            ID_REPLACE, ID_EDIT_COPY,   ID_EDIT_PASTE};
    for (uint32_t id : ids) EXPECT_FALSE(IsEnabled(id)) << "no file " << id;
    OpenWith(0x40, {{0x10, "ab"}});
    EXPECT_TRUE(IsEnabled(ID_SEARCH));
    EXPECT_FALSE(IsEnabled(ID_SEARCH_NEXT));
    EXPECT_FALSE(IsEnabled(ID_SEARCH_ABORT));
    EXPECT_TRUE(IsEnabled(ID_EDIT_COPY));
    EXPECT_FALSE(IsEnabled(ID_REPLACE));  // read-only
    EXPECT_FALSE(IsEnabled(ID_EDIT_PASTE));
    // A disabled command is not carried out.
    Cmd(ID_SEARCH_NEXT);
    EXPECT_EQ(host.beeps, 0);
    EXPECT_EQ(LastStatus(), u"");
    doc.OnCommand(ID_READ_ONLY);
    EXPECT_TRUE(IsEnabled(ID_REPLACE));
    EXPECT_TRUE(IsEnabled(ID_EDIT_PASTE));
    AnswerDialog(u"ab");
    Cmd(ID_SEARCH);
    EXPECT_TRUE(IsEnabled(ID_SEARCH_NEXT));
    EXPECT_TRUE(IsEnabled(ID_SEARCH_PREV));
}

// After every hit the caret stands where the view's selection says, and the
// caret offset the engine assumes for the next search is the caret cell's.
TEST_F(SearchCommandsTest, CaretAfterHitsAcrossPagesAndReadSizes) {
    std::mt19937 rng(7);
    Bytes bytes(0x3000);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng() % 3);
    Open(bytes);
    view.OnCommand(ID_SEARCH_MODE_HEX);
    for (uint64_t readSize : {16u, 48u, 256u, 20u}) {
        view.SetReadSize(readSize);
        for (std::u16string text : {u"000102", u"0101", u"0201000102010001", u"02"}) {
            for (int i = 0; i < 12; ++i) {
                const bool backward = i % 3 == 2;
                ASSERT_TRUE(commands.SearchFile(text, backward));
                const uint64_t n = text.size() / 2;
                if (readSize % 16 == 0) ExpectCaretMatchesSelection();
                EXPECT_EQ(CaretCellOffset(),
                          CaretAfterHit(view.WindowOffset(), readSize, view.Anchor(), n));
                EXPECT_LE(view.WindowOffset(), view.Anchor());
            }
        }
    }
}

// A backward hit whose end lies beyond its window is clipped on the page.
TEST_F(SearchCommandsTest, BackwardHitRunningPastThePage) {
    OpenWith(0x200, {{0xF8, "0123456789abcdefghij"}});
    view.SetReadSize(0x40);
    view.SetWindowOffset(0x180);
    PutCaretOn(0x190);
    ASSERT_TRUE(commands.SearchFile(u"0123456789abcdefghij", true));
    // Windows 0x180, 0x140, 0x100, 0xC0: the first byte lies in 0xC0's.
    EXPECT_EQ(view.WindowOffset(), 0xC0u);
    EXPECT_EQ(view.CaretOffset(), 0x10Bu);
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{view.Layout().LastHexCell(), 4}));
    ExpectCaretMatchesSelection();
    EXPECT_EQ(CaretCellOffset(), 0xF0u);
}

}  // namespace
}  // namespace octile
