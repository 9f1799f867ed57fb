#include "document/document.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "document/file_error.h"
#include "io/path.h"
#include "resources/resources.h"
#include "settings/template_file.h"
#include "util/utf.h"

namespace octile {

COctileDoc::COctileDoc(Feedback& feedback)
    : feedback_(feedback),
      filter_(LoadString(IDS_FILTER)),
      defaultExtension_(LoadString(IDS_DEF_FILTER)) {}

bool COctileDoc::OnOpenDocument(const std::string& path) {
    // The file opened is the one the kernel finds for the path (symbolic
    // links followed before ".."); the title and the marks keep the path's
    // normalised text.
    const std::string target = AbsolutePath(path);
    const std::string full = FullPath(path);
    OpenError error = target.empty() ? OpenError::BadPath : OpenError::None;
    {
        FileHandle probe;
        if (!target.empty()) probe = FileHandle::Open(target, FileHandle::Probe, &error);
        if (!probe.IsOpen()) {
            feedback_.MessageBox(OpenErrorMessage(error, full), MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
    }
    file_.Close();
    ++openSerial_;
    if (!openedByDialog_) readOnly_ = ReadTemplateFlags(TemplatePath()).noReadOnly ? 0 : 1;
    file_ =
        FileHandle::Open(target, readOnly_ ? FileHandle::ReadOnly : FileHandle::ReadWrite, &error);
    // A failed second open leaves the document without a file; its length
    // becomes 0 so nothing pages into bytes that cannot be read.
    fileLength_ = file_.IsOpen() ? file_.Length() : 0;
    pathName_ = full;
    openPath_ = target;
    return true;
}

void COctileDoc::OnCloseDocument() {
    file_.Close();
    ++openSerial_;
}

uint32_t COctileDoc::ReadBytes(uint8_t* buffer, uint64_t n, uint64_t offset) {
    if (!file_.IsOpen()) return 0;
    const uint64_t got = file_.ReadAt(buffer, n + kLookAhead, offset);
    std::memset(buffer + got, 0, n + kLookAhead - got);  // past the end of the file
    return static_cast<uint32_t>(std::min<uint64_t>({got, n, UINT32_MAX}));
}

uint32_t COctileDoc::WriteBytes(const uint8_t* buffer, uint32_t count, uint64_t offset) {
    if (!file_.IsOpen()) return 0;
    return static_cast<uint32_t>(file_.WriteAt(buffer, count, offset));
}

bool COctileDoc::IsOpenFile(const std::string& path) const {
    return file_.IsOpen() && IsSameFile(file_.fd(), path);
}

void COctileDoc::RemeasureLength() { fileLength_ = file_.IsOpen() ? file_.Length() : 0; }

std::u16string COctileDoc::GetTitle() const {
    if (pathName_.empty()) return LoadString(AFX_IDS_UNTITLED);
    const size_t slash = pathName_.rfind('/');
    return Utf8ToUtf16(slash == std::string::npos ? pathName_ : pathName_.substr(slash + 1));
}

void COctileDoc::OnFileOpen() {
    const FileFilter f = ReadFileFilter(TemplatePath());
    filter_ = f.filter;
    defaultExtension_ = f.defaultExtension;
    FileDialogRequest request;
    request.title = u"開く";
    request.filter = filter_;
    request.defaultExtension = defaultExtension_;
    request.initialPath = lastChosenPath_;
    if (!chooseFile || !chooseFile(request)) return;
    lastChosenPath_ = request.chosenPath;
    // The dialog's read-only option is always ticked; a file the user may
    // not write stays read-only in any case.
    readOnly_ = 1;
    openedByDialog_ = true;
    if (openDocumentFile) openDocumentFile(request.chosenPath);
    openedByDialog_ = false;
}

void COctileDoc::OnToggleReadOnly() {
    if (!file_.IsOpen()) return;
    readOnly_ = readOnly_ ? 0 : 1;
    file_.Close();
    ++openSerial_;
    if (::access(openPath_.c_str(), W_OK) != 0) readOnly_ = 1;
    OpenError error = OpenError::None;
    file_ = FileHandle::Open(openPath_, readOnly_ ? FileHandle::ReadOnly : FileHandle::ReadWrite,
                             &error);
}

bool COctileDoc::OnCommand(uint32_t id) {
    switch (id) {
        case ID_FILE_OPEN:
            OnFileOpen();
            return true;
        case ID_READ_ONLY:
            OnToggleReadOnly();
            return true;
        case ID_FILE_NEW:
        case ID_FILE_SAVE:
            return true;  // never runs the framework's new or save step
        default:
            return false;
    }
}

bool COctileDoc::OnUpdateCommand(uint32_t id, CmdUI& ui) {
    switch (id) {
        case ID_FILE_SAVE_AS:
        case ID_EDIT_COPY:
            ui.Enable(file_.IsOpen());
            return true;
        case ID_EDIT_PASTE:
        case ID_EDIT_FILL:
        case ID_EDIT_INSERT:
        case ID_EDIT_DELETE:
            ui.Enable(readOnly_ == 0);
            return true;
        case ID_READ_ONLY:
            ui.Enable(true);
            ui.SetCheck(readOnly_ != 0);
            return true;
        default:
            return false;
    }
}

}  // namespace octile
