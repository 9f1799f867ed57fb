// The clipboard's text as paste reads it (a dump listing or plain
// hexadecimal), and copy's listing read back by paste.
//
// Input: byte 0 bit 0: the text is UTF-16LE (else UTF-8); bit 1: copy round
// trip instead of paste; bits 2-4: the character code of the listing. Bytes
// 1-2: the caret's (or selection's) offset, 3-4: the selection's length. The
// rest is the clipboard text, or the file's bytes for the round trip.
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "commands/clipboard.h"
#include "document/document.h"
#include "fake_host.h"
#include "fuzz_input.h"
#include "memory_profile_store.h"
#include "util/utf.h"
#include "view/view.h"

namespace octile::fuzz {
namespace {

constexpr int32_t kCodes[] = {CODE_SJIS, CODE_UNICODE, CODE_EUC,  CODE_JIS,
                              7,         -1,           CODE_SJIS, CODE_EUC};

// A document opened read-write on bytes, and its view.
struct Session {
    explicit Session(const std::vector<uint8_t>& bytes) : doc(host), view(host, doc, store) {
        const std::string& root = ScratchFolder();
        templatePath = root + "/rw.ini";
        static const bool templateWritten = [&] {
            const std::string t = "[Setting]\nNoReadOnly=1\n";
            return WriteFile(templatePath, t.data(), t.size());
        }();
        FUZZ_CHECK(templateWritten);
        doc.templatePath = [this] { return templatePath; };
        path = root + "/doc.bin";
        FUZZ_CHECK(WriteFile(path, bytes.data(), bytes.size()));
        FUZZ_CHECK(doc.OnOpenDocument(path));
        view.OnCreate();
        view.OnInitialUpdate();
    }
    // The caret on the high digit of the byte at offset (offsets on the page).
    void PutCaret(uint64_t offset) { test::PutCaretOnByte(view, offset); }

    test::FakeHost host;
    MemoryProfileStore store;
    COctileDoc doc;
    COctileView view;
    std::string templatePath;
    std::string path;
};

void PasteIntoFile(const std::u16string& text, uint16_t at) {
    const std::vector<uint8_t> parsed = ParsePasteText(text);
    std::vector<uint8_t> original(300);
    for (size_t i = 0; i < original.size(); ++i) original[i] = static_cast<uint8_t>(i * 13 + 5);
    Session s(original);
    const uint64_t pos = at % 256;  // on the first page
    s.PutCaret(pos);
    s.host.clipboard = text;
    PasteClipboard(s.host, s.host, s.doc, s.view);
    // Only the bytes from the caret on change, and never past the end.
    const std::string now = test::ReadAll(s.path);
    FUZZ_CHECK(now.size() == original.size());
    for (size_t i = 0; i < original.size(); ++i) {
        const bool pasted = i >= pos && i - pos < parsed.size();
        const uint8_t expected = pasted ? parsed[i - pos] : original[i];
        FUZZ_CHECK(static_cast<uint8_t>(now[i]) == expected);
    }
    FUZZ_CHECK(s.host.messages.empty());
}

void CopyRoundTrip(const std::vector<uint8_t>& bytes, int32_t code, uint16_t from, uint16_t count) {
    if (bytes.empty()) return;
    Session s(bytes);
    s.view.SetCharCode(code);
    if ((from & 1) != 0) s.view.OnCommand(ID_VIEW_UPPER);
    const uint64_t lo = from % bytes.size();
    const uint64_t hi = std::min<uint64_t>(lo + count, bytes.size() - 1);
    s.view.UpdateSelection(SelectionStep::kAnchor, hi);
    s.view.UpdateSelection(SelectionStep::kCaret, lo);
    CopySelection(s.host, s.host, s.doc, s.view);
    const std::vector<uint8_t> back = ParsePasteText(s.host.clipboard);
    FUZZ_CHECK(back == std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(lo),
                                            bytes.begin() + static_cast<std::ptrdiff_t>(hi) + 1));
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
    const uint8_t mode = in.Byte();
    const uint16_t at = in.U16();
    const uint16_t count = in.U16();
    const std::vector<uint8_t> rest = in.Rest();

    if ((mode & 2) != 0) {
        CopyRoundTrip(rest, kCodes[(mode >> 2) & 7], at, count);
        return 0;
    }
    const std::u16string text = (mode & 1) != 0
                                    ? Utf16Units(rest)
                                    : Utf8ToUtf16(std::string_view(
                                          reinterpret_cast<const char*>(rest.data()), rest.size()));
    const std::vector<uint8_t> parsed = ParsePasteText(text);
    // Plain text gives a byte per three characters at most; a listing at most
    // sixteen per line.
    size_t lines = 0;
    for (char16_t c : text) lines += c == u'\n';
    FUZZ_CHECK(parsed.size() <= (text.size() + 2) / 3 || parsed.size() <= 16 * lines);
    PasteIntoFile(text, at);
    return 0;
}
