// Insert, delete and fill on disk: the file must end up as an in-memory model
// of the edit says, whatever the sizes around the 65536-byte blocks.
#include "document/byte_shift.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "document/shift_journal.h"
#include "document/undo.h"
#include "file_fault_scope.h"
#include "resources/resources.h"
#include "session.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::FakeHost;
using test::FileFaultScope;
using test::RandomBytes;
using test::ReadAll;
using test::TempDir;

constexpr uint64_t kB = 0x10000;

std::u16string Rewriting(int percent) { return FormatPercentD(LoadString(IDS_REWRITING), percent); }

// One document on a file of its own, opened read-write; the view does not
// show it until a test asks.
struct Session : test::Session {
    explicit Session(const TempDir& dir, const std::string& bytes,
                     const std::string& name = "doc.bin")
        : path(dir.Write(name, bytes)) {
        templatePath = dir.Write("octile.ini", "[Setting]\nNoReadOnly=1\n");
        opened = doc.OnOpenDocument(path) && doc.IsReadOnly() == 0;
    }
    std::string Contents() const { return ReadAll(path); }
    std::u16string DocMessage(uint32_t id) const {
        return ReplacePercent1(LoadString(id), Utf8ToUtf16(doc.GetPathName()));
    }
    // Every progress text is 10021 with a rising percentage, the last 100.
    void ExpectProgressRisingTo100() const {
        ASSERT_FALSE(host.statusTexts.empty());
        int previous = 0;
        for (const std::u16string& text : host.statusTexts) {
            int found = -1;
            for (int k = previous; k <= 100 && found < 0; ++k) {
                if (text == Rewriting(k)) found = k;
            }
            ASSERT_GE(found, previous) << Utf16ToUtf8(text);
            previous = found;
        }
        EXPECT_EQ(host.statusTexts.back(), Rewriting(100));
    }

    std::string path;
    bool opened = false;
};

class ByteShiftTest : public ::testing::Test {
  protected:
    TempDir dir;
};

// ---------------------------------------------------------------- engine

TEST_F(ByteShiftTest, InsertAndDeleteMatchTheModelAroundBlockEnds) {
    const uint64_t heads[] = {0, 5, 70000};  // the start, inside the first block, past it
    const uint64_t tails[] = {0, 1, kB - 1, kB, kB + 1, 3 * kB, 3 * kB + 7};
    const uint64_t counts[] = {1, kB};
    uint32_t seed = 1;
    for (const uint64_t head : heads) {
        for (const uint64_t tail : tails) {
            for (const uint64_t count : counts) {
                for (const bool deleting : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << (deleting ? "delete" : "insert") << " head " << head << " tail "
                                 << tail << " count " << count);
                    const std::string original = RandomBytes(head + tail, seed++);
                    Session s(dir, original);
                    ASSERT_TRUE(s.opened);
                    std::string model = original;
                    // At the end of the file (tail 0) nothing changes; a
                    // delete reaching past the end stops there.
                    if (deleting) {
                        if (head < model.size()) model.erase(head, count);
                        EXPECT_TRUE(DeleteBytes(s.doc, s.host, head, count));
                    } else {
                        if (head < model.size()) model.insert(head, count, '\0');
                        EXPECT_TRUE(InsertBytes(s.doc, s.host, head, count));
                    }
                    ASSERT_TRUE(s.Contents() == model) << "file differs from the model";
                    EXPECT_EQ(s.doc.GetFileLength(), model.size());
                    EXPECT_TRUE(s.host.messages.empty());
                    s.ExpectProgressRisingTo100();
                }
            }
        }
    }
}

TEST_F(ByteShiftTest, SmallExamples) {
    {
        Session s(dir, "ABCDE", "insert.bin");
        EXPECT_TRUE(InsertBytes(s.doc, s.host, 2, 3));
        EXPECT_EQ(s.Contents(), std::string("AB\0\0\0CDE", 8));
        EXPECT_EQ(s.doc.GetFileLength(), 8u);
        EXPECT_EQ(s.host.statusTexts.back(), Rewriting(100));
    }
    {
        Session s(dir, "ABCDE", "delete.bin");
        EXPECT_TRUE(DeleteBytes(s.doc, s.host, 1, 2));
        EXPECT_EQ(s.Contents(), "ADE");
        EXPECT_EQ(s.doc.GetFileLength(), 3u);
    }
    {
        Session s(dir, "ABCDE", "last.bin");
        EXPECT_TRUE(DeleteBytes(s.doc, s.host, 4, 1));
        EXPECT_EQ(s.Contents(), "ABCD");
    }
    {
        // Position + count past the end: up to the end of the file.
        Session s(dir, "ABCDE", "past.bin");
        EXPECT_TRUE(DeleteBytes(s.doc, s.host, 3, 0x100));
        EXPECT_EQ(s.Contents(), "ABC");
        EXPECT_EQ(s.doc.GetFileLength(), 3u);
    }
    {
        // Past the end nothing is inserted: there is no append.
        Session s(dir, "ABCDE", "append.bin");
        EXPECT_TRUE(InsertBytes(s.doc, s.host, 9, 4));
        EXPECT_EQ(s.Contents(), "ABCDE");
        EXPECT_EQ(s.host.statusTexts.back(), Rewriting(100));
    }
}

TEST_F(ByteShiftTest, CountOutsideOneTo65536IsRefusedByTheEngine) {
    Session s(dir, "ABCDE");
    EXPECT_FALSE(InsertBytes(s.doc, s.host, 0, 0));
    EXPECT_FALSE(DeleteBytes(s.doc, s.host, 0, kMaxShiftCount + 1));
    ASSERT_EQ(s.host.messages.size(), 2u);
    EXPECT_EQ(s.host.messages[0].text, LoadString(IDS_FILL_VALUE));
    EXPECT_EQ(s.Contents(), "ABCDE");
}

TEST_F(ByteShiftTest, FillMatchesTheModel) {
    const uint64_t length = 3 * kB + 100;
    struct Case {
        const char* name;
        uint64_t start;
        uint64_t end;  // included; UINT64_MAX: to the end
        bool ioError;  // nothing of the range lies in the file
    };
    const Case cases[] = {
        {"inside one block", 10, 20, false},
        {"across a block end", kB - 5, kB + 4, false},
        {"exactly one block", kB, 2 * kB - 1, false},
        {"sixteen F digits: to the end", 100, UINT64_MAX, false},
        {"the last byte", length - 1, length - 1, false},
        {"past the end, inside the last block", 3 * kB, 3 * kB + 0x8000, false},
        {"past the end, into the next block", 2 * kB + 50, 4 * kB + 60, false},
        {"starting past the end", length + 10, length + 20, true},
    };
    uint32_t seed = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string original = RandomBytes(length, seed++);
        Session s(dir, original);
        ASSERT_TRUE(s.opened);
        std::string model = original;
        const uint64_t stop = c.end == UINT64_MAX ? length : std::min(c.end + 1, length);
        for (uint64_t i = c.start; i < stop; ++i) model[i] = '\xA5';

        EXPECT_EQ(FillRange(s.doc, s.host, {c.start, c.end, 0xA5}), !c.ioError);
        ASSERT_TRUE(s.Contents() == model) << "file differs from the model";
        EXPECT_EQ(s.doc.GetFileLength(), length);
        if (c.ioError) {
            ASSERT_EQ(s.host.messages.size(), 1u);
            EXPECT_EQ(s.host.messages[0].text, s.DocMessage(IDS_IO_ERROR));
        } else {
            EXPECT_TRUE(s.host.messages.empty());
        }
        s.ExpectProgressRisingTo100();
    }
}

TEST_F(ByteShiftTest, FillOfATenByteFile) {
    const std::string ten = "0123456789";
    {
        Session s(dir, ten, "a.bin");
        EXPECT_TRUE(FillRange(s.doc, s.host, {0, 3, 7}));
        EXPECT_EQ(s.Contents(), std::string("\7\7\7\7") + "456789");
    }
    {
        Session s(dir, ten, "b.bin");
        EXPECT_TRUE(FillRange(s.doc, s.host, {0, 0x20, 0x41}));
        EXPECT_EQ(s.Contents(), "AAAAAAAAAA");
        EXPECT_TRUE(s.host.messages.empty());
    }
    {
        // However far past the end the range reaches, the outcome is the same.
        Session s(dir, ten, "c.bin");
        EXPECT_TRUE(FillRange(s.doc, s.host, {0, 0x20000, 0x41}));
        EXPECT_EQ(s.Contents(), "AAAAAAAAAA");
        EXPECT_TRUE(s.host.messages.empty());
        EXPECT_EQ(s.host.statusTexts.back(), Rewriting(100));
    }
    {
        // A range that starts past the end has nothing to fill.
        Session s(dir, ten, "d.bin");
        EXPECT_FALSE(FillRange(s.doc, s.host, {0x10, 0x20, 0x41}));
        EXPECT_EQ(s.Contents(), ten);
        ASSERT_EQ(s.host.messages.size(), 1u);
        EXPECT_EQ(s.host.messages[0].text, s.DocMessage(IDS_IO_ERROR));
    }
}

// ---------------------------------------------------------------- typed values

TEST(ByteShiftParse, PositionAndCount) {
    struct Case {
        const char16_t* position;
        const char16_t* count;
        uint32_t message;  // 0: accepted
        uint64_t p, c;
    };
    const Case cases[] = {
        {u"1f", u"10000", 0, 0x1F, 0x10000},    {u"", u"1", 0, 0, 1},
        {u"0", u"0", IDS_FILL_VALUE, 0, 0},     {u"0", u"", IDS_FILL_VALUE, 0, 0},
        {u"0", u"10001", IDS_FILL_VALUE, 0, 0}, {u"0", u"zz", IDS_RANGE_HEX, 0, 0},
        {u"1 ", u"1", IDS_RANGE_HEX, 0, 0},     {u"-1", u"1", IDS_RANGE_HEX, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.position) + " / " + Utf16ToUtf8(c.count));
        FakeHost host;
        uint64_t p = 99, n = 99;
        EXPECT_EQ(ParseShiftRequest(host, c.position, c.count, p, n), c.message == 0);
        if (c.message == 0) {
            EXPECT_TRUE(host.messages.empty());
            EXPECT_EQ(p, c.p);
            EXPECT_EQ(n, c.c);
        } else {
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(host.messages[0].text, LoadString(c.message));
        }
    }
}

TEST(ByteShiftParse, FillRangeAndValue) {
    struct Case {
        const char16_t* start;
        const char16_t* end;
        const char16_t* value;
        uint32_t message;
        uint8_t v;
    };
    const Case cases[] = {
        {u"0", u"3", u"7", 0, 0x07},
        {u"10", u"10", u"Ab", 0, 0xAB},
        {u"0", u"ffffffffffffffff", u"0", 0, 0x00},
        {u"4", u"3", u"7", IDS_RANGE_HEX, 0},
        {u"4", u"3", u"", IDS_RANGE_HEX, 0},  // the range is checked first
        {u"0", u"3", u"", IDS_FILL_VALUE, 0},
        {u"0", u"3", u"zz", IDS_FILL_VALUE, 0},
        {u"0x", u"3", u"1", IDS_RANGE_HEX, 0},
        {u"0", u"１", u"1", IDS_RANGE_HEX, 0},  // a full-width digit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.start) + ".." + Utf16ToUtf8(c.end) + " = " +
                     Utf16ToUtf8(c.value));
        FakeHost host;
        FillRequest r;
        EXPECT_EQ(ParseFillRequest(host, c.start, c.end, c.value, r), c.message == 0);
        if (c.message == 0) {
            EXPECT_EQ(r.value, c.v);
        } else {
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(host.messages[0].text, LoadString(c.message));
        }
    }
}

// ---------------------------------------------------------------- faults

// Whole blocks at a block boundary are moved by the file system where it
// can (ext4, XFS): the inserted blocks are a hole, no byte is copied, and the
// bytes are as a block-by-block shift would leave them; undo takes them out.
TEST_F(ByteShiftTest, WholeBlocksMoveWithoutCopying) {
    const std::string probe = dir.Write("probe.bin", std::string(0x10000, 'p'));
    {
        OpenError error;
        const FileHandle f = FileHandle::Open(probe, FileHandle::ReadWrite, &error);
        if (!f.ShiftBlocks(0x1000, 0x1000, false)) GTEST_SKIP() << "no block moves here";
    }
    const std::string original = RandomBytes(0x10000, 21);
    Session s(dir, original);
    ASSERT_TRUE(s.opened);
    ASSERT_TRUE(InsertBytes(s.doc, s.host, 0x2000, 0x3000));
    EXPECT_TRUE(s.Contents() ==
                original.substr(0, 0x2000) + std::string(0x3000, '\0') + original.substr(0x2000));
    EXPECT_EQ(::lseek(s.doc.file().fd(), 0x2000, SEEK_HOLE), 0x2000);  // nothing was written there
    ASSERT_TRUE(DeleteBytes(s.doc, s.host, 0x1000, 0x2000));
    EXPECT_TRUE(s.Contents() ==
                original.substr(0, 0x1000) + std::string(0x2000, '\0') + original.substr(0x2000));
    ASSERT_TRUE(UndoEdit(s.doc, s.host));
    ASSERT_TRUE(UndoEdit(s.doc, s.host));
    EXPECT_TRUE(s.Contents() == original);
    s.ExpectProgressRisingTo100();
}

// Insert takes the file's new length from the file system before it moves a
// byte: where the room is not there it refuses and the file is untouched.
TEST_F(ByteShiftTest, InsertWithoutRoomIsRefusedBeforeAnyByteMoves) {
    const std::string o = RandomBytes(3 * kB + 100, 5);
    struct Case {
        const char* name;
        int reserveErrno;
        uint64_t writeBudget;  // for the zeros written where nothing can be reserved
        bool inserted;
        uint32_t message;
    } cases[] = {
        {"no room to reserve", ENOSPC, FileFaults::kUnlimited, false, AFX_IDP_FILE_DISKFULL},
        {"over the quota", EDQUOT, FileFaults::kUnlimited, false, AFX_IDP_FILE_DISKFULL},
        {"cannot reserve, the zeros do not fit", EOPNOTSUPP, 10, false, AFX_IDP_FILE_DISKFULL},
        {"cannot reserve, the zeros fit", EOPNOTSUPP, FileFaults::kUnlimited, true, 0},
        {"an error of the disk", EIO, FileFaults::kUnlimited, false, IDS_IO_ERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session s(dir, o);
        ASSERT_TRUE(s.opened);
        {
            FileFaultScope scope;
            scope.faults.reserveErrno = c.reserveErrno;
            scope.faults.writeBudget = c.writeBudget;
            scope.faults.writeErrno = ENOSPC;
            EXPECT_EQ(InsertBytes(s.doc, s.host, 0x20, 0x1000), c.inserted);
        }
        if (c.inserted) {
            EXPECT_TRUE(s.Contents() ==
                        o.substr(0, 0x20) + std::string(0x1000, '\0') + o.substr(0x20));
            EXPECT_TRUE(s.host.messages.empty());
        } else {
            EXPECT_TRUE(s.Contents() == o) << "file differs";
            EXPECT_EQ(s.doc.GetFileLength(), o.size());
            ASSERT_EQ(s.host.messages.size(), 1u);
            EXPECT_EQ(s.host.messages[0].text, s.DocMessage(c.message));
        }
    }
}

// ---------------------------------------------------------------- commands

class EditCommandsTest : public ::testing::Test {
  protected:
    void Open(const std::string& bytes, bool readWrite = true) {
        session = std::make_unique<Session>(dir, bytes);
        ASSERT_TRUE(session->opened);
        if (!readWrite) session->doc.OnToggleReadOnly();
        view = &session->view;
        view->OnInitialUpdate();
        commands = &session->edit;
    }
    FakeHost& host() { return session->host; }
    void Select(uint64_t anchor, uint64_t caret) {
        view->UpdateSelection(SelectionStep::kAnchor, anchor);
        view->UpdateSelection(SelectionStep::kCaret, caret);
    }
    bool Enabled(uint32_t id) {
        CmdUI ui;
        EXPECT_TRUE(commands->OnUpdateCommand(id, ui)) << id;
        return ui.enabled;
    }

    TempDir dir;
    std::unique_ptr<Session> session;
    COctileView* view = nullptr;
    EditCommands* commands = nullptr;
};

TEST_F(EditCommandsTest, InsertAndDeleteAskFromTheSelectionAndRereadThePage) {
    Open("ABCDEFGH");
    Select(5, 2);
    CEditInsertDlg seen;
    host().AnswerDialog<CEditInsertDlg>([&](CEditInsertDlg& d) {
        seen = d;
        d.count = u"3";
        return IDOK;
    });
    EXPECT_TRUE(commands->OnCommand(ID_EDIT_INSERT));
    EXPECT_FALSE(seen.deleteMode);
    EXPECT_EQ(seen.position, u"00000002");
    EXPECT_EQ(seen.count, u"0");
    EXPECT_EQ(session->Contents(), std::string("AB\0\0\0CDEFGH", 11));
    EXPECT_EQ(view->ValidCount(), 11u);  // the page was read again
    EXPECT_EQ(host().statusTexts.back(), Rewriting(100));

    host().AnswerDialog<CEditInsertDlg>([&](CEditInsertDlg& d) {
        seen = d;
        d.position = u"1";
        d.count = u"4";
        return IDOK;
    });
    EXPECT_TRUE(commands->OnCommand(ID_EDIT_DELETE));
    EXPECT_TRUE(seen.deleteMode);
    EXPECT_EQ(session->Contents(), "ACDEFGH");
    EXPECT_EQ(session->doc.GetFileLength(), 7u);
    EXPECT_EQ(view->ValidCount(), 7u);
    EXPECT_TRUE(host().messages.empty());
}

TEST_F(EditCommandsTest, RefusedValuesChangeNothing) {
    Open("ABCDEFGH");
    const auto answer = [&](const char16_t* position, const char16_t* count) {
        host().AnswerDialog<CEditInsertDlg>([=](CEditInsertDlg& d) {
            d.position = position;
            d.count = count;
            return IDOK;
        });
    };
    answer(u"0", u"0");
    commands->OnCommand(ID_EDIT_INSERT);
    answer(u"0", u"10001");
    commands->OnCommand(ID_EDIT_DELETE);
    answer(u"g", u"1");
    commands->OnCommand(ID_EDIT_DELETE);
    host().AnswerDialog<CEditInsertDlg>([](CEditInsertDlg& d) {
        d.count = u"1";
        return IDCANCEL;
    });
    commands->OnCommand(ID_EDIT_INSERT);
    ASSERT_EQ(host().messages.size(), 3u);
    EXPECT_EQ(host().messages[0].text, LoadString(IDS_FILL_VALUE));
    EXPECT_EQ(host().messages[1].text, LoadString(IDS_FILL_VALUE));
    EXPECT_EQ(host().messages[2].text, LoadString(IDS_RANGE_HEX));
    EXPECT_EQ(session->Contents(), "ABCDEFGH");
    EXPECT_TRUE(host().statusTexts.empty());
}

TEST_F(EditCommandsTest, FillAsksFromTheSelectionAndKeepsALongValueOpen) {
    Open("0123456789");
    std::vector<CEditRangeDlg> seen;
    host().AnswerDialog<CEditRangeDlg>([&](CEditRangeDlg& d) {
        seen.push_back(d);
        d.value = u"123";  // too long: the dialog stays open
        return IDOK;
    });
    host().AnswerDialog<CEditRangeDlg>([&](CEditRangeDlg& d) {
        seen.push_back(d);
        d.value = u"2a";
        d.end = u"3";
        return IDOK;
    });
    EXPECT_TRUE(commands->OnCommand(ID_EDIT_FILL));
    ASSERT_EQ(seen.size(), 2u);
    // Caret at 0 with no wider selection: the end reads sixteen F digits.
    EXPECT_EQ(seen[0].start, u"00000000");
    EXPECT_EQ(seen[0].end, FormatAddress(view->dumpSettings(), UINT64_MAX));
    EXPECT_EQ(seen[0].end.size(), 16u);
    EXPECT_EQ(seen[0].value, u"");
    EXPECT_EQ(seen[1].value, u"123");  // what was typed stays in the dialog
    ASSERT_EQ(host().messages.size(), 1u);
    EXPECT_EQ(host().messages[0].text, ReplacePercent1(LoadString(kStringSizeMessageId), u"2"));
    EXPECT_EQ(session->Contents(), "****456789");
    EXPECT_EQ(view->ReadWindow()[0], '*');

    Select(2, 7);
    host().AnswerDialog<CEditRangeDlg>([&](CEditRangeDlg& d) {
        seen.push_back(d);
        d.value = u"2d";
        return IDOK;
    });
    commands->OnCommand(ID_EDIT_FILL);
    EXPECT_EQ(seen.back().start, u"00000002");
    EXPECT_EQ(seen.back().end, u"00000007");
    EXPECT_EQ(session->Contents(), "**------89");
}

TEST_F(EditCommandsTest, ReadOnlyDocumentRunsNoEdit) {
    Open("ABCDEFGH", false);
    ASSERT_EQ(session->doc.IsReadOnly(), 1);
    int asked = 0;
    host().AnswerDialog<CEditInsertDlg>([&](CEditInsertDlg&) {
        ++asked;
        return IDOK;
    });
    for (uint32_t id : {ID_EDIT_INSERT, ID_EDIT_DELETE, ID_EDIT_FILL}) {
        EXPECT_FALSE(Enabled(id)) << id;
        EXPECT_TRUE(commands->OnCommand(id));
    }
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(host().dialogScript.size(), 1u);
    EXPECT_TRUE(Enabled(ID_FILE_SAVE_AS));
    EXPECT_TRUE(Enabled(ID_FILE_HEXLIST));
}

// While an edit dispatches messages, the commands that change or replace the
// file are reported disabled and do not run; the rest are left to others.
TEST_F(EditCommandsTest, BusyWhileAnEditDispatchesMessages) {
    const std::string original = RandomBytes(3 * kB, 3);
    Open(original);
    const uint32_t locked[] = {ID_EDIT_INSERT,  ID_EDIT_DELETE,    ID_EDIT_FILL, ID_FILE_SAVE_AS,
                               ID_FILE_HEXLIST, ID_EDIT_PASTE,     ID_REPLACE,   ID_READ_ONLY,
                               ID_FILE_OPEN,    ID_FILE_MRU_FIRST, ID_APP_EXIT};
    int checks = 0;
    host().onPump = [&] {
        ++checks;
        EXPECT_TRUE(commands->Busy());
        for (uint32_t id : locked) {
            EXPECT_FALSE(Enabled(id)) << id;
            EXPECT_TRUE(commands->OnCommand(id)) << id;  // swallowed
        }
        CmdUI ui;
        EXPECT_FALSE(commands->OnUpdateCommand(ID_PAGE_NEXT, ui));
        EXPECT_FALSE(commands->OnCommand(ID_PAGE_NEXT));
    };
    int dialogs = 0;
    host().AnswerDialog<CEditInsertDlg>([&](CEditInsertDlg& d) {
        ++dialogs;
        d.count = u"10";
        return IDOK;
    });
    // Would be taken by a delete started from the pump; none may start.
    host().AnswerDialog<CEditInsertDlg>([&](CEditInsertDlg&) {
        ++dialogs;
        return IDOK;
    });
    SetShiftSegmentSizeForTesting(kB);  // three segments, a pump after each
    EXPECT_TRUE(commands->OnCommand(ID_EDIT_INSERT));
    SetShiftSegmentSizeForTesting(0);
    EXPECT_GE(checks, 2);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(commands->Busy());
    EXPECT_TRUE(Enabled(ID_EDIT_DELETE));
    EXPECT_TRUE(session->Contents() == std::string(16, '\0') + original);
}

}  // namespace
}  // namespace octile
