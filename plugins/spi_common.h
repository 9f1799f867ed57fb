#pragma once
// What the image plug-ins share: testing the probe, the info texts, the
// picture source (a file from an offset, or a memory block), the pixel limit
// and the bitmap they hand back (a 40-byte-header DIB in two malloc'ed
// blocks).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <new>
#include <string_view>

#include "picture/spi.h"

namespace octile::spi {

// The largest pixel array a plug-in produces: what the host still takes.
inline constexpr uint64_t kMaxPixelBytes = (uint64_t{256} << 20) - 4096;

// The pixel limit (SetPictureLimit): GetPicture decodes no picture of more
// pixels. Each plug-in keeps its own, kSpiDefaultMaxPixels until told.
uint64_t MaxPixels();
// 0 restores the default.
void SetMaxPixels(uint64_t maxPixels);
// Whether a picture of width x height pixels is within the limit.
inline bool WithinLimit(uint64_t width, uint64_t height) {
    // Both sides are at most 32 bits: the product does not wrap.
    return width <= UINT32_MAX && height <= UINT32_MAX && width * height <= MaxPixels();
}

// Whether the data behind an IsSupported probe starts with one of the
// signatures (none longer than kSpiProbeMinBytes). The probe is a descriptor
// read at its current position (which is left where it is), or a buffer
// address.
bool ProbeStartsWith(intptr_t probe, std::initializer_list<std::string_view> signatures);

// GetPluginInfo over a table of texts: copies text infono into buf,
// terminated when there is room; returns the bytes copied, 0 for no text.
int CopyInfo(const char* const* texts, int count, int infono, char* buf, int buflen);
template <size_t N>
int CopyInfo(const char* const (&texts)[N], int infono, char* buf, int buflen) {
    return CopyInfo(texts, static_cast<int>(N), infono, buf, buflen);
}

// The picture's bytes, read in order from the start of the picture.
class Source {
  public:
    Source() = default;
    ~Source();
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    // GetPicture's source: flag & 7 == 0, buf a path and len the offset;
    // 1, buf a block of len bytes. False when it cannot be read.
    bool Open(const char* buf, intptr_t len, unsigned flag);
    // Reads up to n bytes; fewer only at the end (or on a read error).
    size_t Read(uint8_t* out, size_t n);
    // Passes over n bytes without reading them.
    void Skip(uint64_t n);

  private:
    int fd_ = -1;
    uint64_t position_ = 0;
    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
};

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// The bitmap handed back by GetPicture: an information header with its
// colour table, and bottom-up pixel rows padded to 4 bytes.
class DibOutput {
  public:
    // Allocates both blocks for a width x height picture of 24 bits, or of 8
    // bits with a 256-entry colour table. False for a size out of bounds (the
    // pixel limit among them) or when memory cannot be had.
    bool Allocate(uint32_t width, uint32_t height, int bitCount);
    // Row y counted from the top of the picture.
    uint8_t* Row(uint32_t y) { return bits_.get() + uint64_t{height_ - 1 - y} * stride_; }
    // Colour table entry i (blue, green, red, 0).
    void SetColour(int i, uint8_t red, uint8_t green, uint8_t blue);
    // Fills every pixel byte with value.
    void Fill(uint8_t value);
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    // Hands both blocks to the host.
    void Release(void** info, void** bits);

    // GetPicture's progress callback (may be null) and its user value.
    void SetProgress(void* progress, intptr_t user) {
        progress_ = reinterpret_cast<SpiProgressCallback>(progress);
        user_ = user;
    }
    // Tells the host that rows of the picture's Height() are done, and
    // whether it asks the decoder to stop (it then returns kSpiAborted).
    bool Stopped(uint32_t rows) const {
        return progress_ != nullptr &&
               progress_(static_cast<int>(rows), static_cast<int>(height_), user_) != 0;
    }

  private:
    SpiProgressCallback progress_ = nullptr;
    intptr_t user_ = 0;
    std::unique_ptr<uint8_t, FreeDeleter> info_;
    std::unique_ptr<uint8_t, FreeDeleter> bits_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint64_t stride_ = 0;
};

// GetPicture's frame around a decoder: opens the source and hands the bitmap
// to the host only when decode(Source&, DibOutput&) returns kSpiOk (the
// decoder asks out.Stopped as it goes, and returns kSpiAborted); on any
// other result both blocks are freed here. Running out of memory anywhere is
// kSpiNoMemory. The source outlives whatever decode opens on it. This frame
// holds objects with destructors: a decoder's setjmp and every longjmp to it
// stay inside decode.
template <typename Decode>
int RunGetPicture(const char* buf, intptr_t len, unsigned flag, void** info, void** bits,
                  void* progress, intptr_t user, Decode decode) {
    if (info == nullptr || bits == nullptr) return kSpiInternalError;
    try {
        Source source;
        if (!source.Open(buf, len, flag)) return kSpiReadError;
        DibOutput out;
        out.SetProgress(progress, user);
        if (out.Stopped(0)) return kSpiAborted;
        const int result = decode(source, out);
        if (result == kSpiOk) out.Release(info, bits);
        return result;
    } catch (const std::bad_alloc&) {
        return kSpiNoMemory;
    }
}

// GetPictureInfo's frame around a header reader, int(Source&, SpiPictureInfo&):
// *info is written only when the reader returns kSpiOk.
template <typename ReadInfo>
int RunGetPictureInfo(const char* buf, intptr_t len, unsigned flag, SpiPictureInfo* info,
                      ReadInfo read) {
    if (info == nullptr) return kSpiInternalError;
    try {
        Source source;
        if (!source.Open(buf, len, flag)) return kSpiReadError;
        SpiPictureInfo got{};
        const int result = read(source, got);
        if (result == kSpiOk) *info = got;
        return result;
    } catch (const std::bad_alloc&) {
        return kSpiNoMemory;
    }
}

}  // namespace octile::spi

// The entry points of a plug-in, written once at global scope in its source:
// GetPluginInfo over the table of info texts, IsSupported for data that
// starts with one of the signatures (the last arguments), GetPicture running
// the decoder (int(Source&, DibOutput&)) in RunGetPicture's frame,
// GetPictureInfo running the header reader (int(Source&, SpiPictureInfo&)),
// and SetPictureLimit.
#define OCTILE_SPI_ENTRY_POINTS(texts, decoder, reader, ...)                                      \
    extern "C" OCTILE_SPI_EXPORT int GetPluginInfo(int infono, char* buf, int buflen) {           \
        return ::octile::spi::CopyInfo(texts, infono, buf, buflen);                               \
    }                                                                                             \
    extern "C" OCTILE_SPI_EXPORT int IsSupported(const char*, intptr_t probe) {                   \
        return ::octile::spi::ProbeStartsWith(probe, {__VA_ARGS__});                              \
    }                                                                                             \
    extern "C" OCTILE_SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, \
                                                void** info, void** bits, void* progress,         \
                                                intptr_t user) {                                  \
        return ::octile::spi::RunGetPicture(buf, len, flag, info, bits, progress, user, decoder); \
    }                                                                                             \
    extern "C" OCTILE_SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len,                \
                                                    unsigned int flag, SpiPictureInfo* info) {    \
        return ::octile::spi::RunGetPictureInfo(buf, len, flag, info, reader);                    \
    }                                                                                             \
    extern "C" OCTILE_SPI_EXPORT void SetPictureLimit(uint64_t maxPixels) {                       \
        ::octile::spi::SetMaxPixels(maxPixels);                                                   \
    }
