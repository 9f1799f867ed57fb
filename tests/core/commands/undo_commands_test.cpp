// Undo and redo as the edit commands run them: the file's bytes come back
// exactly, the caret goes to the place of the change and the page follows it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "document/journal.h"
#include "resources/resources.h"
#include "session.h"
#include "temp_dir.h"

namespace octile {
namespace {

using test::RandomBytes;
using test::ReadAll;
using test::TempDir;

constexpr uint64_t kFileSize = 0x300;
constexpr uint64_t kAwayWindow = 0x100;  // the page shown before each undo and redo

// A file open read-write with its journal where the application keeps it.
struct UndoSession : test::Session {
    UndoSession(const TempDir& dir, const std::string& bytes, const std::string& name) {
        templatePath = dir.Write("octile.ini", "[Setting]\nNoReadOnly=1\n");
        doc.SetJournalOptions(ReadJournalOptions(&store));
        path = dir.Write(name, bytes);
        opened = Open(path) && doc.IsReadOnly() == 0;
    }
    std::string Disk() const { return ReadAll(path); }
    bool Enabled(uint32_t id) {
        CmdUI ui;
        return edit.OnUpdateCommand(id, ui) && ui.enabled;
    }
    void Caret(uint64_t offset, COctileView::CellMode mode) {
        view.SetWindowOffset(offset - offset % 0x100);
        COctileView::Cell cell;
        ASSERT_TRUE(view.OffsetToCell(mode, offset, cell));
        view.SetCaretCell(cell);
    }
    void Type(uint64_t offset, COctileView::CellMode mode, const char16_t* text) {
        Caret(offset, mode);
        view.OnText(text);
    }
    void Shift(uint32_t id, const char16_t* position, const char16_t* count) {
        host.AnswerDialog<CEditInsertDlg>([=](CEditInsertDlg& d) {
            d.position = position;
            d.count = count;
            return IDOK;
        });
        edit.OnCommand(id);
    }
    // The caret stands on the byte at offset, in area, on a page at window,
    // with the selection on that byte alone.
    void ExpectCaret(uint64_t offset, DumpArea area, uint64_t window) const {
        EXPECT_EQ(view.WindowOffset(), window);
        EXPECT_EQ(view.Anchor(), offset);
        EXPECT_EQ(view.CaretOffset(), offset);
        EXPECT_EQ(view.CaretCell(), view.Layout().CellOf(offset - window, area));
    }

    std::string path;
    bool opened = false;
};

class UndoCommandsTest : public ::testing::Test {
  protected:
    TempDir dir;
    int files = 0;
    std::string NextName() { return "u" + std::to_string(files++) + ".bin"; }
};

std::string Original() {
    std::string bytes = RandomBytes(kFileSize, 7);
    bytes[0x1A5] = bytes[0x2A5] = '\0';  // typing over them changes them
    return bytes;
}

TEST_F(UndoCommandsTest, UndoRestoresTheBytesAndRedoAppliesThemAgainAtTheCaret) {
    using Mode = COctileView::CellMode;
    struct Case {
        const char* name;
        std::function<void(UndoSession&)> edit;
        std::function<void(std::string&)> model;
        DumpArea area;        // the caret's area after the edit, kept by undo and redo
        uint64_t undoAt;      // the caret after the undo
        uint64_t undoWindow;  // the page then
        uint64_t redoAt;      // the caret after the redo
        uint64_t redoWindow;
    };
    const Case cases[] = {
        {"hex digit on the page shown", [](UndoSession& s) { s.Type(0x1A5, Mode::kHex, u"7"); },
         [](std::string& m) { m[0x1A5] = '\x70'; }, DumpArea::kHex, 0x1A5, kAwayWindow, 0x1A5,
         kAwayWindow},
        {"hex digit off the page", [](UndoSession& s) { s.Type(0x2A5, Mode::kHex, u"C"); },
         [](std::string& m) { m[0x2A5] = '\xC0'; }, DumpArea::kHex, 0x2A5, 0x2A0, 0x2A5, 0x2A0},
        {"character column", [](UndoSession& s) { s.Type(0x2A5, Mode::kChar, u"Z"); },
         [](std::string& m) { m[0x2A5] = 'Z'; }, DumpArea::kChar, 0x2A5, 0x2A0, 0x2A5, 0x2A0},
        {"insert", [](UndoSession& s) { s.Shift(ID_EDIT_INSERT, u"2F3", u"3"); },
         [](std::string& m) { m.insert(0x2F3, 3, '\0'); }, DumpArea::kHex, 0x2F3, 0x2F0, 0x2F3,
         0x2F0},
        {"delete", [](UndoSession& s) { s.Shift(ID_EDIT_DELETE, u"18", u"20"); },
         [](std::string& m) { m.erase(0x18, 0x20); }, DumpArea::kHex, 0x18, 0x10, 0x18, 0x10},
        // Redoing it takes the file's end away: the caret goes to the new last byte.
        {"delete of the end", [](UndoSession& s) { s.Shift(ID_EDIT_DELETE, u"2F0", u"10"); },
         [](std::string& m) { m.erase(0x2F0); }, DumpArea::kHex, 0x2F0, 0x2F0, 0x2EF, 0x2E0},
    };
    const std::string original = Original();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UndoSession s(dir, original, NextName());
        ASSERT_TRUE(s.opened);
        EXPECT_FALSE(s.Enabled(ID_EDIT_UNDO));
        c.edit(s);
        std::string edited = original;
        c.model(edited);
        ASSERT_EQ(s.Disk(), edited) << "the edit itself";
        EXPECT_TRUE(s.Enabled(ID_EDIT_UNDO));
        EXPECT_FALSE(s.Enabled(ID_EDIT_REDO));

        s.view.SetWindowOffset(kAwayWindow);
        EXPECT_TRUE(s.edit.OnCommand(ID_EDIT_UNDO));
        EXPECT_TRUE(s.Disk() == original) << "undo left the file different";
        EXPECT_EQ(s.doc.GetFileLength(), original.size());
        s.ExpectCaret(c.undoAt, c.area, c.undoWindow);
        EXPECT_FALSE(s.Enabled(ID_EDIT_UNDO));
        EXPECT_TRUE(s.Enabled(ID_EDIT_REDO));

        s.view.SetWindowOffset(kAwayWindow);
        EXPECT_TRUE(s.edit.OnCommand(ID_EDIT_REDO));
        EXPECT_TRUE(s.Disk() == edited) << "redo left the file different";
        s.ExpectCaret(c.redoAt, c.area, c.redoWindow);
        EXPECT_TRUE(s.Enabled(ID_EDIT_UNDO));
        EXPECT_FALSE(s.Enabled(ID_EDIT_REDO));
        EXPECT_TRUE(s.host.messages.empty());
    }
}

TEST_F(UndoCommandsTest, StepsComeBackNewestFirstAndGoForwardInOrder) {
    const std::string original = Original();
    UndoSession s(dir, original, NextName());
    ASSERT_TRUE(s.opened);
    s.Shift(ID_EDIT_INSERT, u"100", u"2");
    const std::string inserted = s.Disk();
    s.Type(0x1A7, COctileView::CellMode::kHex, u"9");  // the zero byte, moved on by two
    const std::string typed = s.Disk();
    ASSERT_NE(typed, inserted);

    s.edit.OnCommand(ID_EDIT_UNDO);
    EXPECT_TRUE(s.Disk() == inserted);
    EXPECT_EQ(s.view.CaretOffset(), 0x1A7u);
    s.edit.OnCommand(ID_EDIT_UNDO);
    EXPECT_TRUE(s.Disk() == original);
    EXPECT_EQ(s.view.CaretOffset(), 0x100u);
    EXPECT_FALSE(s.Enabled(ID_EDIT_UNDO));

    s.edit.OnCommand(ID_EDIT_REDO);
    EXPECT_TRUE(s.Disk() == inserted);
    s.edit.OnCommand(ID_EDIT_REDO);
    EXPECT_TRUE(s.Disk() == typed);
    EXPECT_FALSE(s.Enabled(ID_EDIT_REDO));

    // A new edit after an undo drops what could have been redone.
    s.edit.OnCommand(ID_EDIT_UNDO);
    s.Type(0x2A7, COctileView::CellMode::kHex, u"5");
    EXPECT_TRUE(s.Enabled(ID_EDIT_UNDO));
    EXPECT_FALSE(s.Enabled(ID_EDIT_REDO));
}

TEST_F(UndoCommandsTest, RefusedOnAReadOnlyFileAndWhileAnOperationRuns) {
    const std::string original = Original();
    UndoSession s(dir, original, NextName());
    ASSERT_TRUE(s.opened);
    s.Type(0x1A5, COctileView::CellMode::kHex, u"7");
    const std::string typed = s.Disk();

    {
        BusyScope busy(s.doc.busy(), BusyState::kFileOperation);
        EXPECT_FALSE(s.Enabled(ID_EDIT_UNDO));
        EXPECT_TRUE(s.edit.OnCommand(ID_EDIT_UNDO));  // swallowed
        EXPECT_TRUE(s.Disk() == typed);
    }

    s.doc.OnCommand(ID_READ_ONLY);
    ASSERT_NE(s.doc.IsReadOnly(), 0);
    EXPECT_FALSE(s.Enabled(ID_EDIT_UNDO));
    EXPECT_FALSE(s.Enabled(ID_EDIT_REDO));
    s.edit.OnCommand(ID_EDIT_UNDO);
    EXPECT_TRUE(s.Disk() == typed);

    // Read-write again, the history is still there.
    s.doc.OnCommand(ID_READ_ONLY);
    ASSERT_EQ(s.doc.IsReadOnly(), 0);
    EXPECT_TRUE(s.Enabled(ID_EDIT_UNDO));
    s.edit.OnCommand(ID_EDIT_UNDO);
    EXPECT_TRUE(s.Disk() == original);
}

TEST(UndoResources, MenuItemsKeysAndPrompts) {
    const MenuItem& edit = MainMenu().at(1);
    ASSERT_GE(edit.children.size(), 4u);
    EXPECT_EQ(edit.children[0].caption, u"元に戻す(&Z)\tCtrl+Z");
    EXPECT_EQ(edit.children[0].id, ID_EDIT_UNDO);
    EXPECT_EQ(edit.children[1].caption, u"やり直し(&Y)\tCtrl+Y");
    EXPECT_EQ(edit.children[1].id, ID_EDIT_REDO);
    EXPECT_EQ(edit.children[2].kind, MenuItem::Separator);
    EXPECT_EQ(edit.children[3].id, ID_EDIT_COPY);
    EXPECT_EQ(FindAccelerator('Z', ACC_CONTROL), ID_EDIT_UNDO);
    EXPECT_EQ(FindAccelerator('Y', ACC_CONTROL), ID_EDIT_REDO);
    EXPECT_EQ(LoadToolTip(ID_EDIT_UNDO), u"元に戻す");
    EXPECT_EQ(LoadToolTip(ID_EDIT_REDO), u"やり直し");
}

}  // namespace
}  // namespace octile
