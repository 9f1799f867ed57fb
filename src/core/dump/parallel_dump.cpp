#include "dump/parallel_dump.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace octile {

ParallelDumpFormatter::ParallelDumpFormatter(const DumpSettings& s, uint64_t start,
                                             unsigned threads)
    : settings_(s), formatter_(s, start), threads_(std::max(1u, threads)), texts_(threads_) {}

void ParallelDumpFormatter::Format(DumpFormatter& formatter, const uint8_t* buf, uint64_t count,
                                   Text& text) {
    const size_t room = formatter.Room(count);
    if (room > text.room) {
        text.units.reset();
        text.units = std::make_unique_for_overwrite<char[]>(room);
        text.room = room;
    }
    text.size =
        static_cast<size_t>(formatter.Feed(buf, count, text.units.get()) - text.units.get());
}

bool ParallelDumpFormatter::Feed(const uint8_t* buf, uint64_t count,
                                 const std::function<bool(std::string_view)>& emit) {
    const uint64_t lines = count / 16;
    const uint64_t pieces = std::min<uint64_t>(threads_, count / kMinPiece);
    if (pieces <= 1) {
        Format(formatter_, buf, count, texts_[0]);
        return emit(texts_[0].View());
    }
    // Whole lines in every piece but the last, which takes the rest (and a
    // short last line).
    const uint64_t pieceBytes = (lines + pieces - 1) / pieces * 16;
    struct Piece {
        uint64_t offset = 0;
        uint64_t count = 0;
        DumpFormatter formatter;
        int settledCarry = 0;
    };
    std::vector<Piece> parts;
    parts.reserve(static_cast<size_t>(pieces));
    for (uint64_t i = 0; i < pieces; ++i) {
        const uint64_t offset = i * pieceBytes;
        if (offset >= count) break;
        const uint64_t n = i + 1 == pieces ? count - offset : std::min(pieceBytes, count - offset);
        parts.push_back({offset, n, formatter_, formatter_.Carry()});
    }
    const auto run = [&](size_t i) {
        Piece& p = parts[i];
        if (i > 0) {
            // Started a few lines early, from a formatter at that address.
            const uint64_t settle = std::min(kSettleBytes, p.offset);
            p.formatter = DumpFormatter(settings_, formatter_.Address() + p.offset - settle);
            p.formatter.Settle(buf + p.offset - settle, settle);
            p.settledCarry = p.formatter.Carry();
        }
        Format(p.formatter, buf + p.offset, p.count, texts_[i]);
    };
    std::vector<std::thread> workers;
    try {
        for (size_t i = 1; i < parts.size(); ++i) workers.emplace_back(run, i);
    } catch (const std::system_error&) {
        // No more threads: the rest of the pieces are formatted here.
    }
    run(0);
    for (size_t i = workers.size() + 1; i < parts.size(); ++i) run(i);
    for (std::thread& t : workers) t.join();

    // In order; a piece whose settled carry is not the one the piece before
    // left is formatted again from that piece.
    bool ok = emit(texts_[0].View());
    formatter_ = parts[0].formatter;
    for (size_t i = 1; i < parts.size() && ok; ++i) {
        Piece& p = parts[i];
        if (p.settledCarry == formatter_.Carry()) {
            formatter_ = p.formatter;
        } else {
            ++refits_;
            Format(formatter_, buf + p.offset, p.count, texts_[i]);
        }
        ok = emit(texts_[i].View());
    }
    return ok;
}

}  // namespace octile
