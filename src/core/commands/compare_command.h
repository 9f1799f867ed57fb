#pragma once
// "比較" (32782): compares a file the user chooses with the open one and shows
// the differences in the report window, in the view's colours and font.
#include <cstdint>

#include "command/command_ids.h"
#include "document/document.h"
#include "host/dialog_host.h"
#include "host/feedback.h"
#include "host/shell.h"
#include "view/view.h"

namespace octile {

class CompareCommand : public CommandTarget {
  public:
    CompareCommand(Feedback& feedback, DialogHost& dialogs, Shell& shell, COctileDoc& doc,
                   COctileView& view)
        : feedback_(feedback), dialogs_(dialogs), shell_(shell), doc_(doc), view_(view) {}

    bool OnCommand(uint32_t id) override;
    bool OnUpdateCommand(uint32_t id, CmdUI& ui) override;
    void OnCompare();

  private:
    Feedback& feedback_;
    DialogHost& dialogs_;
    Shell& shell_;
    COctileDoc& doc_;
    COctileView& view_;
};

}  // namespace octile
