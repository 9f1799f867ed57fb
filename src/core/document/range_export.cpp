#include "document/range_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "document/long_operation.h"
#include "io/output_file.h"
#include "resources/resources.h"

namespace octile {

namespace {

constexpr uint64_t kLookAhead = COctileDoc::kLookAhead;

// The output, written in order into an OutputFile; remembers whether a
// write failed with an error (a short write without one is reported
// differently).
class ExportOutput {
  public:
    // What opening the output at path gave.
    OutputStatus Open(const std::string& path) { return file_.Open(path); }
    bool InError() const { return error_; }
    // Makes the output the target's contents; until then the target is as it was.
    bool Commit() { return file_.Commit(); }

    // Writes size bytes; true when all were written.
    bool Write(const void* data, uint64_t size) {
        errno = 0;
        const uint64_t n = file_.Write(static_cast<const uint8_t*>(data), size);
        if (n < size && errno != 0) error_ = true;
        return n == size;
    }

    // UTF-16 text as little-endian units.
    bool WriteUtf16(const char16_t* text, size_t units) {
        if constexpr (std::endian::native == std::endian::little) {
            return Write(text, units * sizeof(char16_t));
        } else {
            bytes_.resize(units * 2);
            for (size_t i = 0; i < units; ++i) {
                bytes_[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
                bytes_[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
            }
            return Write(bytes_.data(), bytes_.size());
        }
    }

  private:
    OutputFile file_;
    bool error_ = false;
    std::vector<uint8_t> bytes_;
};

// A piece of listing text in a buffer of fixed room.
struct TextPiece {
    std::unique_ptr<char16_t[]> units;
    size_t size = 0;

    // False when there is not the memory.
    bool Allocate(size_t room) {
        units.reset(new (std::nothrow) char16_t[room]);
        return units != nullptr;
    }
};

// Writes listing pieces to the output on a thread of its own, one at a time
// and in order, while the caller formats the next: the text is about 11 times
// the bytes, and writing it costs the system as much as formatting it. Large
// pieces keep the hand-overs few. A failed write ends the writing; the caller
// learns of it at its next hand-over.
class ListingWriter {
  public:
    // spare: a second buffer, as large as those handed over.
    ListingWriter(ExportOutput& out, TextPiece spare) : out_(out), pending_(std::move(spare)) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // No thread to be had: HandOver writes each piece itself.
        }
    }
    ~ListingWriter() {
        if (!thread_.joinable()) return;
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ListingWriter(const ListingWriter&) = delete;
    ListingWriter& operator=(const ListingWriter&) = delete;

    // Waits until the piece handed over before has been written, then hands
    // over piece and gives back the spare or the written one's buffer in its
    // place (its size 0). False, with nothing handed over, when a write has
    // failed.
    bool HandOver(TextPiece& piece) {
        if (!thread_.joinable()) {
            failed_ = failed_ || !out_.WriteUtf16(piece.units.get(), piece.size);
            piece.size = 0;
            return !failed_;
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        if (failed_) return false;
        std::swap(piece, pending_);
        piece.size = 0;
        busy_ = true;
        lock.unlock();
        changed_.notify_all();
        return true;
    }

    // Waits until everything handed over has been written; false when a
    // write failed.
    bool Finish() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        return !failed_;
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return busy_ || stop_; });
            if (!busy_) return;
            lock.unlock();
            const bool written = out_.WriteUtf16(pending_.units.get(), pending_.size);
            lock.lock();
            if (!written) failed_ = true;
            busy_ = false;
            changed_.notify_all();
        }
    }

    ExportOutput& out_;
    std::mutex mutex_;
    std::condition_variable changed_;
    TextPiece pending_;  // the thread's while busy_
    bool busy_ = false;
    bool failed_ = false;
    bool stop_ = false;
    std::thread thread_;
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
        blockRoom_ = ruler_.size() + formatter.Room(kHexListBlock) + rule_.size();
    }

    // The most units Format writes for n bytes.
    size_t Room(uint64_t n) const {
        return static_cast<size_t>((n + kHexListBlock - 1) / kHexListBlock) * blockRoom_;
    }

    // Appends to piece the blocks of the n bytes at buf (followed by their
    // look-ahead), the first at file offset offset; piece has Room(n) units
    // free.
    void Format(uint64_t offset, const uint8_t* buf, uint64_t n, TextPiece& piece) const {
        char16_t* o = piece.units.get() + piece.size;
        for (uint64_t done = 0; done < n; done += kHexListBlock) {
            DumpFormatter formatter(settings_, offset + done);  // each block decodes afresh
            o = std::copy(ruler_.begin(), ruler_.end(), o);
            o = formatter.Feed(buf + done, std::min(kHexListBlock, n - done), o);
            o = std::copy(rule_.begin(), rule_.end(), o);
        }
        piece.size = static_cast<size_t>(o - piece.units.get());
    }

  private:
    DumpSettings settings_;
    std::u16string ruler_;
    std::u16string rule_;
    size_t blockRoom_ = 0;
};

}  // namespace

bool IsExtensionOnlyName(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string::npos
                                      ? std::string_view(path)
                                      : std::string_view(path).substr(slash + 1);
    return name.rfind('.') == 0;
}

bool ExportRange(COctileDoc& doc, Feedback& feedback, const ExportRequest& request) {
    if (IsExtensionOnlyName(request.outputPath)) {
        ShowMessage(feedback, IDS_FILEOPEN_NG);
        return false;
    }
    uint64_t start = 0;
    uint64_t last = 0;
    if (!ParseRangeTexts(feedback, request.startText, request.endText, start, last)) return false;
    const uint64_t end = RangeEnd(last, doc.GetFileLength());
    const bool hex = request.kind == ExportKind::HexList;
    const uint64_t chunk = hex ? kHexListPiece : kSaveBlock;
    const std::string outputPath = FullPath(request.outputPath);

    BusyScope busy(doc.busy(), BusyState::kFileOperation, feedback);
    Progress progress(feedback, IDS_SAVING);
    // The hex listing formats one piece of text while the other is written.
    const HexBlockFormatter hexBlocks(request.dump);
    TextPiece piece, spare;
    auto buffer = TryAllocate(chunk + kLookAhead + 1);
    if (!buffer || (hex && (!piece.Allocate(hexBlocks.Room(chunk)) ||
                            !spare.Allocate(hexBlocks.Room(chunk))))) {
        busy.EndWaitCursor();
        ShowPathMessage(feedback, IDS_SAVE_NO_MEMORY, outputPath);
        return false;
    }
    bool ok = true;
    const auto fail = [&](uint32_t id, const std::string& path) {
        busy.EndWaitCursor();
        ShowPathMessage(feedback, id, path);
        ok = false;
    };
    // Dropped without its Commit, the output leaves the file at its path as
    // it was. The open file itself is refused as output, like a file that
    // cannot be created.
    ExportOutput out;
    const auto failWrite = [&] {
        fail(out.InError() ? IDS_IO_ERROR : IDS_WRITE_ERROR, outputPath);
    };
    std::optional<ListingWriter> writer;  // after out: ends before out is dropped
    if (doc.IsOpenFile(request.outputPath)) {
        fail(IDS_SAVE_ERROR, outputPath);
    } else if (const OutputStatus status = out.Open(request.outputPath);
               status != OutputStatus::Ready) {
        fail(status == OutputStatus::NotRegularFile ? IDS_NOT_REGULAR_FILE : IDS_SAVE_ERROR,
             outputPath);
    } else if (hex && !out.WriteUtf16(u"\uFEFF", 1)) {
        failWrite();
    } else if (hex) {
        writer.emplace(out, std::move(spare));
    }
    for (uint64_t b = start; ok && b < end; b += chunk) {
        const uint64_t want = std::min(end - b, chunk);
        const uint32_t n = doc.ReadBytes(buffer.get(), want, b);
        // Fewer bytes than asked end the range quietly at the end of the
        // file; anywhere else the document could not be read.
        if (n < want && ReadFellShort(doc, b, n)) {
            fail(IDS_IO_ERROR, doc.GetPathName());
            break;
        }
        if (n == 0) break;
        bool written;
        if (hex) {
            hexBlocks.Format(b, buffer.get(), n, piece);
            written = writer->HandOver(piece);
        } else {
            written = out.Write(buffer.get(), n);
        }
        if (!written) {
            failWrite();
            break;
        }
        progress.Report(Percent(b - start, end - start));
        if (end - b <= chunk) break;  // also keeps b from wrapping
    }
    // The writer ends its work before the output is committed or dropped.
    if (writer && !writer->Finish() && ok) failWrite();
    if (ok && !out.Commit()) fail(IDS_SAVE_ERROR, outputPath);
    progress.Finish();
    return ok;
}

}  // namespace octile
