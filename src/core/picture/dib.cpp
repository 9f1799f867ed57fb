#include "picture/dib.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "util/little_endian.h"

namespace octile {

namespace {

// Offsets of the fields of a 40-byte information header.
constexpr size_t kWidthField = 4;
constexpr size_t kHeightField = 8;
constexpr size_t kBitCountField = 14;
constexpr size_t kCompressionField = 16;
constexpr size_t kImageSizeField = 20;
constexpr size_t kColoursUsedField = 32;
// A paletted picture has at most this many colours.
constexpr uint32_t kMaxColours = 256;

constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;

}  // namespace

std::optional<DibLayout> ReadDibLayout(const uint8_t* data, uint64_t available) {
    if (data == nullptr || available < 4) return std::nullopt;
    DibLayout l;
    l.headerSize = Le32(data);
    if (l.headerSize != kInfoHeaderSize && l.headerSize != kCoreHeaderSize) return std::nullopt;
    if (available < l.headerSize) return std::nullopt;
    const bool info = l.headerSize == kInfoHeaderSize;
    uint32_t coloursUsed = 0;
    uint32_t imageSizeField = 0;
    if (info) {
        l.width = static_cast<int32_t>(Le32(data + kWidthField));
        l.height = static_cast<int32_t>(Le32(data + kHeightField));
        l.bitCount = Le16(data + kBitCountField);
        l.compression = Le32(data + kCompressionField);
        imageSizeField = Le32(data + kImageSizeField);
        coloursUsed = Le32(data + kColoursUsedField);
    } else {
        // Core header: unsigned 16-bit width and height, no compression.
        l.width = Le16(data + 4);
        l.height = Le16(data + 6);
        l.bitCount = Le16(data + 10);
    }
    if (l.width <= 0 || l.height == 0 || l.height == std::numeric_limits<int32_t>::min()) {
        return std::nullopt;
    }
    l.rows = static_cast<uint32_t>(l.height < 0 ? -l.height : l.height);
    switch (l.bitCount) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return std::nullopt;
    }
    // Run-length encoded pixels exist only for 8 and 4 bits and bottom-up rows.
    if (l.compression == kRle8 || l.compression == kRle4) {
        const uint16_t bits = l.compression == kRle8 ? 8 : 4;
        if (l.bitCount != bits || l.TopDown() || imageSizeField == 0) return std::nullopt;
    } else if (l.compression != 0) {
        return std::nullopt;
    }
    if (coloursUsed != 0) {
        if (coloursUsed > kMaxColours) return std::nullopt;
        l.colours = coloursUsed;
    } else if (l.bitCount <= 8) {
        l.colours = 1u << l.bitCount;
    }
    l.colourTableSize = uint64_t{l.colours} * (info ? 4 : 3);
    if (available - l.headerSize < l.colourTableSize) return std::nullopt;

    // 64-bit arithmetic: no width or height can make these wrap.
    const uint64_t stride = ((uint64_t{l.bitCount} * static_cast<uint64_t>(l.width) + 31) >> 5) * 4;
    if (stride > kMaxPackedBitmap) return std::nullopt;
    const uint64_t pixels = stride * l.rows;
    if (pixels > kMaxPackedBitmap) return std::nullopt;
    l.imageSize = l.compression == 0 ? pixels : imageSizeField;
    if (l.PackedSize() > kMaxPackedBitmap) return std::nullopt;
    return l;
}

std::optional<DibLayout> ReadPackedLayout(const PackedBitmap& bitmap) {
    auto l = ReadDibLayout(bitmap.data(), bitmap.size());
    if (!l || l->PackedSize() > bitmap.size()) return std::nullopt;
    return l;
}

bool BuildPalette(const PackedBitmap& bitmap, std::vector<PaletteEntry>& palette) {
    palette.clear();
    const auto l = ReadPackedLayout(bitmap);
    if (!l || l->colours == 0) return false;
    const size_t entry = l->headerSize == kInfoHeaderSize ? 4 : 3;
    const uint8_t* table = bitmap.data() + l->headerSize;
    palette.reserve(l->colours);
    for (uint32_t i = 0; i < l->colours; ++i) {
        const uint8_t* e = table + i * entry;
        palette.push_back({e[2], e[1], e[0], 0});
    }
    return true;
}

PictureRect KeepAspectRect(const PictureRect& picture, const PictureRect& target, bool keepAspect) {
    PictureRect r = target;
    const int64_t w = picture.Width();
    const int64_t h = picture.Height();
    if (!keepAspect || w == 0 || h == 0) return r;
    const int64_t W = r.Width();
    const int64_t H = r.Height();
    // 64-bit products: large pictures in large windows must not overflow.
    const auto clamp = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    };
    const int64_t fullWidthHeight = h * W / w;
    if (H > fullWidthHeight) {
        const int64_t fullHeightWidth = w * H / h;
        r.left = clamp(r.left + (W - fullHeightWidth) / 2);
        r.right = clamp(r.left + fullHeightWidth);
    } else {
        r.top = clamp(r.top + (H - fullWidthHeight) / 2);
        r.bottom = clamp(r.top + fullWidthHeight);
    }
    return r;
}

namespace {

// The bytes after the 14-byte file header of the bitmap file at offset, as
// its file-size field gives them: nothing when the field is out of bounds or
// the file does not hold them (the field is untrusted).
std::optional<uint64_t> BitmapFileBlockSize(const FileHandle& file, uint64_t offset) {
    uint8_t header[kBitmapFileHeaderSize];
    if (file.ReadAt(header, sizeof header, offset) != sizeof header) return std::nullopt;
    if (header[0] != 'B' || header[1] != 'M') return std::nullopt;
    const uint64_t fileSize = Le32(header + 2);
    if (fileSize < kBitmapFileHeaderSize + kCoreHeaderSize) return std::nullopt;
    const uint64_t size = fileSize - kBitmapFileHeaderSize;
    if (size > kMaxPackedBitmap) return std::nullopt;
    const uint64_t length = file.Length();
    if (length < offset + kBitmapFileHeaderSize || length - offset - kBitmapFileHeaderSize < size) {
        return std::nullopt;
    }
    return size;
}

}  // namespace

std::optional<DibLayout> ReadBitmapFileLayout(const FileHandle& file, uint64_t offset) {
    const auto size = BitmapFileBlockSize(file, offset);
    if (!size) return std::nullopt;
    // The largest header and colour table.
    uint8_t head[kInfoHeaderSize + kMaxColours * 4];
    const uint64_t n = std::min<uint64_t>(*size, sizeof head);
    if (file.ReadAt(head, n, offset + kBitmapFileHeaderSize) != n) return std::nullopt;
    return ReadDibLayout(head, n);
}

std::optional<PackedBitmap> ReadBitmapFile(const FileHandle& file, uint64_t offset) {
    const auto size = BitmapFileBlockSize(file, offset);
    const auto l = ReadBitmapFileLayout(file, offset);
    if (!size || !l) return std::nullopt;
    // What the header lays out, not what the file-size field claims.
    const uint64_t take = std::min(*size, l->PackedSize());
    PackedBitmap block(take);
    if (file.ReadAt(block.data(), take, offset + kBitmapFileHeaderSize) != take)
        return std::nullopt;
    return block;
}

CDib::~CDib() { Clear(); }

CDib::CDib(CDib&& other) noexcept { *this = std::move(other); }

CDib& CDib::operator=(CDib&& other) noexcept {
    if (this == &other) return *this;
    bitmap_ = std::move(other.bitmap_);
    rect_ = other.rect_;
    topDown_ = other.topDown_;
    palette_ = std::move(other.palette_);
    serial_ = std::max(serial_, other.serial_) + 1;
    other.Clear();
    return *this;
}

int CDib::TakeBitmap(std::optional<PackedBitmap> bitmap) {
    if (!bitmap) return 0;
    const auto l = ReadPackedLayout(*bitmap);
    if (!l) return 0;
    Clear();
    bitmap->resize(l->PackedSize());
    if (l->headerSize == kInfoHeaderSize && l->compression == 0) {
        PutLe32(bitmap->data() + kImageSizeField, static_cast<uint32_t>(l->imageSize));
    }
    bitmap_ = std::move(*bitmap);
    topDown_ = l->TopDown();
    rect_ = {0, 0, l->width, static_cast<int32_t>(l->rows)};
    ++serial_;
    if (l->colours == 0) return 1;
    return BuildPalette(bitmap_, palette_) ? 1 : 0;
}

bool CDib::Clear() {
    rect_ = {};
    topDown_ = false;
    palette_.clear();
    const bool had = !bitmap_.empty();
    bitmap_.clear();
    bitmap_.shrink_to_fit();
    if (had) ++serial_;
    return had;
}

std::optional<PictureRect> CDib::PaintPicture(const PictureRect& target, bool keepAspect) const {
    if (bitmap_.empty()) return std::nullopt;
    return KeepAspectRect(rect_, target, keepAspect);
}

std::vector<uint8_t> CDib::BitmapFileBytes() const {
    const auto l = ReadPackedLayout(bitmap_);
    if (!l) return {};
    std::vector<uint8_t> file(kBitmapFileHeaderSize + l->PackedSize());
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(file.data() + 2, static_cast<uint32_t>(file.size()));
    PutLe16(file.data() + 6, 0);
    PutLe16(file.data() + 8, 0);
    PutLe32(file.data() + 10, static_cast<uint32_t>(kBitmapFileHeaderSize + l->PixelOffset()));
    std::copy_n(bitmap_.begin(), l->PackedSize(), file.begin() + kBitmapFileHeaderSize);
    return file;
}

bool CDib::WriteBitmapFile(int fd) const {
    const auto l = ReadPackedLayout(bitmap_);
    // Core-header pictures are shown but not saved.
    if (!l || l->headerSize != kInfoHeaderSize) return false;
    const std::vector<uint8_t> file = BitmapFileBytes();
    return !file.empty() && WriteSequential(fd, file.data(), file.size()) == file.size();
}

bool CDib::SaveBitmap(const std::string& path) const {
    if (!HasBitmap() || path.empty()) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    const bool written = WriteBitmapFile(fd);
    // A failing close can still lose the data (full disk on a network share).
    const bool closed = ::close(fd) == 0;
    return written && closed;
}

}  // namespace octile
