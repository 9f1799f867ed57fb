#pragma once
// PageWindow: the page of the file the view shows: its first offset and
// size, the bytes read there (with the document's look-ahead after them),
// the dump text made of them, and where scrolling takes the page next.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "document/document.h"
#include "dump/dump_format.h"

namespace octile {

class PageWindow {
  public:
    static constexpr uint64_t kLine = 16;

    explicit PageWindow(uint64_t size) { Allocate(size); }

    uint64_t offset = 0;               // the first byte of the page
    uint64_t size = 0;                 // the bytes of the page: its lines times 16
    std::unique_ptr<uint8_t[]> bytes;  // size + the look-ahead; null when out of memory
    uint32_t valid = 0;                // the bytes of the page the file has
    std::u16string text;               // the dump of the page
    CellRect textArea{10, 1, 79, 24};
    uint64_t fileLines = 0;   // lines of the open file
    uint64_t scrollUnit = 1;  // lines per scroll bar step: 16 per extra address digit

    // A buffer for a page of size bytes (its old bytes are gone).
    void Allocate(uint64_t newSize);
    // A file of length bytes was opened: the page goes to its start.
    void Open(uint64_t length, int32_t extraDigits);
    // Reads the page from doc and makes its dump text.
    void Read(COctileDoc& doc, const DumpSettings& dump);
    // Writes the page's bytes back, those the file still has.
    void WriteBack(COctileDoc& doc) const;
    // A byte typed at offset: into the page when it lies there (look-ahead
    // included), else straight into the file.
    void StoreByte(COctileDoc& doc, uint64_t at, uint8_t value);

    // Where the page goes: a line down or up, a page down or up, the last
    // line, the scroll bar's thumb at position, the wheel turned by delta
    // with lines per notch (-1: a page).
    uint64_t LineDown() const { return std::min(offset + kLine, fileLines * kLine); }
    uint64_t LineUp() const { return offset < kLine ? 0 : offset - kLine; }
    uint64_t PageDown() const { return std::min(offset + size, kLine * fileLines); }
    uint64_t PageUp() const { return offset < size ? 0 : offset - size; }
    uint64_t LastLine() const { return (fileLines - 1) * kLine; }
    uint64_t Thumb(int32_t position) const;
    uint64_t Wheel(int32_t delta, int32_t lines) const;
    // The scroll bar position that shows a page at at, and the bar's top.
    int32_t ScrollPos(uint64_t at) const;
    int32_t ScrollTop() const;
};

}  // namespace octile
