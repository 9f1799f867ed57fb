#pragma once
// Copies a range of the open file into a new file: the raw bytes (partial
// save) or the dump text of every 256-byte block as UTF-16LE (hex listing).
// Both stream the range, show their progress in the message line and
// dispatch pending messages between blocks; the open file is never changed.
#include <cstdint>
#include <string>
#include <string_view>

#include "document/document.h"
#include "dump/dump_format.h"
#include "host/feedback.h"

namespace octile {

enum class ExportKind { PartialSave, HexList };

inline constexpr uint64_t kSaveBlock = 0x10000;
inline constexpr uint64_t kHexListBlock = 0x100;
// The hex listing reads and formats this many bytes at a time (whole blocks,
// so the text is that of block after block); one piece of text is written
// while the next is formatted.
inline constexpr uint64_t kHexListPiece = 1024 * kHexListBlock;

struct ExportRequest {
    ExportKind kind = ExportKind::PartialSave;
    std::string outputPath;    // as chosen; messages show its full path
    std::u16string startText;  // first offset, hexadecimal
    std::u16string endText;    // last offset (included); sixteen F digits: to the end
    DumpSettings dump;         // hex listing: address width, case, character code
};

// True when the file name of path is only an extension (".txt").
bool IsExtensionOnlyName(const std::string& path);

// Runs the export: refuses a name that is only an extension (10002), a start
// or end that is not hexadecimal or a start after the end (10007), the open
// file by any name (10000) and an output that is not a regular file (a FIFO,
// a device, a folder: IDS_NOT_REGULAR_FILE); stops quietly at the end of the
// file. The output replaces the file at its path only once it is complete
// (OutputFile): on a failure that file keeps its old contents. Marks the
// document busy and shows the wait cursor while it writes. False when a
// message was shown.
bool ExportRange(COctileDoc& doc, Feedback& feedback, const ExportRequest& request);

}  // namespace octile
