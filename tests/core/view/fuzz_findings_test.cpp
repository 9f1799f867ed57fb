// What the fuzz targets of fuzz/ turned up, kept as tests of the behaviour
// chosen for it (the inputs themselves are in fuzz/corpus/).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "document/document.h"
#include "fake_host.h"
#include "settings/profile_store.h"
#include "temp_dir.h"
#include "view/view.h"

namespace octile {
namespace {

using Mark = COctileView::Mark;

// A hand-edited marks file may hold offsets of twenty digits, up to the top
// of the 64-bit range: each reads back equal after the next save.
TEST(FuzzFindings, TwentyDigitMarkOffsetsSurviveASave) {
    test::TempDir dir;
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string savedDataHome = old ? old : "";
    ::setenv("XDG_DATA_HOME", (dir.path() + "/data").c_str(), 1);
    {
        test::FakeHost host;
        MemoryProfileStore store;
        COctileDoc doc(host);
        COctileView view(host, doc, store);
        view.OnCreate();
        ASSERT_TRUE(doc.OnOpenDocument(dir.Write("f.bin", std::string(64, 'x'))));
        view.OnInitialUpdate();
        std::ofstream(view.MarksFilePath(), std::ios::binary)
            << "[" << COctileView::MarkSectionName(doc.GetPathName()) << "]\nMax=4\n"
            << "0=9999999999999999999 9999999999999999999 1\n"
            << "1=9999999999999999999 10000000000000000000 2\n"
            << "2=18446744073709551615 18446744073709551615 3\n"
            << "3=00000000000000000005 00000000000000000006 4\n";
        view.LoadMarks(doc.GetPathName());
        const std::vector<Mark> loaded{{9999999999999999999ull, 9999999999999999999ull, 1},
                                       {9999999999999999999ull, 10000000000000000000ull, 2},
                                       {UINT64_MAX, UINT64_MAX, 3},
                                       {5, 6, 4}};
        EXPECT_EQ(view.Marks(), loaded);
        view.SaveMarks(doc.GetPathName());
        view.LoadMarks(doc.GetPathName());
        EXPECT_EQ(view.Marks(), loaded);
    }
    ::setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
}

}  // namespace
}  // namespace octile
