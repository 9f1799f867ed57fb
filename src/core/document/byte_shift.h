#pragma once
// The edits that move the file's tail on disk (insert, delete) or overwrite a
// long range (fill). They stream the file through a bounded buffer in
// 65536-byte blocks, show their progress in the message line and dispatch
// pending messages between blocks. Failures are shown in message boxes with
// the document's path. Each marks the document busy while it runs and shows
// the wait cursor.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "document/document.h"
#include "document/journal.h"
#include "document/long_operation.h"
#include "host/feedback.h"
#include "resources/resources.h"

namespace octile {

inline constexpr uint64_t kShiftBlock = 0x10000;
inline constexpr uint64_t kMaxShiftCount = 0x10000;

// Parses the position and count texts of the insert or delete dialog.
// Refuses text that is not hexadecimal (10007) and a count of 0 or above
// 65536 (10020); returns false after showing the message.
bool ParseShiftRequest(Feedback& feedback, std::u16string_view positionText,
                       std::u16string_view countText, uint64_t& position, uint64_t& count);

// The fill value's longest text. A longer one gets the framework's message
// 61716 ("%1 文字以内で入力してください。" with 2) and the dialog stays open.
inline constexpr size_t kMaxFillValueChars = 2;
inline constexpr uint32_t kStringSizeMessageId = AFX_IDP_PARSE_STRING_SIZE;
// False, after showing that message, when the value text is too long.
bool CheckFillValueLength(Feedback& feedback, std::u16string_view valueText);

struct FillRequest {
    uint64_t start = 0;
    uint64_t end = 0;  // last offset, included; kToEndOfFile: to the end of the file
    uint8_t value = 0;
};

// Parses the start, end and value texts of the fill dialog: start or end not
// hexadecimal or start after end gives 10007, a value that is empty or not
// hexadecimal 10020. The value must already be at most 2 characters.
bool ParseFillRequest(Feedback& feedback, std::u16string_view startText,
                      std::u16string_view endText, std::u16string_view valueText,
                      FillRequest& request);

// One insert or delete of the tail, as a new edit or as the undo or redo of
// one. With a journal it is recorded in the journal's shift file before any
// byte moves and completes after a crash; without one it just runs.
struct ShiftRequest {
    bool deleting = false;
    uint64_t position = 0;
    uint64_t count = 0;
    EditJournal::Role role = EditJournal::Role::Edit;
    EditKind kind = EditKind::Insert;  // the history step's kind
    std::vector<uint8_t> payload;      // insert: the bytes at position (empty: zeros)
};
bool ShiftTail(COctileDoc& doc, Feedback& feedback, const ShiftRequest& request);

// Inserts count (1 to 65536) zero bytes at position, moving the tail of the
// file forward. A position at or past the end inserts nothing. Measures the
// file length again. False when a message was shown.
bool InsertBytes(COctileDoc& doc, Feedback& feedback, uint64_t position, uint64_t count);

// Deletes count (1 to 65536) bytes at position, moving the tail back and
// truncating the file; a count reaching past the end deletes up to the end.
// A position at or past the end deletes nothing. Measures the length again.
bool DeleteBytes(COctileDoc& doc, Feedback& feedback, uint64_t position, uint64_t count);

// Overwrites start..end (both included) with value. Never lengthens the file:
// a range reaching past the end fills up to the end; a range that starts at
// or past the end fills nothing and shows message 10006.
bool FillRange(COctileDoc& doc, Feedback& feedback, const FillRequest& request);

}  // namespace octile
