// Image plug-in for PNG (libpng): the picture as 24 bits, or as 8 bits with
// a colour table when the PNG is paletted. Transparency is blended onto
// white.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <string_view>
#include <vector>

#include "spi_common.h"

namespace octile::spi {
namespace {

const char* const kInfo[] = {"00IN", "Octile PNG plug-in", "*.png", "PNG"};
constexpr std::string_view kSignature("\x89PNG\r\n\x1A\n", 8);

// Sides longer than this are refused whatever the pixel limit (libpng's own
// default): libpng keeps two rows of up to 8 bytes a pixel, and a picture
// is read row by row, so neither may grow without bound.
constexpr png_uint_32 kMaxSide = 1000000;
// The largest chunk libpng reads into memory (libpng's own default), and the
// most ancillary chunks it keeps.
constexpr png_alloc_size_t kMaxChunkBytes = 8000000;
constexpr png_uint_32 kMaxCachedChunks = 1000;

// Everything that must outlive a longjmp out of libpng lives here, above the
// frame of Decode, and is cleaned up by its destructor.
struct PngDecode {
    explicit PngDecode(Source& from) : source(from) {}
    PngDecode(const PngDecode&) = delete;
    PngDecode& operator=(const PngDecode&) = delete;

    Source& source;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> rgba;

    ~PngDecode() {
        if (png != nullptr)
            png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    }
};

void ReadData(png_structp png, png_bytep data, png_size_t length) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (source->Read(data, length) != length) png_error(png, "truncated");
}

// Errors end the decode silently (through png_jmpbuf); warnings are ignored.
void Error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void Warning(png_structp, png_const_charp) {}

// a * alpha + white * (1 - alpha), rounded.
uint8_t OnWhite(uint8_t value, uint8_t alpha) {
    return static_cast<uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

// Blends a row of RGBA (already in BGR order) onto white into a 24-bit row.
void BlendRow(const uint8_t* in, uint8_t* row, png_uint_32 width) {
    for (png_uint_32 x = 0; x < width; ++x, in += 4, row += 3) {
        row[0] = OnWhite(in[0], in[3]);
        row[1] = OnWhite(in[1], in[3]);
        row[2] = OnWhite(in[2], in[3]);
    }
}

// Reads the chunks up to the picture data. Called after the caller's setjmp:
// libpng's errors leave through it.
void ReadHeader(PngDecode& d) {
    png_set_read_fn(d.png, &d.source, ReadData);
    png_set_user_limits(d.png, kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(d.png, kMaxChunkBytes);
    png_set_chunk_cache_max(d.png, kMaxCachedChunks);
    // Only the chunks the picture needs are read: text, profiles and the
    // like (some of them compressed) are passed over.
    png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(d.png, d.info);
}

// GetPictureInfo's reader, past the signature: the size from the header chunk
// as libpng reads it. No object with a destructor may live in this frame.
int ReadSize(PngDecode& d, SpiPictureInfo& info) {
    if (setjmp(png_jmpbuf(d.png))) return kSpiBrokenData;
    ReadHeader(d);
    info.width = png_get_image_width(d.png, d.info);
    info.height = png_get_image_height(d.png, d.info);
    info.colourDepth = png_get_color_type(d.png, d.info) == PNG_COLOR_TYPE_PALETTE ? 8 : 24;
    return kSpiOk;
}

// Runs libpng. No object with a destructor may live in this frame: libpng's
// errors return here through longjmp.
int Decode(PngDecode& d, DibOutput& out) {
    if (setjmp(png_jmpbuf(d.png))) return kSpiBrokenData;
    ReadHeader(d);
    const png_uint_32 width = png_get_image_width(d.png, d.info);
    const png_uint_32 height = png_get_image_height(d.png, d.info);
    // Refused before libpng allocates anything for the rows.
    if (!WithinLimit(width, height)) return kSpiNoMemory;
    const int colourType = png_get_color_type(d.png, d.info);
    const bool paletted = colourType == PNG_COLOR_TYPE_PALETTE;
    if (!out.Allocate(width, height, paletted ? 8 : 24)) return kSpiNoMemory;

    if (paletted) {
        png_set_packing(d.png);  // one index per byte
        png_colorp palette = nullptr;
        int count = 0;
        png_get_PLTE(d.png, d.info, &palette, &count);
        png_bytep alpha = nullptr;
        int alphaCount = 0;
        png_get_tRNS(d.png, d.info, &alpha, &alphaCount, nullptr);
        for (int i = 0; i < count && i < 256; ++i) {
            const uint8_t a = i < alphaCount ? alpha[i] : 255;
            out.SetColour(i, OnWhite(palette[i].red, a), OnWhite(palette[i].green, a),
                          OnWhite(palette[i].blue, a));
        }
    } else {
        png_set_expand(d.png);  // low bit depths to 8, tRNS to alpha
        png_set_strip_16(d.png);
        png_set_gray_to_rgb(d.png);
        png_set_bgr(d.png);
    }
    const int passes = png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);
    const int channels = png_get_channels(d.png, d.info);
    const size_t rowBytes = png_get_rowbytes(d.png, d.info);
    if (channels != (paletted ? 1 : 3) && channels != 4) return kSpiBrokenData;
    if (rowBytes != size_t{width} * static_cast<size_t>(channels)) return kSpiBrokenData;

    if (channels != 4) {
        // Straight into the bitmap; an interlaced picture's later passes
        // fill in the rows the earlier ones began.
        for (int pass = 0; pass < passes; ++pass) {
            for (png_uint_32 y = 0; y < height; ++y) {
                if (out.Stopped(y)) return kSpiAborted;
                png_read_row(d.png, out.Row(y), nullptr);
            }
        }
    } else if (passes == 1) {
        // Blended row by row.
        d.rgba.resize(rowBytes);
        for (png_uint_32 y = 0; y < height; ++y) {
            if (out.Stopped(y)) return kSpiAborted;
            png_read_row(d.png, d.rgba.data(), nullptr);
            BlendRow(d.rgba.data(), out.Row(y), width);
        }
    } else {
        // Blended after reading: an interlaced picture needs all of it.
        d.rgba.resize(rowBytes * height);
        for (int pass = 0; pass < passes; ++pass) {
            for (png_uint_32 y = 0; y < height; ++y) {
                if (out.Stopped(y)) return kSpiAborted;
                png_read_row(d.png, d.rgba.data() + rowBytes * y, nullptr);
            }
        }
        for (png_uint_32 y = 0; y < height; ++y)
            BlendRow(d.rgba.data() + rowBytes * y, out.Row(y), width);
    }
    return kSpiOk;
}

// Whether the source starts with the PNG signature: a source that is not a
// PNG is told apart from a broken one.
bool ReadSignature(Source& source) {
    uint8_t head[kSignature.size()];
    return source.Read(head, sizeof head) == sizeof head &&
           std::memcmp(head, kSignature.data(), sizeof head) == 0;
}

// Creates libpng's structures for the source, past its signature; false when
// memory cannot be had.
bool Start(PngDecode& d) {
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Error, Warning);
    if (d.png == nullptr) return false;
    d.info = png_create_info_struct(d.png);
    if (d.info == nullptr) return false;
    png_set_sig_bytes(d.png, static_cast<int>(kSignature.size()));
    return true;
}

// GetPicture's decoder.
int DecodePicture(Source& source, DibOutput& out) {
    if (!ReadSignature(source)) return kSpiUnknownFormat;
    PngDecode d(source);
    if (!Start(d)) return kSpiNoMemory;
    return Decode(d, out);
}

// GetPictureInfo's reader.
int ReadPictureInfo(Source& source, SpiPictureInfo& info) {
    if (!ReadSignature(source)) return kSpiUnknownFormat;
    PngDecode d(source);
    if (!Start(d)) return kSpiNoMemory;
    return ReadSize(d, info);
}

}  // namespace
}  // namespace octile::spi

OCTILE_SPI_ENTRY_POINTS(octile::spi::kInfo, octile::spi::DecodePicture,
                        octile::spi::ReadPictureInfo, octile::spi::kSignature)
