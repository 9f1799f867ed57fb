#pragma once
// The program's resources as data: string table, menu 128, accelerator
// table 128 and toolbar 128. The GUI builds its widgets from these tables.
#include <cstdint>
#include <string>
#include <vector>

namespace octile {

// String table ids that are not command ids.
enum StringId : uint32_t {
    IDS_ABOUT_RESET_QUESTION = 124,
    IDS_REPLACE_QUESTION = 126,
    IDR_MAINFRAME = 128,
    IDS_SAVE_ERROR = 10000,
    IDS_SAVE_NO_MEMORY = 10001,
    IDS_FILEOPEN_NG = 10002,
    IDS_ERROR_CODE = 10003,
    IDS_WRITE_ERROR = 10004,
    IDS_IO_ERROR = 10006,
    IDS_RANGE_HEX = 10007,
    IDS_SEARCHING = 10008,
    IDS_SAVING = 10009,
    IDS_DEF_FILTER = 10010,
    IDS_FILTER = 10011,
    IDS_TXT_EXT = 10012,
    IDS_TXT_FILTER = 10013,
    IDS_FONT_FACE = 10014,
    IDS_INI_EXT = 10015,
    IDS_INI_FILTER = 10016,
    IDS_BMP_FILTER = 10018,
    IDS_BMP_EXT = 10019,
    IDS_FILL_VALUE = 10020,
    IDS_REWRITING = 10021,
    IDS_RULER = 10023,
    // The edit journal's messages.
    IDS_JOURNAL_WRITE_ERROR = 10030,
    IDS_JOURNAL_FILE_CHANGED = 10031,
    IDS_JOURNAL_TOO_LARGE = 10032,
    IDS_JOURNAL_BROKEN = 10033,
    IDS_SHIFT_COMPLETED_INSERT = 10034,
    IDS_SHIFT_COMPLETED_DELETE = 10035,
    IDS_SHIFT_NOT_COMPLETED = 10036,
    IDS_NOTHING_TO_UNDO = 10037,
    IDS_NOTHING_TO_REDO = 10038,
    // An output path that names a FIFO, a device or a folder.
    IDS_NOT_REGULAR_FILE = 10040,
    AFX_IDS_APP_TITLE = 57344,
    AFX_IDS_IDLEMESSAGE = 57345,
    AFX_IDS_UNTITLED = 61443,
    // The framework's file-error texts.
    AFX_IDP_FAILED_TO_OPEN_DOC = 61700,
    AFX_IDP_FILE_NOT_FOUND = 61710,
    AFX_IDP_FILE_BAD_PATH = 61711,
    AFX_IDP_FILE_TOO_MANY_OPEN = 61712,
    AFX_IDP_FILE_ACCESS_DENIED = 61713,
    AFX_IDP_FILE_SHARING = 61719,
    AFX_IDP_FILE_LOCKING = 61720,
    AFX_IDP_FILE_GENERIC = 61721,
    AFX_IDP_FILE_DISKFULL = 61722,
    AFX_IDP_PARSE_STRING_SIZE = 61716,
};

// The text of a string table entry; empty when there is none.
const std::u16string& LoadString(uint32_t id);
// The prompt part (before "\n") and the tool-tip part (after it).
std::u16string LoadPrompt(uint32_t id);
std::u16string LoadToolTip(uint32_t id);

struct MenuItem {
    enum Kind { Item, Separator, Popup } kind = Item;
    std::u16string caption;  // with "&" mnemonic and "\t" key text
    uint32_t id = 0;
    std::vector<MenuItem> children;  // for popups
};

// Menu 128: the top-level popups in order.
const std::vector<MenuItem>& MainMenu();

// Virtual-key codes used by the accelerator table.
enum VirtualKey : uint32_t {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_ESCAPE = 0x1B,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
    VK_F2 = 0x71,
    VK_F3 = 0x72,
    VK_F4 = 0x73,
    VK_F6 = 0x75,
};

enum AccelModifier : uint32_t { ACC_NONE = 0, ACC_SHIFT = 1, ACC_CONTROL = 2 };

struct Accelerator {
    uint32_t key;        // VK_* or an upper-case letter/digit
    uint32_t modifiers;  // AccelModifier bits
    uint32_t command;
};

// Accelerator table 128.
const std::vector<Accelerator>& Accelerators();
// The command bound to a key, or 0.
uint32_t FindAccelerator(uint32_t key, uint32_t modifiers);

// Toolbar 128: command ids in order, 0 for a separator.
const std::vector<uint32_t>& ToolbarButtons();

}  // namespace octile
