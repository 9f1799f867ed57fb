#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "fake_host.h"
#include "settings/ini_file.h"
#include "temp_dir.h"
#include "view/view.h"

namespace octile {
namespace {

using test::FakeHost;
using test::ReadAll;
using test::TempDir;
using Mark = COctileView::Mark;

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

class MarksTest : public ::testing::Test {
  protected:
    MarksTest() : doc(host), view(host, doc, store) {
        // Each test has a marks file of its own.
        const char* old = std::getenv("XDG_DATA_HOME");
        savedDataHome = old ? old : "";
        ::setenv("XDG_DATA_HOME", (dir.path() + "/data").c_str(), 1);
        view.OnCreate();
    }
    ~MarksTest() override { ::setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1); }

    std::string Open(const std::string& name, size_t size = 0x1000) {
        const std::string path = dir.Write(name, std::string(size, 'm'));
        EXPECT_TRUE(doc.OnOpenDocument(path));
        view.OnInitialUpdate();
        return path;
    }
    void Select(uint64_t anchor, uint64_t caret) {
        view.UpdateSelection(SelectionStep::kAnchor, anchor);
        view.UpdateSelection(SelectionStep::kCaret, caret);
    }
    void Set(uint64_t start, uint64_t end, int kind) {
        Select(start, end);
        view.ToggleMark(kind);
    }
    std::pair<uint64_t, uint64_t> Selection() const {
        uint64_t s, e;
        view.GetSelectionRange(s, e);
        return {s, e};
    }
    void WriteMarksFile(const std::string& text) {
        std::ofstream(view.MarksFilePath(), std::ios::binary) << text;
    }

    TempDir dir;
    std::string savedDataHome;
    FakeHost host;
    MemoryProfileStore store;
    COctileDoc doc;
    COctileView view;
};

TEST_F(MarksTest, ToggleSetsRemovesAndIsBlockedByAnotherKind) {
    Open("a.bin");
    Set(0x20, 0x10, 1);  // made backwards
    Set(0x40, 0x40, 3);
    EXPECT_EQ(view.Marks(), (std::vector<Mark>{{0x10, 0x20, 1}, {0x40, 0x40, 3}}));
    EXPECT_EQ(view.CurrentMark(), 1);

    Select(0x15, 0x15);
    view.ToggleMark(2);  // inside a kind-1 mark: nothing
    EXPECT_EQ(view.Marks().size(), 2u);
    view.ToggleMark(1);  // same kind: removed, the current index follows
    EXPECT_EQ(view.Marks(), (std::vector<Mark>{{0x40, 0x40, 3}}));
    EXPECT_EQ(view.CurrentMark(), 0);

    // The 101st mark grows the list by 100.
    for (uint64_t i = 0; i < 100; ++i) Set(0x100 + i, 0x100 + i, 2);
    EXPECT_EQ(view.Marks().size(), 101u);
    EXPECT_EQ(view.MarkCapacity(), 200);
}

TEST_F(MarksTest, NextInsideAMarkCyclesItsKindInSettingOrder) {
    Open("a.bin");
    const uint64_t starts[] = {0x500, 0x100, 0x300, 0x700, 0x200, 0x600};
    for (uint64_t s : starts) Set(s, s + 3, 1);
    Set(0x400, 0x400, 2);  // another kind is passed over
    Select(0x501, 0x501);
    for (int i = 1; i <= 6; ++i) {
        view.NextMark();
        const uint64_t s = starts[i % 6];
        EXPECT_EQ(Selection(), std::make_pair(s, s + 3)) << i;
        EXPECT_EQ(view.WindowOffset(), s);
        EXPECT_EQ(view.CaretCell(), (COctileView::Cell{view.Layout().HexColumn(0), 1}));
    }
    view.PreviousMark();
    EXPECT_EQ(Selection().first, 0x600u);
}

TEST_F(MarksTest, OutsideEveryMarkTheNearestStartWinsCyclically) {
    Open("a.bin");
    Set(0x300, 0x310, 2);
    Set(0x100, 0x110, 1);
    Set(0x800, 0x800, 4);
    Select(0x200, 0x200);
    view.NextMark();
    EXPECT_EQ(Selection().first, 0x300u);
    Select(0x900, 0x900);
    view.NextMark();  // wraps past the end of the file
    EXPECT_EQ(Selection().first, 0x100u);
    Select(0x200, 0x200);
    view.PreviousMark();
    EXPECT_EQ(Selection().first, 0x100u);
    Select(0x50, 0x50);
    view.PreviousMark();  // wraps back past the start
    EXPECT_EQ(Selection().first, 0x800u);

    // With a single mark, next and previous inside it select it again.
    Open("b.bin");
    Set(0x123, 0x130, 5);
    Select(0x125, 0x125);
    view.SetWindowOffset(0);
    view.NextMark();
    EXPECT_EQ(Selection(), std::make_pair(uint64_t{0x123}, uint64_t{0x130}));
    EXPECT_EQ(view.WindowOffset(), 0x123u);
    view.PreviousMark();
    EXPECT_EQ(view.WindowOffset(), 0x123u);
    CmdUI ui;
    view.OnUpdateCommand(ID_MARK_NEXT, ui);
    EXPECT_TRUE(ui.enabled);
}

TEST_F(MarksTest, RemovingMarksKeepsTheCurrentIndexOnTheSameMark) {
    Open("a.bin");
    Set(0x10, 0x10, 1);
    Set(0x20, 0x20, 1);
    Set(0x30, 0x30, 1);
    view.GoToMark(2);
    Select(0x10, 0x10);
    view.ToggleMark(1);  // before the current one
    EXPECT_EQ(view.CurrentMark(), 1);
    EXPECT_EQ(view.Marks()[1].start, 0x30u);
    Select(0x30, 0x30);
    view.ToggleMark(1);  // the current one, the last: back to 0
    EXPECT_EQ(view.CurrentMark(), 0);
}

TEST_F(MarksTest, SavedPerFileAndLoadedAgain) {
    const std::string a = Open("a.bin");
    Set(0x10, 0x1F, 2);
    Set(0x40, 0x40, 5);
    const std::string b = Open("b.bin");  // saves a's marks
    EXPECT_TRUE(view.Marks().empty());
    Set(0x1, 0x2, 3);
    view.OnDestroy();  // saves b's

    const std::string text = ReadAll(view.MarksFilePath());
    EXPECT_NE(text.find("[" + a +
                        "]\n0=0000000000000000016 0000000000000000031 2\n"
                        "1=0000000000000000064 0000000000000000064 5\nMax=2\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[" + b + "]\n0=0000000000000000001 0000000000000000002 3\nMax=1\n"),
              std::string::npos)
        << text;

    COctileView again(host, doc, store);
    again.OnCreate();
    ASSERT_TRUE(doc.OnOpenDocument(a));
    again.OnInitialUpdate();
    EXPECT_EQ(again.Marks(), (std::vector<Mark>{{0x10, 0x1F, 2}, {0x40, 0x40, 5}}));

    // A copy under another path, or a path differing only in case, has none.
    const std::string copy = dir.Write("A.bin", std::string(0x1000, 'm'));
    ASSERT_TRUE(doc.OnOpenDocument(copy));
    again.OnInitialUpdate();
    EXPECT_TRUE(again.Marks().empty());
}

TEST_F(MarksTest, PathsThatCannotStandAsSectionNames) {
    const std::string odd = Open("we]ird\nname%5D.bin");
    Set(0x10, 0x10, 1);
    const std::string plain = Open("we.bin");  // saves odd's marks
    Set(0x20, 0x20, 2);
    Open("x.bin");
    const IniFile ini = IniFile::Load(view.MarksFilePath(), true);
    EXPECT_TRUE(ini.HasSection(COctileView::MarkSectionName(odd)));
    EXPECT_EQ(COctileView::MarkSectionName(dir.path() + "/we]ird\nname%5D.bin"),
              dir.path() + "/we%5Dird%0Aname%255D.bin");
    EXPECT_EQ(COctileView::MarkSectionName("/a/b "), "/a/b%20");
    // Each file reads back only its own marks.
    ASSERT_TRUE(doc.OnOpenDocument(odd));
    view.OnInitialUpdate();
    EXPECT_EQ(view.Marks(), (std::vector<Mark>{{0x10, 0x10, 1}}));
    ASSERT_TRUE(doc.OnOpenDocument(plain));
    view.OnInitialUpdate();
    EXPECT_EQ(view.Marks(), (std::vector<Mark>{{0x20, 0x20, 2}}));
}

TEST_F(MarksTest, HandEditedMarksFiles) {
    const std::string path = Open("h.bin");
    view.OnDestroy();  // the folder exists now
    struct Case {
        std::string section;
        std::vector<Mark> loaded;
    } cases[] = {
        {"Max=-5\n0=1 2 1\n", {}},
        {"Max=abc\n0=1 2 1\n", {}},
        {"Max=3\n0=1 2 1\n2=5 6 2\n", {{1, 2, 1}, {5, 6, 2}}},  // the missing key 1 is left out
        {"Max=2\n0=1 2\n1=7\n", {{1, 2, 1}}},                   // no kind: 1; no blank: left out
        {"Max=4\n0=1x 2 1\n1=3 4 9\n2=9 8 1\n3=3 4 0\n", {}},   // non-digits, kinds, start > end
        {"Max=1\n0=" + std::string(300, '1') + " 2 1\n", {}},   // an offset of 300 digits
        {"Max=1\n0=00000000000000000010 0000000000000000020 4junk\n", {{10, 20, 4}}},
        {"Max=2000000000\n0=1 1 1\n", {{1, 1, 1}}},  // a huge count is bounded
    };
    for (const Case& c : cases) {
        WriteMarksFile("[" + path + "]\n" + c.section);
        COctileView v(host, doc, store);
        v.OnCreate();
        v.OnInitialUpdate();
        EXPECT_EQ(v.Marks(), c.loaded) << c.section;
    }

    // A marks file of several megabytes with many other sections.
    std::string big;
    for (int i = 0; i < 60000; ++i) big += "[/other/" + std::to_string(i) + "]\n0=1 2 3\nMax=1\n";
    WriteMarksFile(big + "[" + path + "]\nMax=1\n0=5 6 2\n");
    COctileView v(host, doc, store);
    v.OnCreate();
    v.OnInitialUpdate();
    EXPECT_EQ(v.Marks(), (std::vector<Mark>{{5, 6, 2}}));
    v.OnDestroy();
    // Saving keeps every other section.
    EXPECT_NE(ReadAll(v.MarksFilePath()).find("[/other/59999]\n0=1 2 3\nMax=1\n"),
              std::string::npos);
}

TEST_F(MarksTest, StaleKeysAboveMaxStay) {
    const std::string path = Open("s.bin");
    Set(1, 1, 1);
    Set(2, 2, 1);
    Set(3, 3, 1);
    Open("t.bin");
    ASSERT_TRUE(doc.OnOpenDocument(path));
    view.OnInitialUpdate();
    Select(2, 2);
    view.ToggleMark(1);
    view.OnDestroy();
    const IniFile ini = IniFile::Load(view.MarksFilePath(), true);
    EXPECT_EQ(ini.Get(path, "Max", ""), "2");
    EXPECT_EQ(ini.Get(path, "2", ""), "0000000000000000003 0000000000000000003 1");
}

// A marks file of tens of MiB: opening a file reads its own section only,
// closing it unchanged writes nothing, and a change rewrites that section
// alone, every other byte staying as it was.
TEST_F(MarksTest, LargeMarksFileChangesOnlyTheOpenFilesSection) {
    const std::string path = Open("big.bin");
    view.OnDestroy();  // the folder exists now
    const std::string section = COctileView::MarkSectionName(path);
    const auto entry = [](uint64_t start, uint64_t end, int kind) {
        return COctileView::FormatMarkOffset(start) + " " + COctileView::FormatMarkOffset(end) +
               " " + std::to_string(kind);
    };
    const std::string ours = "[" + section + "]\r\n; mine\r\n0=" + entry(5, 6, 2) +
                             "\r\n1=" + entry(0x800, 0x8FF, 4) + "\r\nMax=2\r\n";
    std::string text;
    constexpr int kSections = 300000;
    for (int i = 0; i < kSections; ++i) {
        if (i == kSections / 2) {
            text += ours;
        } else if (i == 1000) {
            // A line longer than any read, and the same path in capitals.
            std::string capitals = section;
            for (char& ch : capitals) ch = static_cast<char>(std::toupper(ch));
            text += "; " + std::string(300000, 'c') + "\n[" + capitals +
                    "]\nMax=1\n0=" + entry(1, 1, 1) + "\n";
        }
        text += "[/data/file" + std::to_string(i) + ".bin]\n0=" + entry(i, i + 9, i % 5 + 1) +
                "\nMax=1\n";
    }
    ASSERT_GT(text.size(), 20u << 20);
    WriteMarksFile(text);
    const struct stat written = StatOf(view.MarksFilePath());

    COctileView v(host, doc, store);
    v.OnCreate();
    v.OnInitialUpdate();
    EXPECT_EQ(v.Marks(), (std::vector<Mark>{{5, 6, 2}, {0x800, 0x8FF, 4}}));
    v.OnDestroy();
    EXPECT_EQ(StatOf(v.MarksFilePath()).st_ino, written.st_ino) << "rewritten unchanged";

    COctileView w(host, doc, store);
    w.OnCreate();
    w.OnInitialUpdate();
    w.UpdateSelection(SelectionStep::kAnchor, 0x20);
    w.UpdateSelection(SelectionStep::kCaret, 0x2F);
    w.ToggleMark(1);
    w.OnDestroy();
    // The section in the file's line ends, a new key after its last one.
    const size_t at = text.find(ours);
    EXPECT_TRUE(ReadAll(w.MarksFilePath()) ==
                text.substr(0, at) + "[" + section + "]\r\n; mine\r\n0=" + entry(5, 6, 2) +
                    "\r\n1=" + entry(0x800, 0x8FF, 4) + "\r\nMax=3\r\n2=" + entry(0x20, 0x2F, 1) +
                    "\r\n" + text.substr(at + ours.size()));
}

// Only files with marks have a section: opening a file writes nothing, its
// first mark adds its section, and its last mark takes the section along.
TEST_F(MarksTest, OnlyFilesWithMarksHaveASection) {
    const std::string a = Open("a.bin");
    Open("b.bin");
    EXPECT_FALSE(std::filesystem::exists(view.MarksFilePath())) << "a had no marks";
    Set(0x10, 0x10, 1);
    const std::string b = doc.GetPathName();
    const std::string c = Open("c.bin");
    Set(0x20, 0x20, 2);
    Open("d.bin");
    const std::string sectionC = "[" + COctileView::MarkSectionName(c) +
                                 "]\n0=" + COctileView::FormatMarkOffset(0x20) + " " +
                                 COctileView::FormatMarkOffset(0x20) + " 2\nMax=1\n";
    EXPECT_EQ(ReadAll(view.MarksFilePath()), "[" + COctileView::MarkSectionName(b) +
                                                 "]\n0=" + COctileView::FormatMarkOffset(0x10) +
                                                 " " + COctileView::FormatMarkOffset(0x10) +
                                                 " 1\nMax=1\n" + sectionC);
    ASSERT_TRUE(doc.OnOpenDocument(b));
    view.OnInitialUpdate();
    Select(0x10, 0x10);
    view.ToggleMark(1);
    ASSERT_TRUE(doc.OnOpenDocument(a));
    view.OnInitialUpdate();
    EXPECT_EQ(ReadAll(view.MarksFilePath()), sectionC);

    // A hand-edited file may name a file twice: both sections go with the
    // last mark, or the second would bring marks back.
    WriteMarksFile("[" + a + "]\nMax=1\n0=1 1 1\n" + sectionC + "[" + a + "]\nMax=1\n0=7 7 3\n");
    view.LoadMarks(a);
    EXPECT_EQ(view.Marks(), (std::vector<Mark>{{1, 1, 1}}));
    Select(1, 1);
    view.ToggleMark(1);
    EXPECT_TRUE(view.SaveMarks(a));
    EXPECT_EQ(ReadAll(view.MarksFilePath()), sectionC);
    view.LoadMarks(a);
    EXPECT_TRUE(view.Marks().empty());
}

// A rewrite replaces the file a symbolic link names, not the link, and keeps
// the file's permission bits.
TEST_F(MarksTest, RewriteKeepsModeAndFollowsALink) {
    Open("a.bin");
    std::filesystem::create_directories(dir.File("synced"));
    const std::string target = dir.Write("synced/marks.ini", "[/x]\nMax=1\n0=1 2 3\n");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("../../synced/marks.ini", view.MarksFilePath().c_str()), 0);
    Set(0x10, 0x11, 2);
    Open("b.bin");
    struct stat st {};
    ASSERT_EQ(::lstat(view.MarksFilePath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(StatOf(target).st_mode & 07777, 0600u);
    EXPECT_NE(ReadAll(target).find("[/x]\nMax=1\n0=1 2 3\n[" + dir.path()), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("synced")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(MarksTest, MarkPastTheEndOfAShrunkFile) {
    const std::string path = Open("shrink.bin", 0x1000);
    Set(0xF00, 0xF10, 2);
    Open("other.bin");
    ASSERT_EQ(::truncate(path.c_str(), 0x200), 0);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    view.OnInitialUpdate();
    view.NextMark();
    EXPECT_EQ(view.WindowOffset(), 0x1F0u);  // the file's last line
    EXPECT_EQ(view.CaretOffset(), 0x1FFu);
}

TEST_F(MarksTest, BackgroundsCoverTheHexCellsRowByRow) {
    Open("p.bin");
    Set(0x10, 0x10, 2);
    Set(0x0E, 0x11, 1);
    const auto rects = view.MarkBackgrounds();
    const int32_t cw = host.metrics.charWidth, lh = host.metrics.lineHeight;
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_EQ(rects[0].rect, (PixelRect{9 * cw, 2 * lh, (9 + 3) * cw, 3 * lh}));
    EXPECT_EQ(rects[0].colour, 0x00FF00u);
    // The later kind-1 mark paints over it, one rectangle per row.
    EXPECT_EQ(rects[1].rect, (PixelRect{(9 + 3 * 14) * cw, lh, (9 + 3 * 15 + 3) * cw, 2 * lh}));
    EXPECT_EQ(rects[2].rect, (PixelRect{9 * cw, 2 * lh, (9 + 3 + 3) * cw, 3 * lh}));
    EXPECT_EQ(rects[2].colour, 0x0000FFu);
    view.SetWindowOffset(0x20);
    EXPECT_TRUE(view.MarkBackgrounds().empty());
}

}  // namespace
}  // namespace octile
