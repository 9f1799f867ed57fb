#include "search/replace_run.h"

namespace octile {

bool ReplaceRound::Accept(const SearchResult& hit) {
    if (hit.wrapped && wrapped_) return false;
    if ((hit.wrapped || wrapped_) && hit.match >= start_) return false;
    wrapped_ = wrapped_ || hit.wrapped;
    return true;
}

ReplaceAllResult RunReplaceAll(SearchEngine& engine, const std::vector<uint8_t>& replacement,
                               uint64_t caret, uint64_t windowOffset, uint64_t readSize,
                               const std::function<bool(uint64_t offset)>& write,
                               const SearchPoll& poll) {
    ReplaceAllResult result;
    ReplaceRound round(caret);
    const uint64_t n = replacement.size();
    for (;;) {
        const SearchResult hit = engine.Find({caret, windowOffset, readSize, false}, poll);
        if (hit.status == SearchResult::Aborted) {
            result.end = ReplaceAllResult::Aborted;
            return result;
        }
        if (hit.status == SearchResult::NotFound) {
            result.end = ReplaceAllResult::NothingFound;
            return result;
        }
        result.hit = true;
        result.lastHit = hit;
        result.wrapped = result.wrapped || hit.wrapped;
        if (!round.Accept(hit)) {
            result.end = ReplaceAllResult::CameAround;
            return result;
        }
        // A look at the messages before each write: an Escape waiting there
        // stops the run before this hit is replaced.
        if (poll && poll(hit.match)) {
            result.end = ReplaceAllResult::Aborted;
            return result;
        }
        if (!write(hit.match)) {
            result.end = ReplaceAllResult::WriteFailed;
            return result;
        }
        engine.NoteWrite(hit.match, replacement.data(), replacement.size());
        ++result.replaced;
        windowOffset = hit.window;
        caret = CaretAfterHit(hit.window, readSize, hit.match, n);
    }
}

}  // namespace octile
