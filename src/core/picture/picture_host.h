#pragma once
// Picture detection and the image plug-in host: finds a picture signature at
// the anchor, then decodes the picture that starts there with the image
// plug-ins (*.spi shared objects, see spi.h) or as a bitmap file, and hands
// the packed bitmap to a CDib. A picture whose header declares more pixels
// than the host's limit is not decoded at all: a hostile header must not make
// the program allocate or work in proportion to what it claims.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/file_handle.h"
#include "picture/dib.h"
#include "picture/spi.h"

namespace octile {

// The signatures, in the order they are tested.
enum class PictureSignature {
    Bitmap,        // "BM" file header at the anchor
    BitmapBefore,  // the same one byte before it
    Jpeg,          // FF D8
    Gif,           // "GIF"
    Pict,          // "PICT"
    Pi,            // "Pi"
    Maki,          // "MAKI"
    Jfif,          // "JFIF", 6 bytes into a JPEG stream
    Png,           // "PNG", 1 byte into a PNG signature
};

struct SignatureMatch {
    PictureSignature signature;
    uint64_t start;  // file offset where the picture starts
};

// Tests the signatures at anchor (a file offset) on the read window: bytes
// holds the window's bytes from file offset windowOffset, of which the first
// validCount are file bytes. A signature whose bytes are not all among the
// valid bytes does not match, nor one whose start would lie before the file.
std::optional<SignatureMatch> DetectSignature(const uint8_t* bytes, uint32_t validCount,
                                              uint64_t windowOffset, uint64_t anchor);

// The folder searched for plug-ins: the plug-in folder setting, or the
// program folder when that is empty.
std::string PictureFolder(const std::string& plugInFolder, const std::string& programFolder);

// A picture's size in pixels, as its header declares it.
struct PictureSize {
    uint64_t width = 0;
    uint64_t height = 0;
    uint64_t Pixels() const { return width * height; }
    bool operator==(const PictureSize&) const = default;
};

// Closes a dlopen handle.
struct LibraryCloser {
    void operator()(void* handle) const;
};
using LibraryHandle = std::unique_ptr<void, LibraryCloser>;

class PictureHost {
  public:
    // The memory probe reads at most this many bytes of the picture.
    static constexpr uint64_t kProbeLimit = 1048576;
    // Spare zero bytes after the probe data: room for the second look at
    // address + 128 (pictures behind a 128-byte header).
    static constexpr uint64_t kHeaderSkip = 128;

    enum class Hit {
        None,
        Direct,   // IsSupported accepted the probe value itself
        Skip128,  // it accepted the buffer address + 128
    };

    explicit PictureHost(std::string plugInFolder = {}) : folder_(std::move(plugInFolder)) {}
    ~PictureHost();
    PictureHost(const PictureHost&) = delete;
    PictureHost& operator=(const PictureHost&) = delete;

    // The folder FindPlugin lists; set before every load.
    void SetPlugInFolder(std::string folder) { folder_ = std::move(folder); }
    const std::string& PlugInFolder() const { return folder_; }

    // The pixel limit (width x height): a picture that declares more is not
    // decoded. 0 restores the default, kSpiDefaultMaxPixels. Plug-ins that
    // take a limit (SetPictureLimit) are given the same before they decode.
    void SetMaxPixels(uint64_t pixels) { maxPixels_ = pixels == 0 ? kSpiDefaultMaxPixels : pixels; }
    uint64_t MaxPixels() const { return maxPixels_; }
    // The size of the picture the last load refused for the limit; nothing
    // when it refused none.
    const std::optional<PictureSize>& RefusedSize() const { return refused_; }
    // A flag another thread may raise to stop a load: plug-ins are asked
    // through their progress callback, and a stopped load takes nothing.
    // Null: loads run to their end.
    void SetStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }

    // Decodes the picture at offset of the file at path into dib: the result
    // of dib.TakeBitmap, 0 when nothing was taken. A picture over the pixel
    // limit ends the load with nothing taken (RefusedSize tells its size):
    // its header is read through the plug-in's GetPictureInfo, or as a
    // bitmap file's, before anything is decoded; the bitmap a plug-in without
    // GetPictureInfo hands back is measured too.
    int LoadPicture(CDib& dib, const std::string& path, uint64_t offset);

    // Asks every plug-in of the folder, in name order, whether it can decode
    // the data behind probe (a descriptor positioned at the picture, or a
    // buffer address). True: the accepting library stays loaded until
    // ReleasePlugin or the next search.
    bool FindPlugin(const std::string& name, intptr_t probe);
    void ReleasePlugin();
    bool HasPlugin() const { return library_ != nullptr; }

    // The last search's outcome and the accepting library's path.
    Hit LastHit() const { return lastHit_; }
    const std::string& LastPluginPath() const { return lastPluginPath_; }

  private:
    // FindPlugin over an already listed folder (paths in name order).
    bool FindPlugin(const std::vector<std::string>& plugins, const std::string& name,
                    intptr_t probe);

    struct Decoded {
        bool done = false;                   // GetPicture succeeded: the load ends here
        std::optional<PackedBitmap> bitmap;  // nothing when its output was unusable
    };
    // GetPicture of the kept library, which is released afterwards.
    Decoded DecodeFromFile(const std::string& path, uint64_t offset);
    Decoded DecodeFromMemory(const std::vector<std::string>& plugins, const std::string& path,
                             const FileHandle& file, uint64_t offset);
    struct Attempt {
        const char* source;  // path or memory block
        uint64_t value;      // offset in the file, or the block's length
    };
    // GetPicture with each attempt in turn until one succeeds, or until
    // GetPictureInfo declares a picture over the limit (done, no bitmap).
    Decoded CallGetPicture(std::span<const Attempt> attempts, unsigned flag);
    // The bitmap file at offset, unless its header is over the limit.
    int TakeBitmapFile(CDib& dib, const FileHandle& file, uint64_t offset);
    bool Stopped() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }
    // False, and the size kept as refused, when width x height is over the limit.
    bool WithinLimit(uint64_t width, uint64_t height);

    std::string folder_;
    uint64_t maxPixels_ = kSpiDefaultMaxPixels;
    std::optional<PictureSize> refused_;
    const std::atomic<bool>* stop_ = nullptr;
    LibraryHandle library_;
    Hit lastHit_ = Hit::None;
    std::string lastPluginPath_;
};

// Copies a plug-in's two output blocks (information header with colour
// table, and pixels; both from malloc) into one packed bitmap. Nothing when
// the header cannot be laid out or either block is smaller than the header
// says. The blocks stay the caller's.
std::optional<PackedBitmap> PackPluginOutput(const void* info, const void* bits);

}  // namespace octile
