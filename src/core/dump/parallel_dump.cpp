#include "dump/parallel_dump.h"

#include <algorithm>
#include <system_error>

namespace octile {

ParallelDumpFormatter::ParallelDumpFormatter(const DumpSettings& s, uint64_t start,
                                             unsigned threads)
    : settings_(s), formatter_(s, start), threads_(std::max(1u, threads)) {
    try {
        for (unsigned i = 1; i < threads_; ++i) workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
        // No more threads to be had: those there are, and the caller's, do the work.
    }
}

ParallelDumpFormatter::~ParallelDumpFormatter() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
}

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

void ParallelDumpFormatter::Start(const uint8_t* buf, uint64_t count) {
    const uint64_t lines = count / 16;
    const uint64_t most = std::max<uint64_t>(
        1, std::min<uint64_t>(uint64_t{threads_} * kPiecesPerThread, count / kMinPiece));
    const uint64_t pieces = threads_ > 1 ? most : 1;
    // Whole lines in every piece but the last, which takes the rest (and a
    // short last line).
    const uint64_t pieceBytes = (lines + pieces - 1) / pieces * 16;
    pieces_.clear();
    for (uint64_t i = 0; i < pieces; ++i) {
        const uint64_t offset = i * pieceBytes;
        if (offset >= count && i > 0) break;
        const uint64_t n = i + 1 == pieces ? count - offset : std::min(pieceBytes, count - offset);
        // Every piece but the first starts from a formatter at its own
        // address, a few lines early (see FormatPiece).
        const uint64_t settle = std::min(kSettleBytes, offset);
        pieces_.push_back(
            {offset, n,
             i == 0 ? formatter_ : DumpFormatter(settings_, formatter_.Address() + offset - settle),
             formatter_.Carry()});
    }
    if (texts_.size() < pieces_.size()) texts_.resize(pieces_.size());
    {
        std::lock_guard lock(mutex_);
        buf_ = buf;
        pieceCount_ = pieces_.size();
        nextPiece_ = 0;
        ++block_;
    }
    if (pieces_.size() > 1) wake_.notify_all();
}

void ParallelDumpFormatter::FormatPiece(size_t i) {
    Piece& p = pieces_[i];
    if (i > 0) {
        const uint64_t settle = std::min(kSettleBytes, p.offset);
        p.formatter.Settle(buf_ + p.offset - settle, settle);
        p.settledCarry = p.formatter.Carry();
    }
    Format(p.formatter, buf_ + p.offset, p.count, texts_[i]);
}

void ParallelDumpFormatter::TakePieces(std::unique_lock<std::mutex>& lock) {
    while (!stop_ && nextPiece_ < pieceCount_) {
        const size_t i = nextPiece_++;
        lock.unlock();
        FormatPiece(i);
        lock.lock();
    }
}

void ParallelDumpFormatter::Work() {
    uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || block_ != seen; });
        if (stop_) return;
        seen = block_;
        ++busy_;
        TakePieces(lock);
        --busy_;
        if (busy_ == 0) idle_.notify_all();
    }
}

bool ParallelDumpFormatter::Finish(const std::function<bool(std::string_view)>& emit) {
    {
        std::unique_lock lock(mutex_);
        TakePieces(lock);
        // The pieces the threads took are done when they have all left.
        idle_.wait(lock, [&] { return busy_ == 0; });
    }
    // In order; a piece whose settled carry is not the one the piece before
    // left is formatted again from that piece.
    bool ok = emit(texts_[0].View());
    formatter_ = pieces_[0].formatter;
    for (size_t i = 1; i < pieces_.size() && ok; ++i) {
        Piece& p = pieces_[i];
        if (p.settledCarry == formatter_.Carry()) {
            formatter_ = p.formatter;
        } else {
            ++refits_;
            Format(formatter_, buf_ + p.offset, p.count, texts_[i]);
        }
        ok = emit(texts_[i].View());
    }
    return ok;
}

}  // namespace octile
