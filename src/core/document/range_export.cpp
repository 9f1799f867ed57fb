#include "document/range_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <vector>

#include "document/long_operation.h"

namespace octile {

namespace {

constexpr uint64_t kLookAhead = COctileDoc::kLookAhead;
// The hex listing reads and writes this many bytes at a time and formats
// them as independent 256-byte blocks, so the file is the same as block by
// block, with fewer system calls.
constexpr uint64_t kHexListChunk = 64 * kHexListBlock;

// The output file: written in order; remembers whether a write failed with
// an error (a short write without one is reported differently).
class OutputFile {
public:
    // Creates or empties the file at path; with create false it stays closed.
    OutputFile(const std::string& path, bool create)
        : file_(create ? FileHandle::Create(path) : FileHandle()) {}
    bool IsOpen() const { return file_.IsOpen(); }
    bool InError() const { return error_; }

    // Writes size bytes; true when all were written.
    bool Write(const void* data, uint64_t size) {
        errno = 0;
        const uint64_t n = file_.WriteAt(static_cast<const uint8_t*>(data), size, offset_);
        offset_ += n;
        if (n < size && errno != 0) error_ = true;
        return n == size;
    }

    // UTF-16 text as little-endian units.
    bool WriteUtf16(const std::u16string& text) {
        if constexpr (std::endian::native == std::endian::little) {
            return Write(text.data(), text.size() * sizeof(char16_t));
        } else {
            bytes_.resize(text.size() * 2);
            for (size_t i = 0; i < text.size(); ++i) {
                bytes_[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
                bytes_[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
            }
            return Write(bytes_.data(), bytes_.size());
        }
    }

private:
    FileHandle file_;
    uint64_t offset_ = 0;
    bool error_ = false;
    std::vector<uint8_t> bytes_;
};

// The text FormatDump makes of each 256-byte block: its ruler, its lines and
// its closing rule. Ruler and rule are the same for every block, so they are
// made once.
class HexBlockFormatter {
public:
    explicit HexBlockFormatter(const DumpSettings& settings) : settings_(settings) {
        const DumpFormatter formatter(settings, 0);
        formatter.Begin(ruler_);
        formatter.End(rule_);
    }

    // Appends the blocks of the n bytes at buf (followed by their
    // look-ahead), the first at file offset offset.
    void Format(uint64_t offset, const uint8_t* buf, uint64_t n, std::u16string& text) const {
        for (uint64_t done = 0; done < n; done += kHexListBlock) {
            DumpFormatter formatter(settings_, offset + done);  // each block decodes afresh
            text += ruler_;
            formatter.Feed(buf + done, std::min(kHexListBlock, n - done), text);
            text += rule_;
        }
    }

private:
    DumpSettings settings_;
    std::u16string ruler_;
    std::u16string rule_;
};

// True when path names the file open in the document: creating the output
// would empty the very bytes it is to copy.
bool IsOpenDocument(const COctileDoc& doc, const std::string& path) {
    struct stat opened {}, named {};
    return doc.HasFile() && ::fstat(doc.file().fd(), &opened) == 0 &&
           ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

}  // namespace

bool IsExtensionOnlyName(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string_view name =
        slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
    return name.rfind('.') == 0;
}

bool ExportRange(COctileDoc& doc, UiHost& host, const ExportRequest& request) {
    if (IsExtensionOnlyName(request.outputPath)) {
        ShowMessage(host, IDS_FILEOPEN_NG);
        return false;
    }
    uint64_t start = 0;
    uint64_t last = 0;
    if (!ParseHexStrict(request.startText, start) || !ParseHexStrict(request.endText, last) ||
        start > last) {
        ShowMessage(host, IDS_RANGE_HEX);
        return false;
    }
    const uint64_t end = last == UINT64_MAX ? doc.GetFileLength() : last + 1;  // exclusive
    const bool hex = request.kind == ExportKind::HexList;
    const uint64_t chunk = hex ? kHexListChunk : kSaveBlock;
    const std::string outputPath = FullPath(request.outputPath);

    WaitCursor wait(host);
    auto buffer = TryAllocate(chunk + kLookAhead + 1);
    if (!buffer) {
        wait.End();
        ShowPathMessage(host, IDS_SAVE_NO_MEMORY, outputPath);
        return false;
    }
    bool ok = true;
    const auto fail = [&](uint32_t id, const std::string& path) {
        wait.End();
        ShowPathMessage(host, id, path);
        ok = false;
    };
    // Closed (with what was written) when it goes out of scope. The open file
    // itself is refused as output, like a file that cannot be created.
    OutputFile out(request.outputPath, !IsOpenDocument(doc, request.outputPath));
    if (!out.IsOpen()) {
        fail(IDS_SAVE_ERROR, outputPath);
    } else if (hex && !out.WriteUtf16(u"\uFEFF")) {
        fail(out.InError() ? IDS_IO_ERROR : IDS_WRITE_ERROR, outputPath);
    } else {
        const HexBlockFormatter hexBlocks(request.dump);
        std::u16string text;
        for (uint64_t b = start; b < end; b += chunk) {
            const uint64_t want = std::min(end - b, chunk);
            const uint32_t n = doc.ReadBytes(buffer.get(), want, b);
            // Fewer bytes than asked end the range quietly at the end of the
            // file; anywhere else the document could not be read.
            if (n < want && b + n < doc.file().Length()) {
                fail(IDS_IO_ERROR, doc.GetPathName());
                break;
            }
            if (n == 0) break;
            bool written;
            if (hex) {
                text.clear();
                hexBlocks.Format(b, buffer.get(), n, text);
                written = out.WriteUtf16(text);
            } else {
                written = out.Write(buffer.get(), n);
            }
            if (!written) {
                fail(out.InError() ? IDS_IO_ERROR : IDS_WRITE_ERROR, outputPath);
                break;
            }
            ShowProgress(host, IDS_SAVING, Percent(b - start, end - start));
            if (end - b <= chunk) break;  // also keeps b from wrapping
        }
    }
    ShowProgress(host, IDS_SAVING, 100, false);
    return ok;
}

}  // namespace octile
