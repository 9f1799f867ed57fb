// FormatDump throughput, in bytes of input per second, per character code.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "dump/dump_format.h"

namespace {

// Half random bytes, half text: ASCII, Shift-JIS kana and kanji, EUC pairs.
std::vector<uint8_t> MixedBytes(size_t size) {
    std::mt19937 rng(2024);
    std::vector<uint8_t> data;
    data.reserve(size + 16);
    const char* ascii = "The quick brown fox jumps over the lazy dog. 0123456789\r\n";
    while (data.size() < size) {
        switch (rng() % 4) {
            case 0:
            case 1:
                for (int i = 0; i < 64; ++i) data.push_back(static_cast<uint8_t>(rng()));
                break;
            case 2:
                for (const char* c = ascii; *c != 0; ++c) data.push_back(static_cast<uint8_t>(*c));
                break;
            default:
                for (int i = 0; i < 24; ++i) {
                    const uint32_t jis = (0x30 + rng() % 0x40) * 256 + 0x21 + rng() % 94;
                    const uint16_t sjis = octile::JisToShiftJisCode(jis);
                    if (rng() % 2 == 0) {
                        data.push_back(static_cast<uint8_t>(sjis >> 8));
                        data.push_back(static_cast<uint8_t>(sjis));
                    } else {
                        data.push_back(static_cast<uint8_t>((jis >> 8) | 0x80));
                        data.push_back(static_cast<uint8_t>(jis | 0x80));
                    }
                }
                break;
        }
    }
    data.resize(size + 16);  // and the look-ahead
    return data;
}

void BM_FormatDump(benchmark::State& state, int32_t code) {
    constexpr size_t kSize = 64 * 1024;  // the command line tool's block
    static const std::vector<uint8_t> data = MixedBytes(kSize);
    octile::DumpSettings settings;
    settings.charCode = code;
    for (auto _ : state) {
        std::u16string text = octile::FormatDump(settings, 0, data.data(), kSize, nullptr);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

BENCHMARK_CAPTURE(BM_FormatDump, sjis, octile::CODE_SJIS);
BENCHMARK_CAPTURE(BM_FormatDump, euc, octile::CODE_EUC);
BENCHMARK_CAPTURE(BM_FormatDump, unicode, octile::CODE_UNICODE);
BENCHMARK_CAPTURE(BM_FormatDump, jis, octile::CODE_JIS);  // no character column

// The UTF-8 text of the same range through DumpFormatter, as the command line
// tool makes it: written in place into a buffer of the formatter's room.
void BM_DumpFormatterUtf8(benchmark::State& state, int32_t code) {
    constexpr size_t kSize = 64 * 1024;
    static const std::vector<uint8_t> data = MixedBytes(kSize);
    octile::DumpSettings settings;
    settings.charCode = code;
    settings.lfOnly = true;
    std::vector<char> text(octile::DumpFormatter(settings, 0).Room(kSize));
    for (auto _ : state) {
        octile::DumpFormatter formatter(settings, 0);
        char* end = formatter.Feed(data.data(), kSize, text.data());
        benchmark::DoNotOptimize(end);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

BENCHMARK_CAPTURE(BM_DumpFormatterUtf8, sjis, octile::CODE_SJIS);
BENCHMARK_CAPTURE(BM_DumpFormatterUtf8, euc, octile::CODE_EUC);
BENCHMARK_CAPTURE(BM_DumpFormatterUtf8, unicode, octile::CODE_UNICODE);
BENCHMARK_CAPTURE(BM_DumpFormatterUtf8, jis, octile::CODE_JIS);

}  // namespace

BENCHMARK_MAIN();
