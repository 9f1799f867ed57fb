#pragma once
// ParallelDumpFormatter: the dump text of a long range, formatted on several
// threads, byte for byte the text of one DumpFormatter. Each block fed is cut
// into pieces of whole lines; the first piece continues the formatter of the
// block before, every other one starts a few lines early to settle the carry
// of a character split across lines (see DumpFormatter::Settle). The pieces
// go to the threads that ask first: the threads the formatter keeps, and the
// caller's own once it comes to Finish. A piece whose carry differs from the
// one the piece before leaves is formatted again from that piece, so the text
// never depends on the guess.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "dump/dump_format.h"

namespace octile {

class ParallelDumpFormatter {
  public:
    // threads: how many threads format, the caller's included (1: no threads
    // of its own at all).
    ParallelDumpFormatter(const DumpSettings& s, uint64_t start, unsigned threads);
    ~ParallelDumpFormatter();
    ParallelDumpFormatter(const ParallelDumpFormatter&) = delete;
    ParallelDumpFormatter& operator=(const ParallelDumpFormatter&) = delete;

    void Begin(std::string& out) const { formatter_.Begin(out); }
    // As DumpFormatter::Feed: count bytes at buf followed by at least 16
    // look-ahead bytes; every block but the last holds whole lines. Start
    // hands the block to the threads and returns at once, so that the caller
    // can read the next block meanwhile; the bytes must stay as they are
    // until Finish returns. Finish formats what the threads have not taken,
    // waits for the rest and gives the text to emit piece by piece, in order;
    // false from emit stops (the block's text is then not all given). Every
    // Start must be followed by a Finish.
    void Start(const uint8_t* buf, uint64_t count);
    bool Finish(const std::function<bool(std::string_view)>& emit);
    bool Feed(const uint8_t* buf, uint64_t count,
              const std::function<bool(std::string_view)>& emit) {
        Start(buf, count);
        return Finish(emit);
    }
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
    // Pieces are at least this long (the last one may be shorter)...
    static constexpr uint64_t kMinPiece = 16 * 1024;
    // ...and a block is cut into at most this many per thread, so that a
    // thread that is late (reading the next block) leaves its share to the
    // others.
    static constexpr uint64_t kPiecesPerThread = 8;

    // A piece's text, written in place: no growth, no copy.
    struct alignas(64) Text {
        std::unique_ptr<char[]> units;
        size_t room = 0;
        size_t size = 0;
        std::string_view View() const { return {units.get(), size}; }
    };
    // A cache line each: a formatter writes its state at every line, and two
    // threads writing one line would take it from each other's cache.
    struct alignas(64) Piece {
        uint64_t offset = 0;
        uint64_t count = 0;
        DumpFormatter formatter;
        int settledCarry = 0;
    };
    // Makes text hold the lines of count bytes at buf from formatter.
    static void Format(DumpFormatter& formatter, const uint8_t* buf, uint64_t count, Text& text);
    // Formats piece i of the current block.
    void FormatPiece(size_t i);
    // Formats pieces until none is left to take; lock holds mutex_ on entry
    // and on return.
    void TakePieces(std::unique_lock<std::mutex>& lock);
    void Work();

    DumpSettings settings_;
    DumpFormatter formatter_;  // the state after the last block
    unsigned threads_;
    uint64_t refits_ = 0;

    // The block in hand, set by Start before the threads are told.
    const uint8_t* buf_ = nullptr;
    std::vector<Piece> pieces_;
    std::vector<Text> texts_;  // one per piece, reused
    size_t pieceCount_ = 0;
    size_t nextPiece_ = 0;  // the next piece to take, under mutex_

    std::mutex mutex_;
    std::condition_variable wake_;  // a new block, or the end
    std::condition_variable idle_;  // a thread left the block
    uint64_t block_ = 0;            // counts Starts
    unsigned busy_ = 0;             // threads working on the block
    bool stop_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace octile
