// BuildSearchPattern from typed text in every mode and character code, and
// the text proposed from selected bytes (with exactly the look-ahead the read
// window gives), which must build back into the same bytes in hexadecimal.
//
// Input: byte 0 bit 0: the text is UTF-16LE (else UTF-8); byte 1 picks the
// read size. The rest is the typed text, and its bytes are the selection.
#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "fuzz_input.h"
#include "search/search_pattern.h"
#include "util/utf.h"

namespace octile::fuzz {
namespace {

constexpr int32_t kCodes[] = {CODE_SJIS, CODE_UNICODE, CODE_JIS, CODE_EUC, 4, -1, INT32_MAX};
constexpr uint64_t kReadSizes[] = {0, 1, 2, 3, 4, 16, 17, 255, 256, 4096, 0x1000000};

void CheckPattern(const SearchPattern& p, std::u16string_view text, int32_t hex, int32_t code,
                  uint64_t readSize) {
    if (p.status != SearchPattern::Ok) {
        FUZZ_CHECK(p.bytes.empty());
        FUZZ_CHECK(p.status == SearchPattern::Empty || !text.empty());
        return;
    }
    FUZZ_CHECK(!p.bytes.empty());
    FUZZ_CHECK(p.bytes.size() <= readSize);
    if (hex != 0 && text.size() % 2 == 0)
        FUZZ_CHECK(p.bytes.size() == text.size() / 2);
    else if (code == CODE_UNICODE)
        FUZZ_CHECK(p.bytes.size() == 2 * text.size());
}

}  // namespace
}  // namespace octile::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace octile;
    using namespace octile::fuzz;
    FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    const uint64_t readSize = kReadSizes[in.Byte() % std::size(kReadSizes)];
    const std::vector<uint8_t> rest = in.Rest();
    const std::u16string text = (mode & 1) != 0
                                    ? Utf16Units(rest)
                                    : Utf8ToUtf16(std::string_view(
                                          reinterpret_cast<const char*>(rest.data()), rest.size()));

    for (int32_t hex : {0, 1}) {
        for (int32_t code : kCodes) {
            CheckPattern(BuildSearchPattern(text, hex, code, readSize), text, hex, code, readSize);
        }
    }

    // The selection: the bytes followed by exactly 16 look-ahead bytes.
    std::vector<uint8_t> window = rest;
    window.resize(rest.size() + 16, 0);
    const ExactBlock selection(window);
    // (The proposal decodes into a buffer of the read size: the largest read
    // sizes only make each run slower.)
    const uint64_t proposalReadSize = std::min<uint64_t>(readSize, 0x10000);
    for (int32_t hex : {0, 1}) {
        for (int32_t code : kCodes) {
            const std::u16string proposal =
                SearchProposal(selection.data(), rest.size(), hex, code, proposalReadSize);
            if (hex != 0) {
                FUZZ_CHECK(proposal.size() == 2 * rest.size());
                const SearchPattern back = BuildSearchPattern(proposal, 1, code, 0x1000000);
                FUZZ_CHECK(back.bytes == rest ||
                           (rest.empty() && back.status == SearchPattern::Empty));
            } else {
                CheckPattern(BuildSearchPattern(proposal, 0, code, readSize), proposal, 0, code,
                             readSize);
            }
        }
    }
    return 0;
}
