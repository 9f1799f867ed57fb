#pragma once
// Command identifiers. The numbers are the program's command ids; menus,
// accelerators, the toolbar and status-bar clicks all deliver these.
#include <cstdint>

namespace octile {

enum CommandId : uint32_t {
    // Document, export and shell commands.
    ID_FILE_HEXLIST = 101,
    ID_INDICATOR_ADDR = 102,
    ID_INDICATOR_MODE = 103,
    ID_INDICATOR_CODE = 104,
    ID_INDICATOR_MARK1 = 105,
    ID_INDICATOR_MARK2 = 106,
    ID_INDICATOR_MARK3 = 107,
    ID_INDICATOR_MARK4 = 108,
    ID_INDICATOR_MARK5 = 109,
    ID_PAGE_PREV = 110,
    ID_PAGE_NEXT = 111,
    ID_JUMP = 112,
    ID_SEARCH = 113,
    ID_READ_SIZE = 120,
    ID_READ_ONLY = 121,
    ID_VIEW_FONT = 122,

    // Cursor commands.
    ID_CARET_LEFT = 32771,
    ID_CARET_RIGHT = 32772,
    ID_CARET_UP = 32773,
    ID_CARET_DOWN = 32774,
    ID_CARET_HOME = 32775,
    ID_CARET_END = 32776,
    ID_WINDOW_TOP = 32777,
    ID_WINDOW_BOTTOM = 32778,
    ID_SEARCH_NEXT = 32779,
    ID_SEARCH_MODE_STRING = 32781,
    ID_HELP_HISTORY = 32784,
    ID_SEARCH_MODE_HEX = 32785,
    ID_HELP_README = 32786,
    ID_VIEW_COLOR = 32787,
    ID_CODE_SJIS = 32788,
    ID_CODE_UNICODE = 32789,
    ID_SETTINGS = 32790,
    ID_HELP_SETTING = 32791,
    ID_VIEW_BKCOLOR = 32792,
    ID_VIEW_PICTURE = 32793,
    ID_SEARCH_PREV = 32794,
    ID_REPLACE = 32795,
    ID_FILE_SAVE_BITMAP = 32796,
    ID_CODE_EUC = 32797,
    ID_SELECT_UP = 32798,
    ID_SELECT_DOWN = 32799,
    ID_SELECT_LEFT = 32800,
    ID_SELECT_RIGHT = 32801,
    ID_SELECT_TOP = 32802,
    ID_SELECT_BOTTOM = 32803,
    ID_MARK_NEXT = 32805,
    ID_MARK_PREV = 32806,
    ID_EDIT_FILL = 32808,
    ID_COMPARE = 32809,
    ID_VIEW_UPPER = 32810,
    ID_SEARCH_ABORT = 32811,
    ID_EDIT_INSERT = 32812,
    ID_EDIT_DELETE = 32813,
    ID_MARK2 = 32814,
    ID_MARK_COLOR1 = 32820,
    ID_MARK_COLOR2 = 32821,
    ID_MARK_COLOR3 = 32822,
    ID_MARK_COLOR4 = 32823,
    ID_MARK_COLOR5 = 32824,
    ID_MARK3 = 32829,
    ID_MARK4 = 32830,
    ID_MARK5 = 32831,
    ID_MARK1 = 32832,
    ID_CODE_NEXT = 32833,
    ID_CODE_UTF8 = 32834,
    ID_VIEW_INSPECTOR = 32835,

    // Framework command ids.
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_MRU_FIRST = 57616,
    ID_FILE_MRU_LAST = 57631,
    ID_EDIT_COPY = 57634,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// What a command's update handler reports: enabled, check mark, radio mark.
struct CmdUI {
    bool enabled = true;
    bool checked = false;
    bool radio = false;
    bool handled = false;  // set by the handler that answered

    void Enable(bool on) {
        enabled = on;
        handled = true;
    }
    void SetCheck(bool on) {
        checked = on;
        handled = true;
    }
    void SetRadio(bool on) {
        radio = on;
        checked = on;
        handled = true;
    }
};

// One link of the command route: view, document, frame, application.
class CommandTarget {
  public:
    virtual ~CommandTarget() = default;
    // Runs the command; returns false when this target does not handle it.
    virtual bool OnCommand(uint32_t id) = 0;
    // Fills in the state of the command; returns false when not handled here.
    virtual bool OnUpdateCommand(uint32_t id, CmdUI& ui) = 0;
};

}  // namespace octile
