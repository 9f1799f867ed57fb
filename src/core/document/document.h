#pragma once
// COctileDoc: the one open file. It never loads the file: every read and
// write goes straight to the file through 64-bit positioned calls.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "command/command_ids.h"
#include "document/busy_scope.h"
#include "document/journal.h"
#include "host/dialogs.h"
#include "host/feedback.h"
#include "io/file_handle.h"
#include "io/path.h"

namespace octile {

class COctileDoc : public CommandTarget {
  public:
    static constexpr uint64_t kLookAhead = 16;

    // Messages (a file that cannot be opened) go to feedback.
    explicit COctileDoc(Feedback& feedback);

    // Wiring to the application: the current template path, the file
    // chooser the open command asks (true when a file was chosen; unwired,
    // nothing is), and the application's open path (which ends in
    // OnOpenDocument).
    std::function<std::string()> templatePath;
    std::function<bool(FileDialogRequest&)> chooseFile;
    std::function<bool(const std::string&)> openDocumentFile;
    // The template file's path; empty when none is wired.
    std::string TemplatePath() const { return templatePath ? templatePath() : std::string(); }

    // Opens the file at path: probe first, then the mode's open. On a failed
    // probe the message is shown and the previous file stays open.
    bool OnOpenDocument(const std::string& path);
    void OnCloseDocument();

    // Reads n bytes at offset into buffer, which must hold n + 16 bytes: the
    // 16 bytes after the span receive the file's next bytes, or 0 past its
    // end. Returns min(bytes read, n).
    uint32_t ReadBytes(uint8_t* buffer, uint64_t n, uint64_t offset);
    // Writes count bytes at offset. With a journal, the bytes it changes are
    // recorded first (in the running EditStep, or in a step of their own);
    // when that record cannot be written nothing is written, the document
    // shows why and WriteRefusedByJournal() is true until the next write.
    uint32_t WriteBytes(const uint8_t* buffer, uint32_t count, uint64_t offset);
    bool WriteRefusedByJournal() const { return journalRefused_; }

    uint64_t GetFileLength() const { return fileLength_; }
    int IsReadOnly() const { return readOnly_; }
    bool IsInFile(uint64_t offset) const { return offset < fileLength_; }
    bool HasFile() const { return file_.IsOpen(); }
    // The length writes may use: the measured length, or less when another
    // program has shortened the file since (so a write never lengthens it).
    uint64_t LiveLength() const { return std::min(fileLength_, file_.Length()); }
    // Measures the length again (after an edit changed it; every read does).
    void RemeasureLength();
    // Counts the changes of the measured length, by an edit or by another
    // program, so that the view can fit its scroll range and page to them.
    uint64_t LengthSerial() const { return lengthSerial_; }
    const FileHandle& file() const { return file_; }
    // Counts every open, reopen and close of the file handle, so that state
    // kept for one opening (a half-typed character) is never applied to
    // another file, or to the same file reopened read-only.
    uint64_t OpenSerial() const { return openSerial_; }
    // True when path names the open file by any name (itself, a symbolic
    // link to it, a hard link): writing an output there would overwrite the
    // bytes being shown or copied.
    bool IsOpenFile(const std::string& path) const;

    // Full path of the file last opened, and its name for the title.
    const std::string& GetPathName() const { return pathName_; }
    std::u16string GetTitle() const;

    void OnFileOpen();
    void OnToggleReadOnly();

    bool OnCommand(uint32_t id) override;
    bool OnUpdateCommand(uint32_t id, CmdUI& ui) override;

    // The open dialog's filter and default extension as last read from the
    // template file (the partial save offers the same).
    const std::u16string& openFilter() const { return filter_; }
    const std::u16string& openDefaultExtension() const { return defaultExtension_; }

    // The edit journal (undo, redo, interrupted shifts). The options apply
    // from the next open; without a folder, edits run unrecorded. Null while
    // no file is open read-write.
    void SetJournalOptions(const JournalOptions& options) { journalOptions_ = options; }
    const JournalOptions& journalOptions() const { return journalOptions_; }
    EditJournal* journal() { return journal_.get(); }
    const EditJournal* journal() const { return journal_.get(); }
    bool CanUndo() const { return journal_ && !readOnly_ && journal_->CanUndo(); }
    bool CanRedo() const { return journal_ && !readOnly_ && journal_->CanRedo(); }
    // Off (octile-cli --no-undo, or a change the user agreed cannot be
    // undone): changes are written without undo data and the history before
    // them is dropped.
    void SetUndoRecording(bool on) { recordUndo_ = on; }
    bool UndoRecording() const { return recordUndo_; }
    // True when the journal folder could not be used: edits are refused.
    bool JournalUnavailable() const { return journalUnavailable_ && !readOnly_; }
    // Shows the journal's failure message with the path (used by the edits).
    void ShowJournalFailure();
    // Opens the journal for the file open now (read-write), completing an
    // interrupted shift first; the open and the read-only toggle call it.
    void AttachJournal();

    // Whether a long operation on the file runs (they mark it with a
    // BusyScope); commands that change or replace the file must wait.
    BusyState& busy() { return busy_; }
    const BusyState& busy() const { return busy_; }

  private:
    friend class EditStep;
    bool BeginStep(uint64_t position);
    void EndStep();

    Feedback& feedback_;
    BusyState busy_;
    uint64_t fileLength_ = 0;
    uint64_t lengthSerial_ = 0;
    FileHandle file_;
    uint64_t openSerial_ = 0;
    std::u16string filter_;
    std::u16string defaultExtension_;
    std::string lastChosenPath_;
    int32_t readOnly_ = 1;
    bool openedByDialog_ = false;
    std::string pathName_;
    std::string openPath_;  // what the kernel resolves: the path as the user gave it, made absolute
    JournalOptions journalOptions_;
    std::unique_ptr<EditJournal> journal_;
    bool recordUndo_ = true;
    bool journalRefused_ = false;
    bool journalUnavailable_ = false;  // a journal folder that cannot be used
    bool stepWrote_ = false;
    int stepDepth_ = 0;
    bool stepOk_ = false;
};

// Groups the overwrites made while it lives into one step of the history
// (a fill, a paste, a replace-all run). Nested steps join the outer one.
class EditStep {
  public:
    explicit EditStep(COctileDoc& doc, uint64_t position = 0) : doc_(doc) {
        ok_ = doc_.BeginStep(position);
    }
    ~EditStep() { doc_.EndStep(); }
    EditStep(const EditStep&) = delete;
    EditStep& operator=(const EditStep&) = delete;
    // False when the journal could not begin the step (the document showed
    // why): the edit must not write.
    bool ok() const { return ok_; }

  private:
    COctileDoc& doc_;
    bool ok_ = false;
};

}  // namespace octile
