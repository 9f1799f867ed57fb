// FormatDump over any bytes, settings, start offsets and counts, with exactly
// the 16 look-ahead bytes the callers promise; DumpFormatter fed block by
// block (each block in its own exact buffer) must give the same text, and its
// UTF-8 form the same text converted.
//
// Input: byte 0: bits 0-2 the character code, bit 3 upper case, bits 4-7 the
// extra address digits (9-15 count as negative); bytes 1-8: the start
// offset; byte 9: the block size in lines. The rest: the bytes, of which the
// last 16 are the look-ahead.
#include <climits>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "dump/dump_format.h"
#include "fuzz_input.h"
#include "util/utf.h"

namespace octile::fuzz {
namespace {

constexpr int32_t kCodes[] = {CODE_SJIS, CODE_UNICODE, CODE_JIS,  CODE_EUC,
                              4,         -1,           INT32_MIN, CODE_SJIS};

}  // namespace
}  // namespace octile::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace octile;
    using namespace octile::fuzz;
    FuzzInput in(data, size);
    const uint8_t flags = in.Byte();
    DumpSettings s;
    s.charCode = kCodes[flags & 7];
    s.upper = (flags & 8) != 0;
    const int32_t extra = flags >> 4;
    s.extraDigits = extra <= 8 ? extra : 8 - extra;
    const uint64_t start = in.U64();
    const uint64_t blockLines = 1 + in.Byte() % 8;
    std::vector<uint8_t> bytes = in.Rest();
    if (bytes.size() < 16) bytes.resize(16, 0);
    const uint64_t count = bytes.size() - 16;
    const ExactBlock buf(bytes);

    CellRect rect;
    const std::u16string text = FormatDump(s, start, buf.data(), count, &rect);

    // Ruler, one line per 16 bytes, closing rule; each line starts with its
    // address.
    const uint64_t lines = (count + 15) / 16;
    size_t ends = 0;
    size_t lineStart = 0;
    for (size_t at = text.find(u"\r\n"); at != std::u16string::npos;
         at = text.find(u"\r\n", at + 2)) {
        if (ends >= 1 && ends <= lines) {
            const std::u16string address = FormatAddress(s, start + 16 * (ends - 1));
            FUZZ_CHECK(text.compare(lineStart, address.size(), address) == 0);
            FUZZ_CHECK(text[lineStart + address.size()] == u'|');
        }
        ++ends;
        lineStart = at + 2;
    }
    FUZZ_CHECK(ends == lines + 2);
    FUZZ_CHECK(lineStart == text.size());
    FUZZ_CHECK(rect.top == 1 && rect.bottom == static_cast<int32_t>(lines + 1));
    FUZZ_CHECK(rect.left == AddressWidth(s) + 1);

    // Block by block, each block with its look-ahead in a buffer of its own.
    DumpFormatter wide(s, start);
    DumpFormatter narrow(s, start);
    std::u16string fed;
    std::string utf8;
    wide.Begin(fed);
    narrow.Begin(utf8);
    const uint64_t block = 16 * blockLines;
    for (uint64_t at = 0; at < count; at += block) {
        const uint64_t n = std::min(block, count - at);
        const ExactBlock piece(bytes.data() + at, n + 16);
        wide.Feed(piece.data(), n, fed);
        narrow.Feed(piece.data(), n, utf8);
    }
    wide.End(fed);
    narrow.End(utf8);
    FUZZ_CHECK(fed == text);
    FUZZ_CHECK(utf8 == Utf16ToUtf8(text));
    FUZZ_CHECK(wide.LineCount() == lines);

    // Addresses read back.
    uint64_t value = 0;
    FUZZ_CHECK(ParseHexStrict(FormatAddress(s, start), value) && value == start);
    FUZZ_CHECK(ParseHex(FormatAddress(s, start)) == start);
    (void)ExtraDigitsForLength(start);
    return 0;
}
