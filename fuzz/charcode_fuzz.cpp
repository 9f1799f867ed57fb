// The character code conversions on any bytes, each given exactly the source
// bytes and destination room its contract names (so a read of the byte after
// the allowed look-ahead, or a write past the worst case, is caught), and
// smaller destinations that must be refused cleanly.
//
// Input: byte 0: a destination size for the cramped calls; the rest: the
// bytes (and, as UTF-16LE, the units) converted.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "fuzz_input.h"

namespace octile::fuzz {
namespace {

// count bytes plus the one byte a lead byte at the end may take.
ExactBlock Source(const std::vector<uint8_t>& bytes) { return ExactBlock(bytes); }

void CheckShiftJisToWide(const std::vector<uint8_t>& bytes, int cramped) {
    const int count = static_cast<int>(bytes.size()) - 1;  // bytes[count] is the look-ahead
    const ExactBlock src = Source(bytes);
    const int units = std::max(count, 1);
    auto dst = std::make_unique<char16_t[]>(static_cast<size_t>(units));
    int overhang = -1;
    const int n = ShiftJisToWide(src.data(), count, dst.get(), 2 * units, &overhang);
    FUZZ_CHECK(n >= 1 && n <= units);
    FUZZ_CHECK(overhang == 0 || overhang == 1);
    if (overhang == 1) FUZZ_CHECK(count >= 1);

    // Too little room: the single "." (or nothing below 2 bytes).
    auto small = std::make_unique<char16_t[]>(static_cast<size_t>(cramped / 2));
    const int m = ShiftJisToWide(src.data(), count, small.get(), cramped, nullptr);
    if (cramped < 2)
        FUZZ_CHECK(m == 0);
    else if (n > cramped / 2)
        FUZZ_CHECK(m == 1 && small[0] == u'.');
    else
        FUZZ_CHECK(m == n && std::equal(small.get(), small.get() + m, dst.get()));
}

void CheckWideToShiftJis(const std::u16string& units, int cramped) {
    const int count = static_cast<int>(units.size());
    auto src = std::make_unique<char16_t[]>(units.size());
    std::copy(units.begin(), units.end(), src.get());
    const int room = std::max(2 * count, 1);
    auto dst = std::make_unique<uint8_t[]>(static_cast<size_t>(room));
    const int n = WideToShiftJis(src.get(), count, dst.get(), room);
    if (count == 0) {
        FUZZ_CHECK(n == -1);
        return;
    }
    FUZZ_CHECK(n >= count / 2 && n <= 2 * count);

    // Decoding what was encoded and encoding it again gives the same bytes.
    std::vector<uint8_t> encoded(dst.get(), dst.get() + n);
    encoded.push_back(0);
    const ExactBlock again(encoded);
    auto decoded = std::make_unique<char16_t[]>(static_cast<size_t>(n));
    const int d = ShiftJisToWide(again.data(), n, decoded.get(), 2 * n, nullptr);
    auto reencoded = std::make_unique<uint8_t[]>(static_cast<size_t>(2 * d));
    const int r = WideToShiftJis(decoded.get(), d, reencoded.get(), 2 * d);
    FUZZ_CHECK(r == n && std::equal(dst.get(), dst.get() + n, reencoded.get()));

    auto small = std::make_unique<uint8_t[]>(static_cast<size_t>(std::max(cramped, 0)));
    const int m = WideToShiftJis(src.get(), count, small.get(), cramped);
    if (n > cramped) {
        FUZZ_CHECK(m == -1);
        FUZZ_CHECK(
            std::all_of(small.get(), small.get() + cramped, [](uint8_t b) { return b == 0; }));
    } else {
        FUZZ_CHECK(m == n && std::equal(small.get(), small.get() + n, dst.get()));
    }
}

void CheckEuc(const std::vector<uint8_t>& bytes) {
    const int count = static_cast<int>(bytes.size()) - 1;
    const ExactBlock src = Source(bytes);
    // EUC to Shift-JIS: count + 2 bytes at most, the zero included.
    auto sjis = std::make_unique<uint8_t[]>(static_cast<size_t>(count + 2));
    const int n = EucToShiftJis(src.data(), count, sjis.get());
    FUZZ_CHECK(n >= 0 && n <= count + 1 && sjis[n] == 0);
    // Shift-JIS to EUC: 2 * count + 1 at most.
    auto euc = std::make_unique<uint8_t[]>(static_cast<size_t>(2 * count + 1));
    const int e = ShiftJisToEuc(src.data(), count, euc.get());
    FUZZ_CHECK(e >= 0 && e <= 2 * count && euc[e] == 0);
}

void CheckJisCodes(const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i + 1 < bytes.size() && i < 64; i += 2) {
        const uint32_t code = bytes[i] << 8 | bytes[i + 1];
        if (const uint16_t sjis = JisToShiftJisCode(code); sjis != 0) {
            FUZZ_CHECK(ShiftJisToJisCode(sjis) == code);
        }
        if (const uint16_t jis = ShiftJisToJisCode(code); jis != 0) {
            FUZZ_CHECK(JisToShiftJisCode(jis) == code);
        }
    }
}

}  // namespace
}  // namespace octile::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace octile::fuzz;
    FuzzInput in(data, size);
    const int cramped = in.Byte();
    std::vector<uint8_t> bytes = in.Rest();
    if (bytes.empty()) bytes.push_back(0);
    CheckShiftJisToWide(bytes, cramped);
    CheckEuc(bytes);
    CheckJisCodes(bytes);
    CheckWideToShiftJis(Utf16Units(bytes), cramped);
    return 0;
}
