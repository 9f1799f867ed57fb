// The marks file as MarkList reads it: the fuzzed text is the marks file
// ("$DOC" in it stands for the section name of the open file). The file's
// marks are loaded, visited, stepped through, drawn and toggled, saved and
// loaded again. Everything runs in memory: no file is written.
//
// Input: byte 0 picks the document's length, byte 1 a mark kind to toggle,
// the rest is the marks file.
#include <string>

#include "dump/dump_layout.h"
#include "fuzz_input.h"
#include "settings/ini_file.h"
#include "view/display_settings.h"
#include "view/mark_list.h"

namespace octile::fuzz {
namespace {

constexpr uint64_t kLengths[] = {0, 1, 16, 17, 300, 4096, 0x100000001ull};
constexpr int32_t kRows = 16;
const std::string kDocPath = "/fuzz/doc.bin";

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

void CheckMarks(const MarkList& list) {
    FUZZ_CHECK(list.Size() <= static_cast<size_t>(MarkList::kMaxLoaded));
    for (const Mark& m : list.Marks()) {
        FUZZ_CHECK(m.start <= m.end);
        FUZZ_CHECK(m.kind >= 1 && m.kind <= 5);
    }
}

// The backgrounds of the page that shows offset: every rectangle lies on a
// row of that page, right of its address.
void Draw(const MarkList& list, uint64_t offset, uint64_t length) {
    const DumpLayout layout(8);
    const CellMetrics metrics;
    const DisplaySettings display;
    const uint64_t line = DumpLayout::kBytesPerLine;
    const uint64_t window = offset / line * line;
    const uint64_t left = length > window ? length - window : 0;
    const PageSpan page{window, std::min<uint64_t>(left, kRows * line)};
    for (const MarkRect& r : list.Backgrounds(layout, page, metrics, display)) {
        FUZZ_CHECK(r.rect.top >= DumpLayout::kFirstLineRow * metrics.lineHeight);
        FUZZ_CHECK(r.rect.bottom <= (kRows + 1) * metrics.lineHeight);
        FUZZ_CHECK(r.rect.left >= layout.HexColumn(0) * metrics.charWidth);
        FUZZ_CHECK(r.rect.left < r.rect.right);
    }
}

}  // namespace
}  // namespace octile::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace octile;
    using namespace octile::fuzz;
    FuzzInput in(data, size);
    const uint64_t length = kLengths[in.Byte() % std::size(kLengths)];
    const int32_t kind = in.Byte() % 7;  // 0 and 6 are no kinds
    const std::vector<uint8_t> rest = in.Rest();
    const std::string section = MarkList::SectionName(kDocPath);
    const std::string text = ReplaceAll(std::string(rest.begin(), rest.end()), "$DOC", section);

    MarkList list;
    list.LoadText(text, kDocPath);
    CheckMarks(list);

    // Visited one by one, stepped forwards and back, drawn on each page.
    uint64_t anchor = 0;
    Draw(list, anchor, length);
    for (size_t i = 0; i < std::min<size_t>(list.Size(), 8); ++i) {
        list.SetCurrent(i);
        anchor = list[i].start;
        Draw(list, anchor, length);
    }
    for (const bool forward : {true, true, true, false, false, false}) {
        const size_t next = list.Step(forward, anchor, length);
        FUZZ_CHECK(next <= list.Size());
        if (next < list.Size()) anchor = list[next].start;
    }
    if (kind >= 1 && kind <= 5) {
        const uint64_t end = anchor + std::min<uint64_t>(15, UINT64_MAX - anchor);
        list.Toggle(kind, anchor, anchor, end);
    }
    Draw(list, anchor, length);
    CheckMarks(list);

    // Saved and loaded again, the marks are the same; the file's other
    // sections keep their values.
    const std::optional<std::string> saved = list.SaveText(text, kDocPath);
    const std::string now = saved.value_or(text);
    MarkList again;
    again.LoadText(now, kDocPath);
    FUZZ_CHECK(again.Marks() == list.Marks());
    // Without marks the file's section goes, and nothing else.
    if (saved && list.Empty()) {
        IniFile without = IniFile::FromText(text, true);
        without.RemoveSection(section);
        FUZZ_CHECK(*saved == without.Text());
    }
    const IniFile before = IniFile::FromText(text, true);
    const IniFile after = IniFile::FromText(now, true);
    for (const char* other : {"/tmp/other", "other", "$DOC"}) {
        for (const char* key : {"Max", "0", "1"}) {
            FUZZ_CHECK(before.Find(other, key) == after.Find(other, key));
        }
    }
    return 0;
}
