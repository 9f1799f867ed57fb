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

// Everything that must outlive a longjmp out of libpng lives here, above the
// frame of Decode, and is cleaned up by its destructor.
struct PngDecode {
    PngDecode(Source& from, DibOutput& to) : source(from), out(to) {}
    PngDecode(const PngDecode&) = delete;
    PngDecode& operator=(const PngDecode&) = delete;

    Source& source;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> rgba;
    std::vector<png_bytep> rows;
    DibOutput& out;

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

// Runs libpng. No object with a destructor may live in this frame: libpng's
// errors return here through longjmp.
int Decode(PngDecode& d) {
    if (setjmp(png_jmpbuf(d.png))) return kSpiBrokenData;
    png_set_read_fn(d.png, &d.source, ReadData);
    png_read_info(d.png, d.info);
    const png_uint_32 width = png_get_image_width(d.png, d.info);
    const png_uint_32 height = png_get_image_height(d.png, d.info);
    const int colourType = png_get_color_type(d.png, d.info);
    const bool paletted = colourType == PNG_COLOR_TYPE_PALETTE;
    if (!d.out.Allocate(width, height, paletted ? 8 : 24)) return kSpiNoMemory;

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
            d.out.SetColour(i, OnWhite(palette[i].red, a), OnWhite(palette[i].green, a),
                            OnWhite(palette[i].blue, a));
        }
    } else {
        png_set_expand(d.png);  // low bit depths to 8, tRNS to alpha
        png_set_strip_16(d.png);
        png_set_gray_to_rgb(d.png);
        png_set_bgr(d.png);
    }
    png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);
    const int channels = png_get_channels(d.png, d.info);
    const size_t rowBytes = png_get_rowbytes(d.png, d.info);
    if (channels != (paletted ? 1 : 3) && channels != 4) return kSpiBrokenData;
    if (rowBytes != size_t{width} * static_cast<size_t>(channels)) return kSpiBrokenData;

    d.rows.resize(height);
    if (channels == 4) {
        // Blended after reading: an interlaced picture needs all of it.
        d.rgba.resize(rowBytes * height);
        for (png_uint_32 y = 0; y < height; ++y) d.rows[y] = d.rgba.data() + rowBytes * y;
    } else {
        for (png_uint_32 y = 0; y < height; ++y) d.rows[y] = d.out.Row(y);
    }
    png_read_image(d.png, d.rows.data());
    if (channels == 4) {
        for (png_uint_32 y = 0; y < height; ++y) {
            const uint8_t* in = d.rows[y];
            uint8_t* row = d.out.Row(y);
            for (png_uint_32 x = 0; x < width; ++x, in += 4, row += 3) {
                row[0] = OnWhite(in[0], in[3]);
                row[1] = OnWhite(in[1], in[3]);
                row[2] = OnWhite(in[2], in[3]);
            }
        }
    }
    return kSpiOk;
}

// GetPicture's decoder: the signature is checked here, so that a source that
// is not a PNG is told apart from a broken one.
int DecodePicture(Source& source, DibOutput& out) {
    uint8_t head[kSignature.size()];
    if (source.Read(head, sizeof head) != sizeof head ||
        std::memcmp(head, kSignature.data(), sizeof head) != 0) {
        return kSpiUnknownFormat;
    }
    PngDecode d(source, out);
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Error, Warning);
    if (d.png == nullptr) return kSpiNoMemory;
    d.info = png_create_info_struct(d.png);
    if (d.info == nullptr) return kSpiNoMemory;
    png_set_sig_bytes(d.png, static_cast<int>(kSignature.size()));
    return Decode(d);
}

}  // namespace
}  // namespace octile::spi

OCTILE_SPI_ENTRY_POINTS(octile::spi::kInfo, octile::spi::DecodePicture, octile::spi::kSignature)
