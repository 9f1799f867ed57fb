#pragma once
// The search walk done slowly and literally, for checking the fast engine:
// window after window on the search window grid, byte after byte, with the
// naive comparison that retries every position as a start. A backward walk
// that reaches a window w with 0 < w < R goes on to window 0 before it wraps.
// It holds for carets on the page (windowOffset <= caret < windowOffset + R)
// and read sizes from 16 up.
#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

namespace octile::test {

struct ReferenceHit {
    bool found = false;
    uint64_t match = 0;
    uint64_t window = 0;
    bool operator==(const ReferenceHit&) const = default;
};

inline void PrintTo(const ReferenceHit& h, std::ostream* os) {
    if (!h.found) {
        *os << "not found";
    } else {
        *os << "match " << h.match << " window " << h.window;
    }
}

inline ReferenceHit ReferenceForward(const std::vector<uint8_t>& file,
                                     const std::vector<uint8_t>& pattern, uint64_t caret,
                                     uint64_t windowOffset, uint64_t readSize) {
    const uint64_t s = file.size();
    const uint64_t n = pattern.size();
    const uint64_t r = readSize;
    const uint64_t rounded = 16 * ((s + 15) / 16);
    if (s == 0 || n == 0 || r == 0 || n > r) return {};
    const uint64_t start = caret + 1 >= rounded ? 0 : caret + 1;
    const uint64_t stop = caret;
    uint64_t w = windowOffset;
    bool first = true;
    int wraps = 0;
    for (;;) {
        const uint64_t valid = w < s ? std::min(r, s - w) : 0;
        uint64_t from = w;
        if (first) from = start >= w && start < w + valid ? start : w + valid;
        for (uint64_t at = from; at < w + valid; ++at) {
            if (at == stop) return {};
            uint64_t k = 0;
            for (; k < n; ++k) {
                const uint64_t pos = at + k;
                if (pos >= s) break;  // a partial match ends at the wrap
                if (pos == stop) return {};
                if (file[pos] != pattern[k]) break;
            }
            if (k == n) return {true, at, at + n > w + r ? at : w};
        }
        uint64_t next = w + r;
        if (next >= s) {
            next = 0;
            if (++wraps == 2) return {};  // once around a file whose stop lies past its end
        }
        if (next == stop) return {};
        w = next;
        first = false;
    }
}

inline ReferenceHit ReferenceBackward(const std::vector<uint8_t>& file,
                                      const std::vector<uint8_t>& pattern, uint64_t caret,
                                      uint64_t windowOffset, uint64_t readSize) {
    const int64_t s = static_cast<int64_t>(file.size());
    const int64_t n = static_cast<int64_t>(pattern.size());
    const int64_t r = static_cast<int64_t>(readSize);
    const int64_t c = static_cast<int64_t>(caret);
    const int64_t rounded = 16 * ((s + 15) / 16);
    if (s == 0 || n == 0 || r == 0 || n > r) return {};
    // From a caret at or past the last line the whole file is searched, byte 0
    // included, and the walk ends there.
    const bool wholeFile = c >= rounded;
    const int64_t stop = wholeFile ? -1 : c;
    int64_t cur = c == 0 ? rounded - 1 : c - 1;  // the next position to examine
    int64_t w = static_cast<int64_t>(windowOffset);
    int pass = 1;
    bool first = true;
    for (;;) {
        const int64_t valid = w < s ? std::min(r, s - w) : 0;
        // The first window is scanned from the start position only when that
        // lies in it.
        const bool inWindow = !first || cur < w + r;
        if (valid > 0 && cur >= w && inWindow) {
            for (int64_t end = std::min(cur, w + valid - 1); end >= w; --end) {
                if (end == stop) return {};
                int64_t k = 0;
                for (; k < n; ++k) {
                    const int64_t pos = end - k;
                    if (pos < 0) break;  // a partial match ends at the wrap
                    if (pos == stop) return {};
                    if (file[static_cast<size_t>(pos)] != pattern[static_cast<size_t>(n - 1 - k)]) {
                        break;
                    }
                }
                if (k == n) {
                    // The match's first byte lies in this window or in one the
                    // walk reaches next.
                    const int64_t m = end - n + 1;
                    int64_t ww = w;
                    while (ww > m) ww = ww >= r ? ww - r : 0;
                    return {true, static_cast<uint64_t>(m), static_cast<uint64_t>(ww)};
                }
            }
        }
        cur = std::min(cur, w - 1);
        first = false;
        if (w >= r) {
            w -= r;
        } else if (w > 0) {
            w = 0;
        } else {
            if (wholeFile || pass == 2) return {};
            pass = 2;
            w = rounded > r ? rounded - r : 0;
            cur = rounded - 1;
        }
        if (cur == stop) return {};
    }
}

inline ReferenceHit ReferenceWalk(const std::vector<uint8_t>& file,
                                  const std::vector<uint8_t>& pattern, uint64_t caret,
                                  uint64_t windowOffset, uint64_t readSize, bool backward) {
    return backward ? ReferenceBackward(file, pattern, caret, windowOffset, readSize)
                    : ReferenceForward(file, pattern, caret, windowOffset, readSize);
}

}  // namespace octile::test
