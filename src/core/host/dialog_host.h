#pragma once
// DialogHost: the modal dialogs and the system's choosers.
#include <cstdint>
#include <string>

#include "host/dialogs.h"
#include "host/font.h"

namespace octile {

class DialogHost {
  public:
    virtual ~DialogHost() = default;

    // Shows a dialog of dialogs.h: IDOK, IDCANCEL or the dialog's own end code.
    virtual int DoModal(DialogRef dialog) = 0;
    // The file chooser; true, with request.chosenPath filled, on OK.
    virtual bool GetFileName(FileDialogRequest& request) = 0;
    // The folder browser, starting at folder; true, with folder replaced, on OK.
    virtual bool BrowseForFolder(std::string& folder) = 0;
    // The colour chooser, preset to colour (0x00BBGGRR); false on cancel.
    virtual bool ChooseColor(uint32_t& colour) {
        (void)colour;
        return false;
    }
    // The font chooser (fixed-pitch fonts only), preset to font; false on cancel.
    virtual bool ChooseFont(ViewFont& font) {
        (void)font;
        return false;
    }
};

}  // namespace octile
