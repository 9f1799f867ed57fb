#include "commands/edit_commands.h"

#include <algorithm>

#include "document/byte_shift.h"
#include "document/undo.h"
#include "dump/dump_format.h"
#include "resources/resources.h"

namespace octile {

EditCommands::EditCommands(Feedback& feedback, DialogHost& dialogs, COctileDoc& doc,
                           COctileView& view)
    : feedback_(feedback), dialogs_(dialogs), doc_(doc), view_(view) {}

bool EditCommands::LockedWhileBusy(uint32_t id) {
    if (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) return true;
    switch (id) {
        case ID_EDIT_INSERT:
        case ID_EDIT_DELETE:
        case ID_EDIT_FILL:
        case ID_EDIT_UNDO:
        case ID_EDIT_REDO:
        case ID_FILE_SAVE_AS:
        case ID_FILE_HEXLIST:
        case ID_EDIT_PASTE:
        case ID_REPLACE:
        case ID_READ_ONLY:
        case ID_FILE_OPEN:
        case ID_APP_EXIT:
            return true;
        default:
            return false;
    }
}

bool EditCommands::OnCommand(uint32_t id) {
    if (Busy()) return LockedWhileBusy(id);  // swallowed: they must not run now
    switch (id) {
        case ID_EDIT_INSERT:
            OnEditInsert();
            return true;
        case ID_EDIT_DELETE:
            OnEditDelete();
            return true;
        case ID_EDIT_FILL:
            OnEditFill();
            return true;
        case ID_FILE_SAVE_AS:
            OnFileSaveAs();
            return true;
        case ID_FILE_HEXLIST:
            OnFileHexList();
            return true;
        case ID_EDIT_UNDO:
            OnEditUndo();
            return true;
        case ID_EDIT_REDO:
            OnEditRedo();
            return true;
        default:
            return false;
    }
}

bool EditCommands::OnUpdateCommand(uint32_t id, CmdUI& ui) {
    if (Busy() && LockedWhileBusy(id)) {
        ui.Enable(false);
        return true;
    }
    switch (id) {
        case ID_EDIT_INSERT:
        case ID_EDIT_DELETE:
        case ID_EDIT_FILL:
            ui.Enable(doc_.IsReadOnly() == 0);
            return true;
        case ID_FILE_SAVE_AS:
            ui.Enable(doc_.HasFile());
            return true;
        case ID_FILE_HEXLIST:
            ui.Enable(view_.CommandEnabled());
            return true;
        case ID_EDIT_UNDO:
            ui.Enable(doc_.CanUndo());  // false on a read-only file
            return true;
        case ID_EDIT_REDO:
            ui.Enable(doc_.CanRedo());
            return true;
        default:
            return false;
    }
}

void EditCommands::RunShift(bool deleteMode) {
    if (doc_.IsReadOnly()) return;
    uint64_t first = 0;
    uint64_t last = 0;
    view_.GetSelectionRange(first, last);
    CEditInsertDlg dlg;
    dlg.deleteMode = deleteMode;
    dlg.position = FormatAddress(view_.dumpSettings(), first);
    dlg.count = u"0";
    if (dialogs_.DoModal(&dlg) != IDOK) return;
    uint64_t position = 0;
    uint64_t count = 0;
    if (!ParseShiftRequest(feedback_, dlg.position, dlg.count, position, count)) return;

    // Busy until the page is read again; the operation shows the wait cursor.
    BusyScope busy(doc_.busy(), BusyState::kFileOperation);
    if (deleteMode) {
        DeleteBytes(doc_, feedback_, position, count);
    } else {
        InsertBytes(doc_, feedback_, position, count);
    }
    view_.ReloadWindow();  // at the unchanged window offset
}

void EditCommands::OnEditFill() {
    if (doc_.IsReadOnly()) return;
    uint64_t first = 0;
    uint64_t last = 0;
    view_.GetSelectionRange(first, last);
    CEditRangeDlg dlg;
    dlg.start = FormatAddress(view_.dumpSettings(), first);
    dlg.end = FormatAddress(view_.dumpSettings(), last == 0 ? kToEndOfFile : last);
    // A value longer than the limit keeps the dialog open, as its data
    // exchange does.
    do {
        if (dialogs_.DoModal(&dlg) != IDOK) return;
    } while (!CheckFillValueLength(feedback_, dlg.value));
    FillRequest request;
    if (!ParseFillRequest(feedback_, dlg.start, dlg.end, dlg.value, request)) return;

    BusyScope busy(doc_.busy(), BusyState::kFileOperation);
    FillRange(doc_, feedback_, request);
    view_.ReloadWindow();
}

void EditCommands::RunHistory(bool redo) {
    if (!(redo ? doc_.CanRedo() : doc_.CanUndo())) return;
    uint64_t where = 0;
    bool done = false;
    {
        // Undoing an insert or a delete shifts the tail as they do.
        BusyScope busy(doc_.busy(), BusyState::kFileOperation);
        done = redo ? RedoEdit(doc_, feedback_, &where) : UndoEdit(doc_, feedback_, &where);
    }
    if (done) {
        ShowChange(where);
    } else {
        view_.ReloadWindow();  // whatever part of the change was written shows
    }
}

// Puts the caret on the byte at where (the last byte when the change took the
// file's end away) in the area it stands in now, with the selection on that
// byte. The page stays when it shows the byte; otherwise the window moves to
// the byte's line.
void EditCommands::ShowChange(uint64_t where) {
    const uint64_t length = doc_.GetFileLength();
    if (length == 0) {
        view_.ReloadWindow();
        return;
    }
    const uint64_t at = std::min(where, length - 1);
    uint64_t window = view_.WindowOffset();
    if (at < window || at - window >= view_.ReadSize() || !doc_.IsInFile(window)) {
        window = at - at % uint64_t{DumpLayout::kBytesPerLine};
    }
    const COctileView::Cell caret = view_.CaretCell();
    const DumpArea area = view_.CellToOffset(caret.column, caret.row).area == DumpArea::kChar
                              ? DumpArea::kChar
                              : DumpArea::kHex;
    view_.UpdateSelection(SelectionStep::kAnchor, at);
    view_.UpdateSelection(SelectionStep::kCaret, at);
    view_.SetCaretCell(view_.Layout().CellOf(at - window, area));
    view_.SetWindowOffset(window, true);  // reads the page again
}

void EditCommands::RunExport(ExportKind kind) {
    uint64_t first = 0;
    uint64_t last = 0;
    view_.GetSelectionRange(first, last);
    CFileRangeDialog dlg;
    dlg.file.save = true;
    dlg.file.overwritePrompt = true;
    if (kind == ExportKind::PartialSave) {
        // The open dialog's filter and default extension, as last read.
        dlg.file.title = u"部分保存";
        dlg.file.filter = doc_.openFilter();
        dlg.file.defaultExtension = doc_.openDefaultExtension();
    } else {
        dlg.file.title = u"16進ﾌｧｲﾙ格納";
        dlg.file.filter = LoadString(IDS_TXT_FILTER);
        dlg.file.defaultExtension = LoadString(IDS_TXT_EXT);
    }
    dlg.start = FormatAddress(view_.dumpSettings(), first);
    dlg.end = FormatAddress(view_.dumpSettings(), last == 0 ? kToEndOfFile : last);
    if (dialogs_.DoModal(&dlg) != IDOK) return;

    ExportRequest request;
    request.kind = kind;
    request.outputPath = dlg.file.chosenPath;
    request.startText = dlg.start;
    request.endText = dlg.end;
    request.dump = view_.dumpSettings();
    // Busy while its own checks show their messages, too.
    BusyScope busy(doc_.busy(), BusyState::kFileOperation);
    ExportRange(doc_, feedback_, request);
}

}  // namespace octile
