#pragma once
// CDib: the picture holder. It keeps one packed bitmap (a bitmap information
// header, its colour table and its pixels in one block), the picture
// rectangle, the top-down flag and the palette, and writes the bitmap out as
// a bitmap file. Every header is checked against the block that carries it
// before anything is taken, so a hostile header never leads to a read or
// write past a buffer, nor to an unbounded allocation.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/file_handle.h"

namespace octile {

using PackedBitmap = std::vector<uint8_t>;

inline constexpr uint32_t kInfoHeaderSize = 40;
inline constexpr uint32_t kCoreHeaderSize = 12;
inline constexpr uint64_t kBitmapFileHeaderSize = 14;
// Largest packed bitmap taken, and largest pixel array a header may describe
// (the same bound Qt's image reader applies to what it decodes).
inline constexpr uint64_t kMaxPackedBitmap = uint64_t{256} << 20;

// What a bitmap header says about the block it starts.
struct DibLayout {
    uint32_t headerSize = 0;   // 40, or 12 for a core header
    int32_t width = 0;         // at least 1
    int32_t height = 0;        // as stored: negative for top-down rows
    uint32_t rows = 0;         // the height as a positive number
    uint16_t bitCount = 0;     // 1, 4, 8, 16, 24 or 32
    uint32_t compression = 0;  // 0, or 1 / 2 for run-length encoded pixels
    uint32_t colours = 0;      // colour table entries
    uint64_t colourTableSize = 0;
    uint64_t imageSize = 0;  // bytes of pixels

    bool TopDown() const { return height < 0; }
    uint64_t PixelOffset() const { return headerSize + colourTableSize; }
    uint64_t PackedSize() const { return PixelOffset() + imageSize; }
};

// Reads the header and colour table at data, of which available bytes may be
// read. Nothing when the header is not one we can lay out: a header size
// other than 40 or 12, no width or height, an unknown pixel format, a colour
// table that does not fit, or more pixels than kMaxPackedBitmap. Whether the
// pixels are present is the caller's check (they may live in another block).
std::optional<DibLayout> ReadDibLayout(const uint8_t* data, uint64_t available);

// The layout of a whole packed bitmap: header, table and pixels all inside.
std::optional<DibLayout> ReadPackedLayout(const PackedBitmap& bitmap);

struct PictureRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool operator==(const PictureRect&) const = default;
};

struct PaletteEntry {
    uint8_t red = 0, green = 0, blue = 0, flags = 0;
    bool operator==(const PaletteEntry&) const = default;
};

// One entry per colour of the bitmap's colour table; false (and palette
// emptied) when the bitmap has no colour table.
bool BuildPalette(const PackedBitmap& bitmap, std::vector<PaletteEntry>& palette);

// The rectangle the picture is drawn into inside target. With keepAspect the
// picture keeps its proportions, covers the whole target, is centred and
// overflows on one axis.
PictureRect KeepAspectRect(const PictureRect& picture, const PictureRect& target, bool keepAspect);

// The layout of the bitmap file that starts at offset, from its headers
// alone: its 14-byte file header, then the information header and colour
// table. Nothing when the type is not "BM", the file-size field is below 14 +
// a core header, runs past the end of the file or exceeds kMaxPackedBitmap,
// or the headers cannot be laid out within file size - 14 bytes.
std::optional<DibLayout> ReadBitmapFileLayout(const FileHandle& file, uint64_t offset);

// Reads the bitmap file that starts at offset (see ReadBitmapFileLayout):
// its header, colour table and pixels back to back, as many bytes as the
// header lays out but no more than file size - 14. Nothing when the layout
// is, or the read comes up short.
std::optional<PackedBitmap> ReadBitmapFile(const FileHandle& file, uint64_t offset);

class CDib {
  public:
    CDib() = default;
    virtual ~CDib();
    CDib(const CDib&) = delete;
    CDib& operator=(const CDib&) = delete;
    // Takes other's picture (other is left empty); the serial moves on past
    // both, so a window drawing this holder sees the change.
    CDib(CDib&& other) noexcept;
    CDib& operator=(CDib&& other) noexcept;

    // Takes a packed bitmap. Nothing, or a block whose header does not fit
    // it: returns 0 and keeps the previous picture. Otherwise replaces the
    // picture (trimmed to its packed size, image-size field filled in for
    // uncompressed pixels) and returns 1 for a bitmap without colours, else
    // the result of building its palette (non-zero on success).
    int TakeBitmap(std::optional<PackedBitmap> bitmap);
    // Empties the holder; true when a bitmap was held.
    bool Clear();

    PictureRect GetPictureRect() const { return rect_; }
    bool IsTopDown() const { return topDown_; }
    bool HasBitmap() const { return !bitmap_.empty(); }
    const PackedBitmap& Bitmap() const { return bitmap_; }
    const std::vector<PaletteEntry>& Palette() const { return palette_; }
    // Changes whenever the held picture changes, so a window can tell when
    // to rebuild what it draws.
    uint64_t Serial() const { return serial_; }

    // Where the held picture is drawn for a target rectangle; nothing when no
    // picture is held (the window then paints black).
    std::optional<PictureRect> PaintPicture(const PictureRect& target, bool keepAspect) const;

    // The held picture as a bitmap file: the 14-byte file header (pixel
    // offset after header and colour table), then the packed bitmap. Empty
    // when nothing is held. Top-down pictures keep their negative height.
    std::vector<uint8_t> BitmapFileBytes() const;

    // Writes the held picture as a bitmap file into an existing file (it is
    // not created). False when nothing is held, the header is a core header,
    // or the file cannot be opened or written.
    bool SaveBitmap(const std::string& path) const;
    bool WriteBitmapFile(int fd) const;

  private:
    PackedBitmap bitmap_;
    PictureRect rect_;
    bool topDown_ = false;
    std::vector<PaletteEntry> palette_;
    uint64_t serial_ = 0;
};

}  // namespace octile
