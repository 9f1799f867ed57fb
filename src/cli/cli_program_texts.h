#pragma once
// The English texts of the program's messages that octile-cli can print: the
// string table entries the core shows through the tool's host (opening,
// editing, the journal, undo, exports, bitmap save) and those the tool shows
// itself. The window keeps the Japanese table; the tool prints these in a
// locale whose messages are not Japanese. "%1" stands where the Japanese
// text has it (a path, or the "2" of the fill value's length).
#include <cstdint>
#include <string_view>

#include "resources/resources.h"

namespace octile::cli {

struct EnglishText {
    uint32_t id;
    std::u16string_view english;
};

inline constexpr EnglishText kProgramTexts[] = {
    {IDS_SAVE_ERROR, u"an error occurred while saving the file '%1'"},
    {IDS_SAVE_NO_MEMORY, u"not enough memory to save the file '%1'"},
    {IDS_FILEOPEN_NG, u"FileOpen NG: the file name is only an extension"},
    {IDS_WRITE_ERROR, u"an error occurred while writing the file '%1'"},
    {IDS_IO_ERROR, u"an I/O error occurred on the file '%1'"},
    {IDS_RANGE_HEX, u"give the range in hexadecimal"},
    {IDS_FILL_VALUE, u"give the value to write"},
    {IDS_JOURNAL_WRITE_ERROR, u"%1 was not changed: the edit journal cannot be written"},
    {IDS_JOURNAL_FILE_CHANGED,
     u"%1 has been changed by another program: undo and redo are not possible"},
    {IDS_JOURNAL_TOO_LARGE,
     u"this change exceeds the limit of the edit journal and could not be undone. Make it?"},
    {IDS_JOURNAL_BROKEN, u"the edit journal of %1 is damaged: the change cannot be undone"},
    {IDS_SHIFT_COMPLETED_INSERT, u"an insert into %1 had been cut short and has been completed"},
    {IDS_SHIFT_COMPLETED_DELETE, u"a delete from %1 had been cut short and has been completed"},
    {IDS_SHIFT_NOT_COMPLETED, u"the interrupted insert or delete of %1 could not be completed"},
    {IDS_NOTHING_TO_UNDO, u"there is no change to undo"},
    {IDS_NOTHING_TO_REDO, u"there is no change to redo"},
    {IDS_NOT_REGULAR_FILE, u"%1 is not a regular file and cannot be written"},
    {AFX_IDP_FAILED_TO_OPEN_DOC, u"the document could not be opened"},
    {AFX_IDP_FILE_NOT_FOUND, u"%1 was not found"},
    {AFX_IDP_FILE_BAD_PATH, u"%1 contains an invalid path"},
    {AFX_IDP_FILE_TOO_MANY_OPEN, u"%1 could not be opened: too many files are open"},
    {AFX_IDP_FILE_ACCESS_DENIED, u"access to %1 was denied"},
    {AFX_IDP_FILE_SHARING, u"a sharing violation occurred while accessing %1"},
    {AFX_IDP_FILE_GENERIC, u"an unknown error occurred while accessing %1"},
    {AFX_IDP_FILE_DISKFULL, u"the disk became full while accessing %1"},
    {AFX_IDP_PARSE_STRING_SIZE, u"enter at most %1 characters"},
};

}  // namespace octile::cli
