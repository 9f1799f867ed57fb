// The failing-disk table: every path that writes a file, run with reads or
// writes that stop after a byte budget (with EIO, ENOSPC or no error at all),
// as a failing disk or a full file system stops them. Each row says which
// message the user sees, if any, and which bytes each file holds afterwards:
// what the operation wrote before the fault stays, and nothing outside its
// range changes.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/bitmap_save.h"
#include "document/shift_journal.h"
#include "document/undo.h"
#include "file_fault_scope.h"
#include "picture/dib.h"
#include "resources/resources.h"
#include "session.h"
#include "settings/ini_file.h"
#include "settings/paths.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::FakeHost;
using test::FileFaultScope;
using test::PutCaretOnByte;
using test::ReadAll;
using test::TempDir;

constexpr uint64_t kB = 0x10000;            // the block of the streaming edits
constexpr uint64_t kLength = 3 * kB + 100;  // three whole blocks and a short one
constexpr uint64_t kAt = 1000;              // where the shifting edits start
constexpr uint64_t kTyped = 0x21;           // the byte typed over, on the first page
constexpr uint64_t kPage = 0x100;           // the bytes of the first page
constexpr uint64_t kPasteAt = 0xF8;         // eight bytes before the first page's end
const uint64_t kHits[] = {0x1000, kB + 0x1000, 2 * kB + 0x1000};  // the search pattern

FileFaults WriteFault(uint64_t budget, int err) {
    FileFaults f;
    f.writeBudget = budget;
    f.writeErrno = err;
    return f;
}

FileFaults ReadFault(uint64_t budget, int err) {
    FileFaults f;
    f.readBudget = budget;
    f.readErrno = err;
    return f;
}

// The document: bytes below 0x80 only, so the pattern AA BB CC occurs only
// where it is put.
std::string Original() {
    std::string s(kLength, '\0');
    for (uint64_t i = 0; i < kLength; ++i) s[i] = static_cast<char>((i * 37 + i / 251) & 0x7F);
    for (uint64_t at : kHits) s.replace(at, 3, "\xAA\xBB\xCC");
    return s;
}

// original with its bytes [from, from + n) taken from result: an operation
// that writes result front to back from `from`, stopped after n bytes.
std::string Overlay(std::string original, const std::string& result, uint64_t from, uint64_t n) {
    original.replace(from, n, result.substr(from, n));
    return original;
}

// One Octile over a document opened read-write, with its view, the edit,
// export, search and clipboard commands.
struct Session : test::Session {
    enum KeepFile { kKeepFile };
    Session(TempDir& dir, const std::string& bytes)
        : Session(dir, kKeepFile, dir.Write("doc.bin", bytes)) {}
    // Opens doc.bin again as it is (a second start of the program).
    Session(TempDir& dir, KeepFile) : Session(dir, kKeepFile, dir.File("doc.bin")) {}
    Session(TempDir& dir, KeepFile, std::string file) : path(std::move(file)) {
        templatePath = dir.Write("rw.ini", std::string("[Setting]\nNoReadOnly=1\n"));
        opened = Open(path) && doc.IsReadOnly() == 0;
    }
    // The caret on the high digit of the byte at offset (on the page).
    void PutCaret(uint64_t offset) {
        PutCaretOnByte(view, offset);
        view.UpdateSelection(SelectionStep::kAnchor, offset);
        view.UpdateSelection(SelectionStep::kCaret, offset);
    }
    // The texts of the error messages shown (questions left out).
    std::vector<std::u16string> Errors() const {
        std::vector<std::u16string> out;
        for (const FakeHost::Message& m : host.messages) {
            if ((m.type & MB_ICONEXCLAMATION) == MB_ICONEXCLAMATION) out.push_back(m.text);
        }
        return out;
    }
    std::string Contents() const { return ReadAll(path); }

    std::string path;
    bool opened = false;
};

std::u16string PathMessage(uint32_t id, const std::string& path) {
    return ReplacePercent1(LoadString(id), Utf8ToUtf16(FullPath(path)));
}

// The names in a folder that start with prefix.
std::vector<std::string> Entries(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> out;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            if (std::string(e->d_name).rfind(prefix, 0) == 0) out.emplace_back(e->d_name);
        }
        ::closedir(d);
    }
    return out;
}

// ---------------------------------------------------------------- the document

void TypeOverByte(Session& s) {
    s.PutCaret(kTyped);
    s.view.OnChar('7');  // the high digit of the byte
}

void Paste(Session& s) {
    s.PutCaret(kPasteAt);
    s.host.clipboard = u"41 42 43 44 45 46 47 48 49 4A";  // runs past the first page
    s.search.OnCommand(ID_EDIT_PASTE);
}

void ReplaceAll(Session& s) {
    s.view.OnCommand(ID_SEARCH_MODE_HEX);
    s.PutCaret(0);
    s.host.AnswerDialog<CSearchSecDlg>([](CSearchSecDlg& d) {
        d.searchText = u"aabbcc";
        d.replaceText = u"112233";
        d.replaceAll = 1;
        return IDOK;
    });
    s.search.OnCommand(ID_REPLACE);
}

void ReplaceFirst(Session& s) {
    s.view.OnCommand(ID_SEARCH_MODE_HEX);
    s.PutCaret(0);
    s.host.AnswerDialog<CSearchSecDlg>([](CSearchSecDlg& d) {
        d.searchText = u"aabbcc";
        d.replaceText = u"112233";
        d.replaceAll = 0;
        return IDOK;
    });
    s.host.messageAnswers = {IDYES, IDCANCEL};
    s.search.OnCommand(ID_REPLACE);
}

void Shift(Session& s, bool deleteMode) {
    s.host.AnswerDialog<CEditInsertDlg>([](CEditInsertDlg& d) {
        d.position = u"3E8";  // kAt
        d.count = u"10";
        return IDOK;
    });
    s.edit.OnCommand(deleteMode ? ID_EDIT_DELETE : ID_EDIT_INSERT);
}

void Fill(Session& s) {
    s.host.AnswerDialog<CEditRangeDlg>([](CEditRangeDlg& d) {
        d.start = u"3E8";
        d.end = u"FFFFFFFFFFFFFFFF";
        d.value = u"EE";
        return IDOK;
    });
    s.edit.OnCommand(ID_EDIT_FILL);
}

TEST(FaultTable, EditsOfTheOpenFile) {
    const std::string o = Original();
    std::string typed = o;
    typed[kTyped] = static_cast<char>((o[kTyped] & 0x0F) | 0x70);
    std::string pasted = o;
    pasted.replace(kPasteAt, 10, "ABCDEFGHIJ");
    std::string replaced = o;
    for (uint64_t at : kHits) replaced.replace(at, 3, "\x11\x22\x33");
    const std::string filled = o.substr(0, kAt) + std::string(kLength - kAt, '\xEE');

    struct Row {
        const char* name;
        std::function<void(Session&)> run;
        FileFaults fault;
        uint32_t message;  // shown with the document's path; 0: none
        std::string expected;
        std::function<void(Session&)> after;  // what else the row shows
    };
    const Row rows[] = {
        // Typing writes back only the byte it changed, after recording its
        // old value: the page's other bytes are not written again.
        {"typing, disk full", TypeOverByte, WriteFault(0, ENOSPC), 0, o,
         [&](Session& s) { EXPECT_EQ(s.view.ReadWindow()[kTyped], uint8_t(o[kTyped])); }},
        {"typing, short write without an error", TypeOverByte, WriteFault(0, 0), 0, o, {}},
        {"typing, room for the typed byte alone", TypeOverByte, WriteFault(1, ENOSPC), 0, typed,
         [&](Session& s) { EXPECT_EQ(s.view.ReadWindow()[kTyped], uint8_t(typed[kTyped])); }},
        // The old bytes cannot be read, so they cannot be recorded for undo:
        // nothing is written.
        {"typing, the page's old bytes unreadable", TypeOverByte, ReadFault(0, EIO), 0, o, {}},
        // The page cannot be read again: it shows no bytes, and typing on
        // bytes it does not show is refused.
        {"typing, the page unreadable afterwards", TypeOverByte, ReadFault(kPage, EIO), 0, typed,
         [](Session& s) {
             EXPECT_EQ(s.view.ValidCount(), 0u);
             s.view.OnChar('0');
         }},
        {"paste, disk full in the first page",
         Paste,
         WriteFault(5, ENOSPC),
         IDS_WRITE_ERROR,
         Overlay(o, pasted, kPasteAt, 5),
         {}},
        {"paste, the second page not written",
         Paste,
         WriteFault(8, 0),
         IDS_WRITE_ERROR,
         Overlay(o, pasted, kPasteAt, 8),
         {}},
        {"paste, the old bytes unreadable", Paste, ReadFault(0, EIO), IDS_WRITE_ERROR, o, {}},
        {"paste, the page unreadable afterwards", Paste, ReadFault(10, EIO), 0, pasted, {}},
        {"replace all, disk full at the second hit",
         ReplaceAll,
         WriteFault(3, ENOSPC),
         IDS_WRITE_ERROR,
         Overlay(o, replaced, kHits[0], 3),
         {}},
        {"replace all, second hit written in part",
         ReplaceAll,
         WriteFault(4, EIO),
         IDS_WRITE_ERROR,
         Overlay(Overlay(o, replaced, kHits[0], 3), replaced, kHits[1], 1),
         {}},
        {"replace all, file unreadable", ReplaceAll, ReadFault(0, EIO), 0, o,
         [](Session& s) { EXPECT_EQ(s.host.beeps, 1); }},
        {"replace one, disk full", ReplaceFirst, WriteFault(0, ENOSPC), IDS_WRITE_ERROR, o, {}},
        // Fill writes block by block, each block's old bytes recorded first.
        {"fill, disk full in the second block",
         Fill,
         WriteFault(kB + 10, ENOSPC),
         IDS_IO_ERROR,
         Overlay(o, filled, kAt, kB + 10),
         {}},
        {"fill, second block unreadable",
         Fill,
         ReadFault(2 * kB + 16, EIO),  // the first block read, then read again to record it
         IDS_IO_ERROR,
         Overlay(o, filled, kAt, kB),
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        Session s(dir, o);
        ASSERT_TRUE(s.opened);
        {
            FileFaultScope scope;
            scope.faults = row.fault;
            row.run(s);
            if (row.after) row.after(s);
        }
        const std::string now = s.Contents();
        ASSERT_EQ(now.size(), kLength);  // no edit that failed changed the length
        EXPECT_TRUE(now == row.expected) << "the file holds other bytes";
        EXPECT_EQ(s.doc.GetFileLength(), kLength);
        const std::vector<std::u16string> expected =
            row.message != 0 ? std::vector{PathMessage(row.message, s.path)}
                             : std::vector<std::u16string>{};
        EXPECT_EQ(s.Errors(), expected);
    }
}

// ---------------------------------------------------------------- new files

// An insert or delete that a failing disk stops half way keeps its record in
// the journal: the file is shown the message, and the next open completes
// the shift to exactly the bytes it would have had. Segments of one block
// make the three-block file take four.
TEST(FaultTable, ShiftsCutShortAreCompletedOnTheNextOpen) {
    const std::string o = Original();
    const std::string inserted = o.substr(0, kAt) + std::string(16, '\0') + o.substr(kAt);
    const std::string deleted = o.substr(0, kAt) + o.substr(kAt + 16);
    struct Row {
        const char* name;
        bool deleteMode;
        FileFaults fault;
    };
    const Row rows[] = {
        {"insert, disk full in the second segment", false, WriteFault(kB + 10, ENOSPC)},
        {"insert, short write without an error", false, WriteFault(kB + 10, 0)},
        {"insert, second segment unreadable", false, ReadFault(kB + 5, EIO)},
        {"insert, the inserted zeros not written", false, WriteFault(kLength - kAt, EIO)},
        {"delete, disk full in the third segment", true, WriteFault(2 * kB + 10, ENOSPC)},
        {"delete, third segment unreadable", true, ReadFault(16 + 2 * kB + 7, EIO)},
    };
    SetShiftSegmentSizeForTesting(kB);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        {
            Session s(dir, o);
            ASSERT_TRUE(s.opened);
            FileFaultScope scope;
            scope.faults = row.fault;
            Shift(s, row.deleteMode);
            EXPECT_EQ(s.Errors(), std::vector{PathMessage(IDS_IO_ERROR, s.path)});
        }
        Session again(dir, Session::kKeepFile);
        ASSERT_TRUE(again.opened);
        EXPECT_TRUE(again.Contents() == (row.deleteMode ? deleted : inserted));
        EXPECT_EQ(again.doc.GetFileLength(), kLength + (row.deleteMode ? -16 : 16));
        EXPECT_EQ(again.Errors(),
                  std::vector{PathMessage(
                      row.deleteMode ? IDS_SHIFT_COMPLETED_DELETE : IDS_SHIFT_COMPLETED_INSERT,
                      again.path)});
        // Completed and recorded: one undo gives the original back.
        EXPECT_TRUE(UndoEdit(again.doc, again.host));
        EXPECT_TRUE(again.Contents() == o);
    }
    SetShiftSegmentSizeForTesting(0);
}

// The outputs are written into a new file beside the old one and renamed
// over it only when complete: a fault leaves the old output as it was and no
// new file behind.
TEST(FaultTable, ExportsAndTheBitmapSave) {
    const std::string o = Original();
    TempDir dir;
    Session s(dir, o);
    ASSERT_TRUE(s.opened);
    const std::string out = dir.File("out");
    const std::string old = "an older file";

    auto exportRange = [&](uint32_t command) {
        return [&, command](Session& session) {
            session.host.AnswerDialog<CFileRangeDialog>([&](CFileRangeDialog& d) {
                d.file.chosenPath = out;
                d.start = u"0";
                d.end = u"FFFFFFFFFFFFFFFF";
                return IDOK;
            });
            session.edit.OnCommand(command);
        };
    };
    CDib picture;
    {
        std::vector<uint8_t> packed(40 + 4 * 2 * 4, 0x5C);
        const uint8_t header[] = {40, 0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0};
        std::copy(std::begin(header), std::end(header), packed.begin());
        std::fill(packed.begin() + 16, packed.begin() + 40, 0);
        ASSERT_EQ(picture.TakeBitmap(packed), 1);
    }
    const uint64_t bitmapSize = picture.BitmapFileBytes().size();
    auto saveBitmap = [&](Session& session) {
        session.host.fileDialogScript.push_back([&](FileDialogRequest& r) {
            r.chosenPath = out;
            return true;
        });
        OnFileSaveBitmap(session.host, session.host, picture, session.doc);
    };

    struct Row {
        const char* name;
        std::function<void(Session&)> run;
        FileFaults fault;
        uint32_t message;
        bool documentPath;  // the message names the document, else the output
    };
    const Row rows[] = {
        {"partial save, disk full", exportRange(ID_FILE_SAVE_AS), WriteFault(kB + 10, ENOSPC),
         IDS_IO_ERROR, false},
        {"partial save, short write without an error", exportRange(ID_FILE_SAVE_AS),
         WriteFault(kB + 10, 0), IDS_WRITE_ERROR, false},
        {"partial save, the document's second block unreadable", exportRange(ID_FILE_SAVE_AS),
         ReadFault(kB + 16, EIO), IDS_IO_ERROR, true},
        {"hex listing, disk full", exportRange(ID_FILE_HEXLIST), WriteFault(100001, ENOSPC),
         IDS_IO_ERROR, false},
        {"hex listing, no room for the byte-order mark", exportRange(ID_FILE_HEXLIST),
         WriteFault(1, EIO), IDS_IO_ERROR, false},
        {"bitmap save, disk full at once", saveBitmap, WriteFault(0, ENOSPC), IDS_SAVE_ERROR,
         false},
        {"bitmap save, I/O error in the header", saveBitmap, WriteFault(30, EIO), IDS_SAVE_ERROR,
         false},
        {"bitmap save, short write without an error", saveBitmap, WriteFault(bitmapSize - 1, 0),
         IDS_SAVE_ERROR, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dir.Write("out", old);
        s.host.messages.clear();
        {
            FileFaultScope scope;
            scope.faults = row.fault;
            row.run(s);
        }
        EXPECT_EQ(ReadAll(out), old);
        EXPECT_TRUE(Entries(dir.path(), ".out.").empty()) << "a new file was left behind";
        EXPECT_EQ(s.Errors(),
                  std::vector{PathMessage(row.message, row.documentPath ? s.path : out)});
        EXPECT_TRUE(s.Contents() == o) << "the document changed";
    }
}

// ---------------------------------------------------------------- settings files

// The marks file holds every file's marks; it is replaced whole by a new file
// renamed over it, so a failing disk leaves the old one as it was.
TEST(FaultTable, MarksFile) {
    const std::string o = Original();
    const std::string folder = GetPerUserFolder();
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(MakeFolders(folder.substr(0, folder.size() - 1)));
    const std::string marksFile = folder + "octile_mark.ini";

    struct Row {
        const char* name;
        FileFaults loadFault;  // while the document's marks are loaded
        FileFaults saveFault;  // while they are saved
        bool saved;            // the file then holds the new mark
    };
    const Row rows[] = {
        {"no fault", {}, {}, true},
        {"disk full at once", {}, WriteFault(0, ENOSPC), false},
        {"disk full part way", {}, WriteFault(40, ENOSPC), false},
        {"I/O error part way", {}, WriteFault(40, EIO), false},
        {"short write without an error", {}, WriteFault(40, 0), false},
        // The file cannot be read before it is rewritten: writing what was
        // read would lose the other files' marks.
        {"unreadable when saving", {}, ReadFault(10, EIO), false},
        {"read short when saving", {}, ReadFault(10, 0), false},
        // Read only in part when loaded: the list may lack marks of the
        // file, and is not saved over them.
        {"unreadable when loading", ReadFault(10, EIO), {}, false},
        {"read short when loading", ReadFault(10, 0), {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string section = COctileView::MarkSectionName(FullPath(dir.File("doc.bin")));
        const std::string old =
            "[/elsewhere/other.bin]\nMax=1\n0=" + COctileView::FormatMarkOffset(5) + " " +
            COctileView::FormatMarkOffset(9) + " 3\n\n[" + section +
            "]\nMax=1\n0=" + COctileView::FormatMarkOffset(16) + " " +
            COctileView::FormatMarkOffset(31) + " 2\n";
        std::ofstream(marksFile, std::ios::binary | std::ios::trunc) << old;
        Session s(dir, o);
        ASSERT_TRUE(s.opened);
        {
            FileFaultScope scope;
            scope.faults = row.loadFault;
            s.view.LoadMarks(s.doc.GetPathName());
        }
        s.view.UpdateSelection(SelectionStep::kAnchor, 0x40);
        s.view.UpdateSelection(SelectionStep::kCaret, 0x47);
        s.view.ToggleMark(5);
        {
            FileFaultScope scope;
            scope.faults = row.saveFault;
            s.view.OnDestroy();
        }
        const std::string now = ReadAll(marksFile);
        if (row.saved) {
            EXPECT_NE(now, old);
            const IniFile ini = IniFile::FromText(now, true);
            EXPECT_EQ(ini.Get(section, "Max", ""), "2");
            EXPECT_EQ(ini.Get("/elsewhere/other.bin", "Max", ""), "1");
        } else {
            EXPECT_EQ(now, old);
        }
        EXPECT_TRUE(Entries(folder, "octile_mark.ini.").empty()) << "a new file was left behind";
        EXPECT_TRUE(s.host.messages.empty());  // the marks file reports nothing
    }
}

// The settings store: written when the program ends, by a new file renamed
// over the old one.
TEST(FaultTable, SettingsStore) {
    struct Row {
        const char* name;
        FileFaults readFault;   // while the store is read at start
        FileFaults writeFault;  // while it is written
        bool written;
    };
    const Row rows[] = {
        {"no fault", {}, {}, true},
        {"disk full at once", {}, WriteFault(0, ENOSPC), false},
        {"disk full part way", {}, WriteFault(12, ENOSPC), false},
        {"short write without an error", {}, WriteFault(12, 0), false},
        {"unreadable at start", ReadFault(7, EIO), {}, false},
        {"read short at start", ReadFault(7, 0), {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir.File("store.ini");
        const std::string old = "[View]\nCodeType=3\n[Recent File List]\nFile1=/a/b.bin\n";
        dir.Write("store.ini", old);
        std::unique_ptr<IniProfileStore> store;
        {
            FileFaultScope scope;
            scope.faults = row.readFault;
            store = std::make_unique<IniProfileStore>(path);
        }
        store->WriteProfileInt("View", "Upper", 1);
        {
            FileFaultScope scope;
            scope.faults = row.writeFault;
            store->Flush();
        }
        const std::string now = ReadAll(path);
        if (row.written) {
            EXPECT_EQ(now, old.substr(0, 18) + "Upper=1\n" + old.substr(18));
        } else {
            EXPECT_EQ(now, old);
        }
        EXPECT_TRUE(Entries(dir.path(), "store.ini.").empty()) << "a new file was left behind";
        // Written once the disk works again, unless the old file could not be read.
        store->Flush();
        EXPECT_EQ(ReadAll(path) != old, row.readFault.readBudget == FileFaults::kUnlimited);
    }
}

}  // namespace
}  // namespace octile
