#include "document/document.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "document/file_error.h"
#include "document/long_operation.h"
#include "document/undo.h"
#include "io/path.h"
#include "resources/resources.h"
#include "settings/template_file.h"
#include "util/utf.h"

namespace octile {

COctileDoc::COctileDoc(Feedback& feedback)
    : feedback_(feedback),
      filter_(LoadString(IDS_FILTER)),
      defaultExtension_(LoadString(IDS_DEF_FILTER)),
      journalOptions_(ReadJournalOptions(nullptr)) {}

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
    AttachJournal();
    return true;
}

void COctileDoc::OnCloseDocument() {
    journal_.reset();
    file_.Close();
    ++openSerial_;
}

void COctileDoc::AttachJournal() {
    journal_.reset();
    journalUnavailable_ = false;
    if (!file_.IsOpen() || journalOptions_.folder.empty()) return;
    const std::string resolved = ResolvedPath(file_.fd());
    if (readOnly_) {
        // A file shown read-only is still repaired when an insert or delete
        // of it was cut short: its bytes would otherwise be shown half moved.
        if (!EditJournal::HasPendingShift(journalOptions_, file_.fd(), resolved)) return;
        OpenError error = OpenError::None;
        FileHandle shown = std::move(file_);
        file_ = FileHandle::Open(openPath_, FileHandle::ReadWrite, &error);
        if (file_.IsOpen()) {
            readOnly_ = 0;
            journal_ = EditJournal::Open(journalOptions_, file_.fd(), resolved);
            if (journal_) RecoverInterruptedShift(*this, feedback_);
            journal_.reset();
            readOnly_ = 1;
        } else {
            ShowPathMessage(feedback_, IDS_SHIFT_NOT_COMPLETED, pathName_);
        }
        file_ = std::move(shown);
        RemeasureLength();
        return;
    }
    journal_ = EditJournal::Open(journalOptions_, file_.fd(), resolved);
    if (!journal_) {
        journalUnavailable_ = true;  // edits are refused: nothing would protect them
        return;
    }
    if (journal_->ShiftPending()) RecoverInterruptedShift(*this, feedback_);
}

void COctileDoc::ShowJournalFailure() {
    ShowPathMessage(feedback_, IDS_JOURNAL_WRITE_ERROR, pathName_);
}

bool COctileDoc::BeginStep(uint64_t position) {
    if (stepDepth_++ > 0) return stepOk_;
    stepWrote_ = false;
    stepOk_ = true;
    if (journalUnavailable_ && !readOnly_) {
        stepOk_ = false;
    } else if (journal_ && !readOnly_) {
        stepOk_ =
            journal_->Begin(file_.fd(), EditJournal::Role::Edit, EditKind::Overwrite, position, 0);
        if (stepOk_ && !recordUndo_) journal_->Abandon();
    }
    if (!stepOk_) ShowJournalFailure();
    return stepOk_;
}

void COctileDoc::EndStep() {
    if (--stepDepth_ > 0 || !stepOk_ || !journal_ || !journal_->InStep()) return;
    if (!stepWrote_) {
        journal_->Cancel();
    } else if (!journal_->Commit(file_.fd())) {
        ShowJournalFailure();
    }
}

uint32_t COctileDoc::ReadBytes(uint8_t* buffer, uint64_t n, uint64_t offset) {
    if (!file_.IsOpen()) return 0;
    // Another program may have cut or lengthened the file since: every read
    // takes the length the file has now.
    RemeasureLength();
    const uint64_t got = file_.ReadAt(buffer, n + kLookAhead, offset);
    std::memset(buffer + got, 0, n + kLookAhead - got);  // past the end of the file
    return static_cast<uint32_t>(std::min<uint64_t>({got, n, UINT32_MAX}));
}

uint32_t COctileDoc::WriteBytes(const uint8_t* buffer, uint32_t count, uint64_t offset) {
    journalRefused_ = false;
    if (!file_.IsOpen()) return 0;
    if (readOnly_ || (!journal_ && !journalUnavailable_)) {
        return static_cast<uint32_t>(file_.WriteAt(buffer, count, offset));
    }
    EditStep step(*this, offset);
    if (!step.ok()) {
        journalRefused_ = true;
        return 0;
    }
    // Piece by piece: the bytes a piece changes are recorded, then the piece
    // is written. A piece that changes nothing is not written at all, so the
    // file keeps its modification time.
    constexpr uint64_t kPiece = 1 << 20;
    std::vector<uint8_t> old(std::min<uint64_t>(count, kPiece));
    for (uint64_t done = 0; done < count;) {
        const uint64_t n = std::min<uint64_t>(count - done, kPiece);
        const uint64_t at = offset + done;
        const uint8_t* fresh = buffer + done;
        const uint64_t got = file_.ReadAt(old.data(), n, at);
        if (got < n && at + got < file_.Length()) return static_cast<uint32_t>(done);  // read error
        uint64_t first = 0;
        while (first < got && old[first] == fresh[first]) ++first;
        uint64_t last = got;
        while (last > first && old[last - 1] == fresh[last - 1]) --last;
        if (first < last && !journal_->RecordBytes(at + first, old.data() + first, last - first)) {
            ShowJournalFailure();
            journalRefused_ = true;
            return static_cast<uint32_t>(done);
        }
        // Bytes past the end have nothing to record; they are written too.
        const uint64_t from = first;
        const uint64_t to = got < n ? n : last;
        if (from < to) {
            stepWrote_ = true;
            const uint64_t w = file_.WriteAt(fresh + from, to - from, at + from);
            if (w != to - from) return static_cast<uint32_t>(done + from + w);
        }
        done += n;
    }
    return count;
}

bool COctileDoc::IsOpenFile(const std::string& path) const {
    return file_.IsOpen() && IsSameFile(file_.fd(), path);
}

void COctileDoc::RemeasureLength() {
    const uint64_t length = file_.IsOpen() ? file_.Length() : 0;
    if (length != fileLength_) ++lengthSerial_;
    fileLength_ = length;
}

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
    journal_.reset();
    readOnly_ = readOnly_ ? 0 : 1;
    file_.Close();
    ++openSerial_;
    if (::access(openPath_.c_str(), W_OK) != 0) readOnly_ = 1;
    OpenError error = OpenError::None;
    file_ = FileHandle::Open(openPath_, readOnly_ ? FileHandle::ReadOnly : FileHandle::ReadWrite,
                             &error);
    AttachJournal();
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
