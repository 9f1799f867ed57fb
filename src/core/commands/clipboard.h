#pragma once
// Copy and paste through the clipboard's text: copy puts the selection on it
// as a dump listing; paste reads a dump listing or plain hexadecimal text from
// it and overwrites the file's bytes from the caret on, never past the file's
// end.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/document.h"
#include "dump/dump_format.h"
#include "host/clipboard_host.h"
#include "host/feedback.h"
#include "view/view.h"

namespace octile {

// The largest listing copy puts on the clipboard, in bytes of UTF-16 text
// (about 6 MiB of selected bytes). A larger selection is refused with message
// 10001 rather than built in memory.
inline constexpr uint64_t kMaxCopyTextBytes = 64ull << 20;

// An upper bound of the listing's length in UTF-16 units for count bytes.
uint64_t CopyTextUnitsBound(const DumpSettings& settings, uint64_t count);

// The bytes a paste text stands for. Text that starts with "-" is a dump
// listing: the ruler's dashes give the address width, the hexadecimal area of
// every following line is read and everything else ignored; a line that ends
// (or is cut off) inside its hexadecimal area ends there. Any other text is
// plain hexadecimal: digit pairs each followed by one separator character, up
// to a blank, "|" or a line end in a digit pair's first place.
std::vector<uint8_t> ParsePasteText(std::u16string_view text);

// The digit value paste gives a character: A-Z become a-z, 7 is taken off
// from 0x61 up, the low 4 bits remain.
uint8_t PasteNibble(char16_t c);

// Copy 57634: the selection's bytes, read afresh from the file.
void CopySelection(Feedback& feedback, ClipboardHost& clipboard, COctileDoc& doc,
                   COctileView& view);

// Paste 57637 at the caret's offset. The view is left on the grid window
// (window offset + k * read size) where the last byte landed, or on the last
// such window inside the file when the paste ran past its end.
void PasteClipboard(Feedback& feedback, ClipboardHost& clipboard, COctileDoc& doc,
                    COctileView& view);

}  // namespace octile
