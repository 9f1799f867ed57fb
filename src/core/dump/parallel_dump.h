#pragma once
// ParallelDumpFormatter: the dump text of a long range, formatted on several
// threads, byte for byte the text of one DumpFormatter. Each block fed is cut
// into pieces of whole lines; the first piece continues the formatter of the
// block before, every other one starts a few lines early to settle the carry
// of a character split across lines (see DumpFormatter::Settle), on a thread
// of its own. A piece whose carry differs from the one the piece before
// leaves is formatted again from that piece, so the text never depends on
// the guess.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dump/dump_format.h"

namespace octile {

class ParallelDumpFormatter {
  public:
    // threads: how many pieces a block is cut into (1: no threads at all).
    ParallelDumpFormatter(const DumpSettings& s, uint64_t start, unsigned threads);

    void Begin(std::string& out) const { formatter_.Begin(out); }
    // As DumpFormatter::Feed: count bytes at buf followed by at least 16
    // look-ahead bytes; every block but the last holds whole lines. The text
    // goes to emit piece by piece, in order; false from emit stops the block.
    bool Feed(const uint8_t* buf, uint64_t count,
              const std::function<bool(std::string_view)>& emit);
    void Feed(const uint8_t* buf, uint64_t count, std::string& out) {
        Feed(buf, count, [&out](std::string_view text) {
            out += text;
            return true;
        });
    }
    void End(std::string& out) const { formatter_.End(out); }

    // Pieces formatted again because their settled carry was wrong.
    uint64_t Refits() const { return refits_; }

  private:
    // Lines before a piece that settle its carry.
    static constexpr uint64_t kSettleBytes = 8 * 16;
    // Blocks smaller than this per thread are formatted in one piece.
    static constexpr uint64_t kMinPiece = 64 * 1024;

    DumpSettings settings_;
    DumpFormatter formatter_;  // the state after the last block
    unsigned threads_;
    // A piece's text, written in place: no growth, no copy.
    struct Text {
        std::unique_ptr<char[]> units;
        size_t room = 0;
        size_t size = 0;
        std::string_view View() const { return {units.get(), size}; }
    };
    // Makes text hold the lines of count bytes at buf from formatter.
    static void Format(DumpFormatter& formatter, const uint8_t* buf, uint64_t count, Text& text);
    std::vector<Text> texts_;  // one per piece, reused
    uint64_t refits_ = 0;
};

}  // namespace octile
