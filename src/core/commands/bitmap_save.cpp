#include "commands/bitmap_save.h"

#include <fcntl.h>
#include <unistd.h>

#include "document/busy_scope.h"
#include "document/document.h"
#include "document/range_export.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {

namespace {

// Creates the file or empties it and writes the bitmap file into it, through
// one descriptor. The file is left created and empty when there is nothing
// to write.
uint32_t WriteBitmapTo(const CDib& dib, const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return IDS_SAVE_ERROR;
    const bool written = dib.WriteBitmapFile(fd);
    // A failing close can still lose the data (full disk on a network share).
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) return IDS_SAVE_ERROR;
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
