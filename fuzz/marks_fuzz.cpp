// The marks file as LoadMarks reads it: a view opens a document whose marks
// section holds the fuzzed text ("$DOC" in the input stands for the section
// name of the open file), then steps, visits, draws and toggles the marks,
// saves them and loads them again.
//
// Input: byte 0 picks the document's length, byte 1 a mark kind to toggle,
// the rest is the marks file.
#include <unistd.h>

#include <string>

#include "document/document.h"
#include "fake_host.h"
#include "fuzz_input.h"
#include "memory_profile_store.h"
#include "settings/ini_file.h"
#include "view/view.h"

namespace octile::fuzz {
namespace {

constexpr uint64_t kLengths[] = {0, 1, 16, 17, 300, 4096, 0x100000001ull};

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

void CheckMarks(const COctileView& view) {
    FUZZ_CHECK(view.Marks().size() <= static_cast<size_t>(COctileView::kMaxLoadedMarks));
    for (const COctileView::Mark& m : view.Marks()) {
        FUZZ_CHECK(m.start <= m.end);
        FUZZ_CHECK(m.kind >= 1 && m.kind <= 5);
    }
}

}  // namespace
}  // namespace octile::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    octile::fuzz::UseScratchFolders();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace octile;
    using namespace octile::fuzz;
    FuzzInput in(data, size);
    const uint64_t length = kLengths[in.Byte() % std::size(kLengths)];
    const int32_t kind = in.Byte() % 7;  // 0 and 6 are no kinds
    const std::vector<uint8_t> rest = in.Rest();

    const std::string docPath = ScratchFolder() + "/doc.bin";
    {
        std::vector<uint8_t> head(std::min<uint64_t>(length, 64));
        for (size_t i = 0; i < head.size(); ++i) head[i] = static_cast<uint8_t>(i * 7);
        FUZZ_CHECK(WriteFile(docPath, head.data(), head.size()));
        FUZZ_CHECK(::truncate(docPath.c_str(), static_cast<off_t>(length)) == 0);
    }

    test::FakeHost host;
    MemoryProfileStore store;
    COctileDoc doc(host);
    FUZZ_CHECK(doc.OnOpenDocument(docPath));
    const std::string section = COctileView::MarkSectionName(doc.GetPathName());
    const std::string text = ReplaceAll(std::string(rest.begin(), rest.end()), "$DOC", section);

    COctileView view(host, doc, store);
    view.OnCreate();
    view.OnSize(17 * 16, false);
    const std::string marksFile = ScratchFolder() + "/data/Octile/octile_mark.ini";
    ::unlink(marksFile.c_str());
    view.OnInitialUpdate();  // makes the folder
    FUZZ_CHECK(view.MarksFilePath() == marksFile);
    FUZZ_CHECK(WriteFile(marksFile, text.data(), text.size()));
    view.LoadMarks(doc.GetPathName());
    CheckMarks(view);

    (void)view.MarkBackgrounds();
    const size_t visits = std::min<size_t>(view.Marks().size(), 8);
    for (size_t i = 0; i < visits; ++i) {
        view.GoToMark(i);
        view.BeginPaint();
        (void)view.MarkBackgrounds();
    }
    for (int i = 0; i < 3; ++i) view.NextMark();
    for (int i = 0; i < 3; ++i) view.PreviousMark();
    if (kind >= 1 && kind <= 5) view.ToggleMark(kind);
    (void)view.MarkBackgrounds();
    CheckMarks(view);

    // Saved and loaded again, the marks are the same; the file's other
    // sections keep their values.
    const std::vector<COctileView::Mark> marks = view.Marks();
    const std::string before = test::ReadAll(marksFile);
    view.SaveMarks(doc.GetPathName());
    view.LoadMarks(doc.GetPathName());
    FUZZ_CHECK(view.Marks() == marks);
    const IniFile old = IniFile::FromText(before, true);
    const IniFile now = IniFile::Load(marksFile, true);
    for (const char* other : {"/tmp/other", "other", "$DOC"}) {
        for (const char* key : {"Max", "0", "1"}) {
            FUZZ_CHECK(old.Find(other, key) == now.Find(other, key));
        }
    }
    view.OnDestroy();
    return 0;
}
