#pragma once
// TypingState: typing in the character column, one Shift-JIS byte per key
// (in the UTF-8 column one UTF-8 byte, written as it comes). A lead byte
// waits for its trail byte (in the Unicode and EUC-JP columns, where the pair
// converts as one character); the document's OpenSerial at the lead tells
// whether the lead still belongs to the open file.
#include <cstdint>

namespace octile {

// What one typed byte writes into the file.
struct TypedChar {
    // Two bytes of a completed pair: bytes[0] at leadOffset (where the lead
    // was typed), bytes[1] at the trail's offset.
    bool pair = false;
    uint64_t leadOffset = 0;
    // Otherwise count bytes (0 to 2) from the typed byte's offset on.
    int count = 0;
    uint8_t bytes[2] = {};
    // The character did not convert: its two cells are passed over.
    bool skipNext = false;
};

class TypingState {
  public:
    bool Pending() const { return pending_; }
    uint8_t Lead() const { return lead_; }
    uint64_t LeadOffset() const { return offset_; }
    void Clear() { pending_ = false; }
    // A lead typed into another file, or before the file was reopened, has
    // no place to go any more.
    void Expire(uint64_t openSerial) {
        if (pending_ && serial_ != openSerial) pending_ = false;
    }
    // The byte typed at offset in a column of charCode, openSerial the
    // document's: a lead byte waits (nothing written), a trail completes
    // the waiting pair.
    TypedChar Type(int32_t charCode, uint8_t byte, uint64_t offset, uint64_t openSerial);

  private:
    bool pending_ = false;
    uint8_t lead_ = 0;
    uint64_t offset_ = 0;
    uint64_t serial_ = 0;  // the document's OpenSerial when the lead was typed
};

}  // namespace octile
