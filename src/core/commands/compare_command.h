#pragma once
// "比較" (32782): compares a file the user chooses with the open one and shows
// the differences in the report window, in the view's colours and font.
#include <cstdint>

#include "command/command_ids.h"
#include "document/document.h"
#include "host/ui_host.h"
#include "view/view.h"

namespace octile {

class CompareCommand : public CommandTarget {
public:
    CompareCommand(UiHost& host, COctileDoc& doc, COctileView& view)
        : host_(host), doc_(doc), view_(view) {}

    bool OnCommand(uint32_t id) override;
    bool OnUpdateCommand(uint32_t id, CmdUI& ui) override;
    void OnCompare();

private:
    UiHost& host_;
    COctileDoc& doc_;
    COctileView& view_;
};

}  // namespace octile
