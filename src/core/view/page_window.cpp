#include "view/page_window.h"

#include <algorithm>
#include <limits>
#include <new>

namespace octile {

namespace {

int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

void PageWindow::Allocate(uint64_t newSize) {
    bytes.reset();
    size = newSize;
    bytes.reset(new (std::nothrow) uint8_t[newSize + COctileDoc::kLookAhead]());
}

void PageWindow::Open(uint64_t length, int32_t extraDigits) {
    offset = 0;
    fileLines = (length + kLine - 1) / kLine;
    scrollUnit = 1;
    for (int32_t i = 0; i < extraDigits; ++i) scrollUnit *= 16;
}

void PageWindow::Read(COctileDoc& doc, const DumpSettings& dump) {
    valid = doc.ReadBytes(bytes.get(), size, offset);
    text = FormatDump(dump, offset, bytes.get(), valid, &textArea);
}

void PageWindow::WriteBack(COctileDoc& doc) const {
    // The page's bytes past the file's present end are not written back: the
    // file was shortened behind the page, and writing them would lengthen it.
    const uint64_t length = doc.LiveLength();
    if (!bytes || offset >= length) return;
    const auto count = static_cast<uint32_t>(std::min<uint64_t>(valid, length - offset));
    doc.WriteBytes(bytes.get(), count, offset);
}

void PageWindow::StoreByte(COctileDoc& doc, uint64_t at, uint8_t value) {
    // Bytes inside the read window (look-ahead included) go into it; a byte
    // whose window has moved on, as a lead byte typed before a scroll, goes
    // straight to the file instead of past the buffer.
    if (bytes && at >= offset && at - offset < size + COctileDoc::kLookAhead) {
        bytes[at - offset] = value;
    } else if (at < doc.LiveLength()) {
        doc.WriteBytes(&value, 1, at);
    }
}

uint64_t PageWindow::Thumb(int32_t position) const {
    return scrollUnit * static_cast<uint64_t>(std::max(position, 0)) * kLine;
}

uint64_t PageWindow::Wheel(int32_t delta, int32_t lines) const {
    int64_t step;
    if (lines != -1) {
        step = static_cast<int64_t>(ClampToInt32(static_cast<int64_t>(delta) * lines *
                                                 static_cast<int64_t>(kLine))) /
               120;
    } else {
        step = static_cast<int64_t>(size) * delta / 120;
    }
    uint64_t target = offset - static_cast<uint64_t>(step);
    if (delta >= 0) {
        if ((step > 0 && static_cast<uint64_t>(step) > offset) || target < kLine) target = 0;
    } else {
        target = std::min(target, fileLines * kLine);
    }
    return target;
}

int32_t PageWindow::ScrollPos(uint64_t at) const {
    return ClampToInt32(static_cast<int64_t>((at + kLine - 1) / (kLine * scrollUnit)));
}

int32_t PageWindow::ScrollTop() const {
    const int64_t top = static_cast<int64_t>(fileLines / scrollUnit) - 1;
    return ClampToInt32(std::max<int64_t>(top, 0));
}

}  // namespace octile
