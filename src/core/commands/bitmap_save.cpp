#include "commands/bitmap_save.h"

#include "document/busy_scope.h"
#include "document/document.h"
#include "document/range_export.h"
#include "io/output_file.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {

namespace {

// Writes the bitmap file into a new file that replaces the one at path once
// it is complete; on a failure the file at path keeps its old contents.
uint32_t WriteBitmapTo(const CDib& dib, const std::string& path) {
    OutputFile out;
    switch (out.Open(path)) {
        case OutputStatus::Ready:
            break;
        case OutputStatus::NotRegularFile:
            return IDS_NOT_REGULAR_FILE;
        case OutputStatus::CannotCreate:
            return IDS_SAVE_ERROR;
    }
    if (!dib.WriteBitmapFile(out.fd()) || !out.Commit()) return IDS_SAVE_ERROR;
    return 0;
}

}  // namespace

uint32_t SaveBitmapAs(const CDib& dib, const std::string& path) {
    if (IsExtensionOnlyName(path)) return IDS_FILEOPEN_NG;
    return WriteBitmapTo(dib, path);
}

bool OnFileSaveBitmap(Feedback& feedback, DialogHost& dialogs, const CDib& dib, COctileDoc& doc) {
    FileDialogRequest request;
    request.save = true;
    request.title = u"BITMAP保存";
    request.filter = LoadString(IDS_BMP_FILTER);
    request.defaultExtension = LoadString(IDS_BMP_EXT);
    request.overwritePrompt = true;
    if (!dialogs.GetFileName(request)) return false;
    const std::string& path = request.chosenPath;
    // Refused before the wait cursor is shown.
    if (IsExtensionOnlyName(path)) {
        feedback.MessageBox(LoadString(IDS_FILEOPEN_NG), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    // The open file by any name is refused like a file that cannot be
    // created: the bitmap would replace the bytes the window still shows.
    uint32_t message;
    {
        BusyScope busy(doc.busy(), BusyState::kFileOperation, feedback);
        message = doc.IsOpenFile(path) ? IDS_SAVE_ERROR : WriteBitmapTo(dib, path);
    }
    if (message != 0) {
        feedback.MessageBox(ReplacePercent1(LoadString(message), Utf8ToUtf16(FullPath(path))),
                            MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

}  // namespace octile
