#pragma once
// A replace run: forward searches from the caret, once around the file, each
// hit overwritten by a replacement of the same length.
#include <cstdint>
#include <functional>
#include <vector>

#include "search/search_engine.h"

namespace octile {

// Says when a run has come around to its start offset (the caret's offset when
// it began): at the first hit at or after the start offset once a search has
// passed the end of the file, or when a search passes the end a second time
// (a run whose remaining hits all lie before its start would otherwise go on
// for ever).
class ReplaceRound {
  public:
    explicit ReplaceRound(uint64_t start) : start_(start) {}
    // false: the run has come around and ends before this hit.
    bool Accept(const SearchResult& hit);

  private:
    uint64_t start_;
    bool wrapped_ = false;
};

struct ReplaceAllResult {
    enum End { NothingFound, CameAround, Aborted, WriteFailed };
    End end = NothingFound;
    uint64_t replaced = 0;
    bool wrapped = false;  // some search went past the end of the file
    // The last hit found (replaced or not): the view is to show it.
    bool hit = false;
    SearchResult lastHit;
};

// Replace-all without showing anything between hits. After each hit the next
// search starts where the view would stand after showing it: on the hit's
// window, from the caret offset CaretAfterHit gives. write(offset) puts the
// replacement into the file (false: it failed); poll is asked between blocks
// and before every replacement and stops the run when it returns true.
ReplaceAllResult RunReplaceAll(SearchEngine& engine, const std::vector<uint8_t>& replacement,
                               uint64_t caret, uint64_t windowOffset, uint64_t readSize,
                               const std::function<bool(uint64_t offset)>& write,
                               const SearchPoll& poll = {});

}  // namespace octile
