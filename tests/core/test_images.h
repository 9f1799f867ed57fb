#pragma once
// Pictures for the picture tests, made with the image libraries themselves:
// PNG, JPEG and GIF encoders writing to memory, libjpeg's reference decode,
// and a pixel reader for packed bitmaps and bitmap files. Encoding errors
// abort the test program (the libraries' default handlers).
// jpeglib.h needs FILE and size_t first; include sorting would move it after.
// clang-format off
#include <cstdio>
// clang-format on

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace octile::test {

using Bytes = std::vector<uint8_t>;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// Top row first.
struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<Rgb> pixels;
    Rgb At(uint32_t x, uint32_t y) const { return pixels[size_t{y} * width + x]; }
    bool operator==(const Image&) const = default;
};

// Every pixel a different mix, so a shifted or flipped picture shows.
inline Image PatternImage(uint32_t width, uint32_t height, uint32_t seed = 1) {
    Image img{width, height, {}};
    std::mt19937 rng(seed);
    img.pixels.resize(size_t{width} * height);
    for (auto& p : img.pixels) p = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    return img;
}

// A smooth picture: JPEG keeps it close, so a decode from the wrong place
// shows as a large difference.
inline Image GradientImage(uint32_t width, uint32_t height) {
    Image img{width, height, {}};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            img.pixels.push_back({uint8_t(x * 255 / width), uint8_t(y * 255 / height),
                                  uint8_t((x + y) * 127 / (width + height))});
        }
    }
    return img;
}

inline void PngWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}
inline void PngFlush(png_structp) {}

struct PngOptions {
    bool interlaced = false;
    bool grey = false;    // from the red channel
    int paletteSize = 0;  // > 0: paletted with indices (red % size)
    bool alpha = false;   // RGBA, alpha from the blue channel
};

// The palette PNGs use for PngOptions::paletteSize.
inline Rgb PaletteColour(int i) {
    return {uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i * 5 + 3)};
}

inline Bytes EncodePng(const Image& img, const PngOptions& o = {}) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    const int type = o.paletteSize > 0 ? PNG_COLOR_TYPE_PALETTE
                     : o.grey          ? PNG_COLOR_TYPE_GRAY
                     : o.alpha         ? PNG_COLOR_TYPE_RGBA
                                       : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, img.width, img.height, 8, type,
                 o.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (int i = 0; i < o.paletteSize; ++i) {
        const Rgb c = PaletteColour(i);
        palette.push_back({c.r, c.g, c.b});
    }
    if (o.paletteSize > 0) png_set_PLTE(png, info, palette.data(), o.paletteSize);
    const int channels = type == PNG_COLOR_TYPE_RGB ? 3 : type == PNG_COLOR_TYPE_RGBA ? 4 : 1;
    std::vector<uint8_t> data(size_t{img.width} * img.height * channels);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        const Rgb p = img.pixels[i];
        uint8_t* d = data.data() + i * channels;
        if (o.paletteSize > 0) {
            d[0] = uint8_t(p.r % o.paletteSize);
        } else if (o.grey) {
            d[0] = p.r;
        } else {
            d[0] = p.r;
            d[1] = p.g;
            d[2] = p.b;
            if (channels == 4) d[3] = p.b;
        }
    }
    std::vector<png_bytep> rows(img.height);
    for (uint32_t y = 0; y < img.height; ++y)
        rows[y] = data.data() + size_t{y} * img.width * channels;
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// What a PNG made with these options shows (alpha blended onto white).
inline Image PngExpected(const Image& img, const PngOptions& o) {
    Image e = img;
    for (auto& p : e.pixels) {
        if (o.paletteSize > 0) {
            p = PaletteColour(p.r % o.paletteSize);
        } else if (o.grey) {
            p = {p.r, p.r, p.r};
        } else if (o.alpha) {
            const auto blend = [a = p.b](uint8_t v) {
                return uint8_t((v * a + 255 * (255 - a) + 127) / 255);
            };
            p = {blend(p.r), blend(p.g), blend(p.b)};
        }
    }
    return e;
}

inline Bytes EncodeJpeg(const Image& img, bool grey = false, bool progressive = false) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = img.width;
    cinfo.image_height = img.height;
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t{img.width} * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (uint32_t x = 0; x < img.width; ++x) {
            const Rgb p = img.At(x, cinfo.next_scanline);
            if (grey) {
                row[x] = p.r;
            } else {
                row[x * 3] = p.r;
                row[x * 3 + 1] = p.g;
                row[x * 3 + 2] = p.b;
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// libjpeg's own decode with its default settings, as RGB.
inline Image DecodeJpegReference(const Bytes& data) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), data.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    Image img{cinfo.output_width, cinfo.output_height, {}};
    std::vector<uint8_t> row(size_t{img.width} * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
        for (uint32_t x = 0; x < img.width; ++x)
            img.pixels.push_back({row[x * 3], row[x * 3 + 1], row[x * 3 + 2]});
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return img;
}

inline int GifWrite(GifFileType* gif, const GifByteType* data, int size) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + size);
    return size;
}

struct GifPicture {
    uint32_t screenWidth = 0, screenHeight = 0;
    uint32_t left = 0, top = 0, width = 0, height = 0;
    int background = 0;
    bool interlaced = false;
    std::vector<Rgb> colours;      // at most 256, a power of two
    std::vector<uint8_t> indices;  // width x height, top row first
};

// The GIF's colour i (also in the GIF tests' palettes).
inline Rgb GifColour(int i) { return {uint8_t(i * 7 + 1), uint8_t(i * 3), uint8_t(255 - i)}; }

inline GifPicture PatternGif(uint32_t width, uint32_t height, uint32_t seed = 1) {
    GifPicture g;
    g.screenWidth = g.width = width;
    g.screenHeight = g.height = height;
    for (int i = 0; i < 256; ++i) g.colours.push_back(GifColour(i));
    std::mt19937 rng(seed);
    for (size_t i = 0; i < size_t{width} * height; ++i) g.indices.push_back(uint8_t(rng()));
    return g;
}

inline Bytes EncodeGif(const GifPicture& g) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    std::vector<GifColorType> colours;
    for (const Rgb& c : g.colours) colours.push_back({c.r, c.g, c.b});
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, int(g.screenWidth), int(g.screenHeight), 8, g.background, map);
    EGifPutImageDesc(gif, int(g.left), int(g.top), int(g.width), int(g.height), g.interlaced,
                     nullptr);
    // Rows go out in the order the decoder reads them.
    std::vector<uint32_t> order;
    if (g.interlaced) {
        for (const auto& [start, step] : {std::pair{0u, 8u}, {4u, 8u}, {2u, 4u}, {1u, 2u}}) {
            for (uint32_t y = start; y < g.height; y += step) order.push_back(y);
        }
    } else {
        for (uint32_t y = 0; y < g.height; ++y) order.push_back(y);
    }
    for (const uint32_t y : order) {
        std::vector<GifPixelType> line(g.indices.begin() + size_t{y} * g.width,
                                       g.indices.begin() + size_t{y + 1} * g.width);
        EGifPutLine(gif, line.data(), int(g.width));
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

// The screen a GIF made from g shows.
inline Image GifExpected(const GifPicture& g) {
    Image e{g.screenWidth, g.screenHeight, {}};
    e.pixels.assign(size_t{e.width} * e.height, g.colours[size_t(g.background)]);
    for (uint32_t y = 0; y < g.height; ++y) {
        for (uint32_t x = 0; x < g.width; ++x) {
            e.pixels[size_t{g.top + y} * e.width + g.left + x] =
                g.colours[g.indices[size_t{y} * g.width + x]];
        }
    }
    return e;
}

inline uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t ReadLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// The pixels of a packed bitmap with a 40-byte header, 24 or 8 bits per
// pixel, uncompressed; pixelOffset is where the pixels start (after the
// colour table). An empty image when the data does not hold them.
inline Image DibPixels(const uint8_t* dib, size_t size, size_t pixelOffset) {
    if (size < 40 || ReadLe32(dib) != 40) return {};
    const int32_t width = int32_t(ReadLe32(dib + 4));
    const int32_t height = int32_t(ReadLe32(dib + 8));
    const int bits = ReadLe16(dib + 14);
    if (width <= 0 || height == 0 || (bits != 24 && bits != 8) || ReadLe32(dib + 16) != 0)
        return {};
    const uint32_t rows = uint32_t(height < 0 ? -height : height);
    const size_t stride = (size_t(bits) * width + 31) / 32 * 4;
    if (pixelOffset + stride * rows > size) return {};
    Image img{uint32_t(width), rows, {}};
    for (uint32_t y = 0; y < rows; ++y) {
        const uint32_t stored = height < 0 ? y : rows - 1 - y;
        const uint8_t* row = dib + pixelOffset + stride * stored;
        for (int32_t x = 0; x < width; ++x) {
            if (bits == 24) {
                img.pixels.push_back({row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
            } else {
                const uint8_t* c = dib + 40 + size_t{row[x]} * 4;
                img.pixels.push_back({c[2], c[1], c[0]});
            }
        }
    }
    return img;
}

// Same for a packed bitmap whose colour table size follows the usual rules.
inline Image PackedPixels(const std::vector<uint8_t>& dib) {
    if (dib.size() < 40) return {};
    const uint32_t used = ReadLe32(dib.data() + 32);
    const int bits = ReadLe16(dib.data() + 14);
    const size_t colours = used != 0 ? used : bits <= 8 ? size_t{1} << bits : 0;
    return DibPixels(dib.data(), dib.size(), 40 + colours * 4);
}

// Same for a bitmap file, using its pixel-offset field.
inline Image BmpFilePixels(const std::string& file) {
    const auto* p = reinterpret_cast<const uint8_t*>(file.data());
    if (file.size() < 54 || p[0] != 'B' || p[1] != 'M') return {};
    const uint32_t offset = ReadLe32(p + 10);
    if (offset < 14) return {};
    return DibPixels(p + 14, file.size() - 14, offset - 14);
}

}  // namespace octile::test
