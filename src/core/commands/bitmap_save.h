#pragma once
// The command "BITMAP保存": writes the held picture to a bitmap file the user
// chooses.
#include <cstdint>
#include <string>

#include "document/document.h"
#include "host/dialog_host.h"
#include "host/feedback.h"
#include "picture/dib.h"

namespace octile {

// Writes the picture to path: refuses a name that is only an extension and
// a path that is not a regular file (a FIFO, a device, a folder), then writes
// the bitmap file into a new file that replaces the one at path when
// complete (OutputFile). Returns 0, or the string id of the message to show:
// IDS_FILEOPEN_NG ("FileOpen NG"), IDS_NOT_REGULAR_FILE or IDS_SAVE_ERROR
// (with the full path for "%1").
uint32_t SaveBitmapAs(const CDib& dib, const std::string& path);

// The whole command: the save dialog, then SaveBitmapAs under the wait
// cursor, and its message if any. The file open in doc, by any name, is
// refused with the save error. False when cancelled or refused.
bool OnFileSaveBitmap(Feedback& feedback, DialogHost& dialogs, const CDib& dib, COctileDoc& doc);

}  // namespace octile
