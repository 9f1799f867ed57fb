#pragma once
// Undo, redo and the completion of an interrupted insert or delete, on the
// edit journal of the open document. Each undo and redo is itself a
// write-through edit, recorded before its bytes are written, so it can be
// redone and undone again, also after the program was closed.
#include <cstdint>
#include <vector>

#include "document/document.h"
#include "document/journal.h"
#include "host/feedback.h"

namespace octile {

// Undoes the newest step of the history; where receives the offset of the
// change (for the caret). False after a message: nothing to undo, the file
// was changed by another program since, the journal or the file could not
// be read or written. Progress shows in the message line as for insert and
// delete.
bool UndoEdit(COctileDoc& doc, Feedback& feedback, uint64_t* where = nullptr);
// Applies again the newest undone step.
bool RedoEdit(COctileDoc& doc, Feedback& feedback, uint64_t* where = nullptr);

enum class Recovery { None, Completed, Failed };
// Completes an insert or delete of the open file that a crash, a signal or
// a failing write cut short, to the byte-exact result it would have had,
// and tells the user so. Failed (after a message) when it cannot: the file
// is read-only to this user, or was changed by another program since.
Recovery RecoverInterruptedShift(COctileDoc& doc, Feedback& feedback);

}  // namespace octile
