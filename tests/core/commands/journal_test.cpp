// The edit journal under the real commands: each kind of change undone and
// redone byte for byte after the program was started again, the refusal
// after another program's change, the size limit, a journal that cannot be
// written, and a log whose end was torn.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <string>

#include "document/byte_shift.h"
#include "document/shift_journal.h"
#include "document/undo.h"
#include "file_fault_scope.h"
#include "resources/resources.h"
#include "session.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::FileFaultScope;
using test::RandomBytes;
using test::ReadAll;
using test::TempDir;

constexpr uint64_t kB = 0x10000;

// One start of the program on doc.bin, read-write, journaling into the
// test's own folder.
struct Start : test::Session {
    Start(const TempDir& dir, const JournalOptions& options) : path(dir.File("doc.bin")) {
        templatePath = dir.Write("rw.ini", "[Setting]\nNoReadOnly=1\n");
        doc.SetJournalOptions(options);
        opened = Open(path) && doc.IsReadOnly() == 0;
    }
    std::string Contents() const { return ReadAll(path); }
    std::u16string PathText(uint32_t id) const {
        return ReplacePercent1(LoadString(id), Utf8ToUtf16(doc.GetPathName()));
    }
    void CaretAt(uint64_t offset) {
        test::PutCaretOnByte(view, offset);
        view.UpdateSelection(SelectionStep::kAnchor, offset);
        view.UpdateSelection(SelectionStep::kCaret, offset);
    }
    std::string path;
    bool opened = false;
};

class JournalTest : public ::testing::Test {
  protected:
    JournalTest() {
        options.folder = dir.File("journal");
        options.sync = false;
        SetShiftSegmentSizeForTesting(kB);  // files of a few blocks take several segments
    }
    ~JournalTest() override { SetShiftSegmentSizeForTesting(0); }
    TempDir dir;
    JournalOptions options;
};

TEST_F(JournalTest, EachKindOfChangeIsUndoneAndRedoneAfterARestart) {
    std::string original = RandomBytes(3 * kB + 123, 11);
    original[0x25] = 0x5A;
    struct Case {
        const char* name;
        std::function<void(Start&)> change;
        uint64_t where;  // the offset undo reports
    };
    const Case cases[] = {
        {"typing a digit",
         [](Start& r) {
             r.CaretAt(0x25);  // on 0x5A: one digit typed is one step
             r.view.OnChar('0');
         },
         0x25},
        {"fill over three blocks",
         [](Start& r) {
             EXPECT_TRUE(FillRange(r.doc, r.host, {0x100, 2 * kB + 0x100, 0xEE}));
         },
         0x100},
        {"paste across the page's end",
         [](Start& r) {
             r.CaretAt(0xFC);
             r.host.clipboard = u"01 02 03 04 05 06 07 08";
             r.search.OnCommand(ID_EDIT_PASTE);
         },
         0xFC},
        {"insert in the middle",
         [](Start& r) { EXPECT_TRUE(InsertBytes(r.doc, r.host, 0x777, 0x10000)); }, 0x777},
        {"delete in the middle",
         [](Start& r) { EXPECT_TRUE(DeleteBytes(r.doc, r.host, 0x10, 0x1234)); }, 0x10},
        {"delete up to the end",
         [](Start& r) { EXPECT_TRUE(DeleteBytes(r.doc, r.host, 3 * kB, 0x10000)); }, 3 * kB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Write("doc.bin", original);
        std::string changed;
        {
            Start first(dir, options);
            ASSERT_TRUE(first.opened);
            c.change(first);
            changed = first.Contents();
            ASSERT_NE(changed, original);
            EXPECT_TRUE(first.doc.CanUndo());
        }
        Start again(dir, options);
        ASSERT_TRUE(again.doc.CanUndo());
        uint64_t where = 0;
        EXPECT_TRUE(UndoEdit(again.doc, again.host, &where));
        EXPECT_EQ(where, c.where);
        EXPECT_TRUE(again.Contents() == original);
        EXPECT_EQ(again.doc.GetFileLength(), original.size());
        EXPECT_TRUE(RedoEdit(again.doc, again.host));
        EXPECT_TRUE(again.Contents() == changed);
        EXPECT_TRUE(UndoEdit(again.doc, again.host));
        EXPECT_TRUE(again.Contents() == original);
        EXPECT_TRUE(again.host.messages.empty());
    }
}

TEST_F(JournalTest, StepsUndoNewestFirstAndANewEditDropsWhatCouldBeRedone) {
    const std::string original = RandomBytes(2 * kB, 5);
    dir.Write("doc.bin", original);
    Start r(dir, options);
    ASSERT_TRUE(r.opened);
    std::vector<std::string> states = {original};
    ASSERT_TRUE(InsertBytes(r.doc, r.host, 5, 3));
    states.push_back(r.Contents());
    ASSERT_TRUE(FillRange(r.doc, r.host, {0, 9, 0x41}));
    states.push_back(r.Contents());
    ASSERT_TRUE(DeleteBytes(r.doc, r.host, 2, 4));
    states.push_back(r.Contents());
    const std::vector<HistoryEntry> history = r.doc.journal()->History();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].kind, EditKind::Insert);
    EXPECT_EQ(history[1].kind, EditKind::Overwrite);
    EXPECT_EQ(history[1].count, 10u);  // the bytes the fill changed
    EXPECT_EQ(history[2].kind, EditKind::Delete);
    for (int i = 2; i >= 0; --i) {
        ASSERT_TRUE(UndoEdit(r.doc, r.host));
        EXPECT_TRUE(r.Contents() == states[i]) << i;
    }
    EXPECT_FALSE(r.doc.CanUndo());
    for (int i = 1; i <= 2; ++i) {
        ASSERT_TRUE(RedoEdit(r.doc, r.host));
        EXPECT_TRUE(r.Contents() == states[i]) << i;
    }
    ASSERT_TRUE(InsertBytes(r.doc, r.host, 0, 1));
    EXPECT_FALSE(r.doc.CanRedo());
    EXPECT_EQ(r.doc.journal()->History().size(), 3u);
}

TEST_F(JournalTest, AChangeByAnotherProgramRefusesUndoAndRedo) {
    const std::string original = RandomBytes(kB, 6);
    dir.Write("doc.bin", original);
    Start r(dir, options);
    ASSERT_TRUE(InsertBytes(r.doc, r.host, 100, 16));
    ASSERT_TRUE(FillRange(r.doc, r.host, {0, 3, 0x00}));
    ASSERT_TRUE(UndoEdit(r.doc, r.host));
    // Another program appends a byte.
    std::ofstream(r.path, std::ios::binary | std::ios::app) << 'X';
    const std::string theirs = r.Contents();
    EXPECT_FALSE(UndoEdit(r.doc, r.host));
    EXPECT_FALSE(RedoEdit(r.doc, r.host));
    EXPECT_TRUE(r.Contents() == theirs);
    ASSERT_EQ(r.host.messages.size(), 2u);
    EXPECT_EQ(r.host.messages[0].text, r.PathText(IDS_JOURNAL_FILE_CHANGED));
    // The next edit starts a new history: the old steps no longer apply.
    r.doc.RemeasureLength();
    ASSERT_TRUE(InsertBytes(r.doc, r.host, 0, 2));
    EXPECT_EQ(r.doc.journal()->History().size(), 1u);
    ASSERT_TRUE(UndoEdit(r.doc, r.host));
    EXPECT_TRUE(r.Contents() == theirs);
}

TEST_F(JournalTest, TheLimitDropsTheOldestStepsAndAsksBeforeALargerChange) {
    options.maxFileBytes = 256 * 1024;
    const std::string original = RandomBytes(8 * kB, 8);
    dir.Write("doc.bin", original);
    Start r(dir, options);
    ASSERT_TRUE(r.opened);
    std::vector<std::string> states = {original};
    for (int i = 0; i < 40; ++i) {
        const uint64_t at = static_cast<uint64_t>(i) * 0x2000;
        ASSERT_TRUE(FillRange(r.doc, r.host, {at, at + 0x3FFF, static_cast<uint8_t>(i)}));
        states.push_back(r.Contents());
    }
    EXPECT_LT(r.doc.journal()->History().size(), 40u);
    // Undoing records the bytes it replaces too, so it may drop more.
    size_t undone = 0;
    while (r.doc.CanUndo()) {
        ASSERT_TRUE(UndoEdit(r.doc, r.host));
        ++undone;
    }
    EXPECT_GT(undone, 5u);
    EXPECT_TRUE(r.Contents() == states[40 - undone]);

    // A fill whose old bytes exceed the limit asks; "no" leaves the file.
    const std::string before = r.Contents();
    r.host.messageAnswers = {IDNO};
    EXPECT_FALSE(FillRange(r.doc, r.host, {0, 5 * kB, 0x55}));
    EXPECT_TRUE(r.Contents() == before);
    EXPECT_EQ(r.host.messages.back().text, LoadString(IDS_JOURNAL_TOO_LARGE));
    r.host.messageAnswers = {IDYES};
    EXPECT_TRUE(FillRange(r.doc, r.host, {0, 5 * kB, 0x55}));
    EXPECT_EQ(r.Contents().substr(0, 5 * kB + 1), std::string(5 * kB + 1, '\x55'));
    EXPECT_FALSE(r.doc.CanUndo());
    EXPECT_FALSE(r.doc.CanRedo());
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenRefusesTheEdit) {
    const std::string original = RandomBytes(2 * kB, 9);
    dir.Write("doc.bin", original);
    Start r(dir, options);
    ASSERT_TRUE(r.opened);
    FileFaultScope scope;
    scope.faults.journalErrno = ENOSPC;
    r.CaretAt(0x10);
    r.view.OnChar('0');
    r.view.OnChar('0');
    EXPECT_FALSE(InsertBytes(r.doc, r.host, 4, 16));
    EXPECT_FALSE(DeleteBytes(r.doc, r.host, 4, 16));
    EXPECT_FALSE(FillRange(r.doc, r.host, {0, 100, 0x11}));
    EXPECT_TRUE(r.Contents() == original);
    EXPECT_EQ(r.doc.GetFileLength(), original.size());
    ASSERT_FALSE(r.host.messages.empty());
    for (const auto& m : r.host.messages) EXPECT_EQ(m.text, r.PathText(IDS_JOURNAL_WRITE_ERROR));
}

TEST_F(JournalTest, ATornEndOfTheLogIsCutOffAndTheRestStillUndoes) {
    const std::string original = RandomBytes(kB, 10);
    dir.Write("doc.bin", original);
    std::string journalFolder;
    {
        Start r(dir, options);
        ASSERT_TRUE(InsertBytes(r.doc, r.host, 1, 1));
        ASSERT_TRUE(FillRange(r.doc, r.host, {10, 20, 0x22}));
        journalFolder = r.doc.journal()->folder();
    }
    // A record cut short by a crash: a header's worth of nonsense.
    std::ofstream(journalFolder + "log.00000000", std::ios::binary | std::ios::app)
        << std::string(70, '\x5A');
    Start again(dir, options);
    ASSERT_EQ(again.doc.journal()->History().size(), 2u);
    ASSERT_TRUE(UndoEdit(again.doc, again.host));
    ASSERT_TRUE(UndoEdit(again.doc, again.host));
    EXPECT_TRUE(again.Contents() == original);
}

TEST_F(JournalTest, AFileOpenedReadOnlyIsStillRepairedAfterAnInterruptedShift) {
    const std::string original = RandomBytes(4 * kB, 12);
    dir.Write("doc.bin", original);
    {
        Start r(dir, options);
        FileFaultScope scope;
        scope.faults.writeBudget = kB + 77;
        scope.faults.writeErrno = EIO;
        EXPECT_FALSE(InsertBytes(r.doc, r.host, 3, 16));
    }
    test::Session viewer;  // the template leaves the file read-only
    viewer.doc.SetJournalOptions(options);
    ASSERT_TRUE(viewer.Open(dir.File("doc.bin")));
    EXPECT_TRUE(viewer.doc.IsReadOnly());
    EXPECT_TRUE(ReadAll(dir.File("doc.bin")) ==
                original.substr(0, 3) + std::string(16, '\0') + original.substr(3));
    EXPECT_EQ(viewer.doc.GetFileLength(), original.size() + 16);
}

}  // namespace
}  // namespace octile
