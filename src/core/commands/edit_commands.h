#pragma once
// The document commands that stream the file in blocks: insert (32812),
// delete (32813), fill range (32808), partial save (57604) and hex listing
// (101). Each asks for its values in a dialog, checks them, runs the
// operation and rereads the page. Undo (57643) and redo (57644) replay the
// edit journal and show the place of the change.
//
// While one of them runs it dispatches pending messages between blocks, so
// other commands can arrive in the middle. Busy() is true for that time (the
// command marks the document busy while its operation runs);
// the update handler then reports every command that changes or replaces
// the open file disabled, and OnCommand swallows such commands (ahead of the
// view and the document in the route, it keeps them from running at all).
#include <cstdint>

#include "command/command_ids.h"
#include "document/document.h"
#include "document/range_export.h"
#include "host/dialog_host.h"
#include "host/feedback.h"
#include "view/view.h"

namespace octile {

class EditCommands : public CommandTarget {
  public:
    EditCommands(Feedback& feedback, DialogHost& dialogs, COctileDoc& doc, COctileView& view);

    bool OnCommand(uint32_t id) override;
    bool OnUpdateCommand(uint32_t id, CmdUI& ui) override;

    // True while an insert, delete, fill, export, undo or redo is running.
    bool Busy() const { return doc_.busy().Running(BusyState::kFileOperation); }
    // The commands refused while Busy(): those that change, replace or close
    // the open file, and this class's own commands.
    static bool LockedWhileBusy(uint32_t id);

    void OnEditInsert() { RunShift(false); }
    void OnEditDelete() { RunShift(true); }
    void OnEditFill();
    void OnFileSaveAs() { RunExport(ExportKind::PartialSave); }
    void OnFileHexList() { RunExport(ExportKind::HexList); }
    void OnEditUndo() { RunHistory(false); }
    void OnEditRedo() { RunHistory(true); }

  private:
    void RunShift(bool deleteMode);
    void RunExport(ExportKind kind);
    void RunHistory(bool redo);
    void ShowChange(uint64_t where);

    Feedback& feedback_;
    DialogHost& dialogs_;
    COctileDoc& doc_;
    COctileView& view_;
};

}  // namespace octile
