// The busy mark and the wait cursor of the long operations, and the progress
// they report: marks nest and end with their scopes, every wait cursor shown
// is removed once, before any failure message, and a stopped operation's
// window shows nothing more.
#include "document/busy_scope.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#include "document/byte_shift.h"
#include "document/progress.h"
#include "document/range_export.h"
#include "fake_host.h"
#include "file_fault_scope.h"
#include "resources/resources.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::FakeHost;
using test::FileFaultScope;
using test::TempDir;

TEST(BusyScope, KindsNestAndEndWithTheirScopes) {
    BusyState state;
    EXPECT_FALSE(state.Busy());
    {
        BusyScope edit(state, BusyState::kFileOperation);
        EXPECT_TRUE(state.Busy());
        EXPECT_TRUE(state.Running(BusyState::kFileOperation));
        EXPECT_FALSE(state.Running(BusyState::kSearch));
        {
            // A search started while the edit lets messages through.
            BusyScope search(state, BusyState::kSearch);
            BusyScope again(state, BusyState::kFileOperation);
            EXPECT_TRUE(state.Running(BusyState::kSearch));
        }
        EXPECT_FALSE(state.Running(BusyState::kSearch));
        EXPECT_TRUE(state.Running(BusyState::kFileOperation));  // the outer edit still runs
    }
    EXPECT_FALSE(state.Busy());
}

TEST(BusyScope, WaitCursorShownOnceAndEndedOnce) {
    FakeHost host;
    BusyState state;
    {
        BusyScope markOnly(state, BusyState::kFileOperation);
        EXPECT_EQ(host.waitCursorDepth, 0);
    }
    {
        BusyScope busy(state, BusyState::kSearch, host);
        EXPECT_EQ(host.waitCursorDepth, 1);
        busy.EndWaitCursor();
        EXPECT_EQ(host.waitCursorDepth, 0);
        busy.EndWaitCursor();
        EXPECT_EQ(host.waitCursorDepth, 0);
        EXPECT_TRUE(state.Running(BusyState::kSearch));  // the mark outlives the cursor
    }
    EXPECT_EQ(host.waitCursorDepth, 0);
    EXPECT_FALSE(state.Busy());
}

std::u16string Rewriting(int percent) { return FormatPercentD(LoadString(IDS_REWRITING), percent); }

TEST(Progress, ReportsDispatchesAndReadsTheStopRequest) {
    FakeHost host;
    StopRequest stop;
    Progress progress(host, IDS_REWRITING, &stop);
    progress.Report(37);
    EXPECT_EQ(host.statusTexts, std::vector<std::u16string>{Rewriting(37)});
    EXPECT_EQ(host.pumps, 1);
    EXPECT_FALSE(progress.Cancelled());
    progress.Finish();  // no dispatching once the operation has ended
    EXPECT_EQ(host.statusTexts.back(), Rewriting(100));
    EXPECT_EQ(host.pumps, 1);

    stop.stop = true;
    EXPECT_TRUE(progress.Cancelled());
    EXPECT_FALSE(progress.WindowGone());
    progress.Report(50);  // a stopped operation still tells how far it came
    EXPECT_EQ(host.statusTexts.size(), 3u);

    stop.windowGone = true;
    progress.Report(60);
    progress.Finish();
    EXPECT_TRUE(progress.WindowGone());
    EXPECT_EQ(host.statusTexts.size(), 3u);  // the window shows nothing more
    EXPECT_EQ(host.pumps, 2);

    Progress unstoppable(host, IDS_REWRITING);
    EXPECT_FALSE(unstoppable.Cancelled());
}

// Every long operation on the file marks the document busy and shows the
// wait cursor while it dispatches messages, and leaves neither behind; a
// failure message is shown without the wait cursor.
TEST(LongOperations, BusyWhileRunningAndNoWaitCursorOverTheirMessages) {
    struct Case {
        const char* name;
        std::function<bool(COctileDoc&, FakeHost&, const TempDir&)> run;
        FileFaults faults;
        bool ok;
    };
    const FileFaults none;
    FileFaults readFails;
    readFails.readBudget = 0x10000 + 16;
    readFails.readErrno = EIO;
    FileFaults writeFails;
    writeFails.writeBudget = 0x10000;
    writeFails.writeErrno = ENOSPC;
    const auto exportTo = [](ExportKind kind, std::string name) {
        return [=](COctileDoc& d, FakeHost& h, const TempDir& dir) {
            return ExportRange(d, h, {kind, dir.File(name), u"0", u"FFFFFFFFFFFFFFFF", {}});
        };
    };
    const Case cases[] = {
        {"insert",
         [](COctileDoc& d, FakeHost& h, const TempDir&) { return InsertBytes(d, h, 0, 16); }, none,
         true},
        {"insert, read error",
         [](COctileDoc& d, FakeHost& h, const TempDir&) { return InsertBytes(d, h, 0, 16); },
         readFails, false},
        {"delete, read error",
         [](COctileDoc& d, FakeHost& h, const TempDir&) { return DeleteBytes(d, h, 0, 16); },
         readFails, false},
        {"fill, disk full",
         [](COctileDoc& d, FakeHost& h, const TempDir&) {
             return FillRange(d, h, {0, kToEndOfFile, 0xEE});
         },
         writeFails, false},
        {"partial save", exportTo(ExportKind::PartialSave, "out.bin"), none, true},
        {"hex listing", exportTo(ExportKind::HexList, "out.txt"), none, true},
        {"partial save, disk full", exportTo(ExportKind::PartialSave, "out.bin"), writeFails,
         false},
        // Refused before the wait cursor is shown.
        {"hex listing, name only an extension", exportTo(ExportKind::HexList, ".txt"), none, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string ini = dir.Write("octile.ini", "[Setting]\nNoReadOnly=1\n");
        FakeHost host;
        COctileDoc doc(host);
        doc.templatePath = [&] { return ini; };
        ASSERT_TRUE(doc.OnOpenDocument(dir.Write("doc.bin", std::string(3 * 0x10000, 'a'))));
        ASSERT_EQ(doc.IsReadOnly(), 0);
        int pumps = 0;
        host.onPump = [&] {
            ++pumps;
            EXPECT_TRUE(doc.busy().Running(BusyState::kFileOperation));
            EXPECT_EQ(host.waitCursorDepth, 1);
        };
        bool ok;
        {
            FileFaultScope scope;
            scope.faults = c.faults;
            ok = c.run(doc, host, dir);
        }
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(host.messages.size(), c.ok ? 0u : 1u);
        for (const FakeHost::Message& m : host.messages) EXPECT_EQ(m.waitCursorDepth, 0);
        if (c.ok) {
            EXPECT_GT(pumps, 0);
        }
        EXPECT_EQ(host.waitCursorDepth, 0);
        EXPECT_FALSE(doc.busy().Busy());
    }
}

}  // namespace
}  // namespace octile
