#pragma once
// A UiHost for octile-cli: message boxes become lines on standard error, in
// the language of the locale's messages, every question is answered no (or
// cancel), everything a window would show is dropped, and every dialog is
// cancelled. Also opens the document the way the file subcommands need it.
#include <cerrno>
#include <cstdio>
#include <string>

#include "cli/cli_input.h"
#include "cli/cli_util.h"
#include "document/document.h"
#include "document/file_error.h"
#include "host/ui_host.h"

namespace octile::cli {

class CliHost : public UiHost {
  public:
    int MessageBox(const std::u16string& text, uint32_t type) override {
        PrintMessage(text);
        ++messages_;
        switch (type & 0xF) {
            case MB_YESNO:
                declined_ = true;
                return IDNO;
            case MB_YESNOCANCEL:
                declined_ = true;
                return IDCANCEL;
            default:
                return IDOK;
        }
    }
    void Beep() override {}
    void SetMessageText(const std::u16string&) override {}
    void PumpMessages() override {}
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    int DoModal(DialogRef) override { return IDCANCEL; }
    bool GetFileName(FileDialogRequest&) override { return false; }
    bool BrowseForFolder(std::string&) override { return false; }
    void SetClipboardText(const std::u16string&) override {}
    std::u16string GetClipboardText() override { return {}; }
    void OpenWithShell(const std::string&) override {}
    void CloseMainWindow() override {}
    void UpdateTitle() override {}
    void RecalcFrameWidth() override {}
    void RepaintView() override {}
    void UpdateInversions() override {}
    void SetScrollRange(int32_t, int32_t) override {}
    void SetScrollPos(int32_t) override {}
    void ShowScrollBar(bool) override {}
    void SetCapture() override {}
    void ReleaseCapture() override {}
    void SetTimer(uint32_t, uint32_t) override {}
    void KillTimer(uint32_t) override {}
    Point GetCursorPos() override { return {}; }
    int32_t GetWheelScrollLines() override { return 3; }
    FontMetrics MeasureFont(const ViewFont&) override { return {}; }

    // The messages shown so far.
    int messages() const { return messages_; }
    // Whether a question was answered no: the only ones an edit asks are
    // whether to go on without undo data.
    bool declined() const { return declined_; }

  private:
    int messages_ = 0;
    bool declined_ = false;
};

// Opens path in doc, read-only or read-write, with the user's journal
// settings (read-write, the open completes an insert or delete that was cut
// short). False, with the reason printed (the window's open-error text and
// the system's reason), when the file cannot be opened that way.
inline bool OpenDocument(COctileDoc& doc, const std::string& path, bool writable) {
    if (!CheckDocumentFile(path, writable)) return false;
    const JournalOptions journal = UserJournalOptions();
    // A file to be changed is opened read-only and then reopened read-write;
    // the journal waits for the second open, so that a shift cut short is
    // completed (or its failure told) once.
    doc.SetJournalOptions(writable ? JournalOptions{} : journal);
    if (!doc.OnOpenDocument(path)) return false;  // the document printed why
    doc.SetJournalOptions(journal);
    if (writable && doc.HasFile()) doc.OnToggleReadOnly();
    if (doc.HasFile() && (!writable || doc.IsReadOnly() == 0)) return true;
    // Ask the file system once more for the reason the mode's open failed.
    OpenError error = OpenError::None;
    errno = 0;
    FileHandle::Open(doc.GetPathName(), writable ? FileHandle::ReadWrite : FileHandle::ReadOnly,
                     &error);
    // No error: the file is not writable by this user. A lock of another
    // Octile process has no reason of the system's.
    const int err = error == OpenError::None ? EACCES : error == OpenError::Sharing ? 0 : errno;
    ReportOpenFailure({error == OpenError::None ? OpenError::AccessDenied : error, err, false},
                      doc.GetPathName());
    return false;
}

// The exit status of an edit. A change refused because its undo data would
// not fit under the journal's limit gets a line naming --no-undo.
inline int EditExit(const CliHost& host, bool ok) {
    if (ok) return kExitOk;
    if (host.declined()) PrintLine(Say(Text::kRunWithNoUndo));
    return kExitRefused;
}

}  // namespace octile::cli
