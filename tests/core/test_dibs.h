#pragma once
// Packed bitmaps (a bitmap information header, its colour table and pixels)
// of any shape, for the tests of the bitmap holder and of saving pictures,
// and bitmap files of a given picture.
#include <cstdint>
#include <random>
#include <vector>

#include "core/test_images.h"

namespace octile::test {

using Bytes = std::vector<uint8_t>;

inline void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

struct DibShape {
    int32_t width = 4;
    int32_t height = 4;
    uint16_t bits = 24;
    uint32_t used = 0;  // used-colours field
    uint32_t compression = 0;
    uint32_t imageSizeField = 0;
    uint64_t rleBytes = 0;  // pixel bytes of a run-length encoded picture
};

inline uint64_t Stride(const DibShape& s) {
    return (uint64_t{s.bits} * uint64_t(s.width) + 31) / 32 * 4;
}
inline uint32_t Colours(const DibShape& s) {
    return s.used != 0 ? s.used : s.bits <= 8 ? 1u << s.bits : 0;
}
inline uint64_t ImageBytes(const DibShape& s) {
    return s.compression != 0 ? s.rleBytes
                              : Stride(s) * uint64_t(s.height < 0 ? -int64_t(s.height) : s.height);
}

// A packed bitmap with a 40-byte header, its colour table and random pixels.
inline Bytes MakeDib(const DibShape& s, uint32_t seed = 7) {
    Bytes dib(40 + Colours(s) * 4 + ImageBytes(s));
    Put32(&dib[0], 40);
    Put32(&dib[4], uint32_t(s.width));
    Put32(&dib[8], uint32_t(s.height));
    dib[12] = 1;
    dib[14] = uint8_t(s.bits);
    Put32(&dib[16], s.compression);
    Put32(&dib[20], s.imageSizeField);
    Put32(&dib[32], s.used);
    std::mt19937 rng(seed);
    for (size_t i = 40; i < dib.size(); ++i) dib[i] = uint8_t(rng());
    return dib;
}

// A core-header (12-byte) bitmap: 16-bit width and height, 3-byte colours.
inline Bytes MakeCoreDib(uint16_t width, uint16_t height, uint16_t bits) {
    const uint32_t colours = bits <= 8 ? 1u << bits : 0;
    const uint64_t stride = (uint64_t{bits} * width + 31) / 32 * 4;
    Bytes dib(12 + colours * 3 + stride * height);
    Put32(&dib[0], 12);
    dib[4] = uint8_t(width);
    dib[5] = uint8_t(width >> 8);
    dib[6] = uint8_t(height);
    dib[7] = uint8_t(height >> 8);
    dib[8] = 1;
    dib[10] = uint8_t(bits);
    for (size_t i = 12; i < dib.size(); ++i) dib[i] = uint8_t(i * 13);
    return dib;
}

// A bitmap file of a 24-bit picture: file header, 40-byte header with its
// size fields filled in, and bottom-up rows.
inline Bytes BitmapFile(const Image& img) {
    const uint32_t stride = uint32_t(Stride({int32_t(img.width), int32_t(img.height), 24}));
    Bytes f(54 + size_t{stride} * img.height, 0);
    f[0] = 'B';
    f[1] = 'M';
    Put32(&f[2], uint32_t(f.size()));
    Put32(&f[10], 54);
    Put32(&f[14], 40);
    Put32(&f[18], img.width);
    Put32(&f[22], img.height);
    f[26] = 1;
    f[28] = 24;
    Put32(&f[34], uint32_t(f.size() - 54));
    for (uint32_t y = 0; y < img.height; ++y) {
        for (uint32_t x = 0; x < img.width; ++x) {
            const Rgb p = img.At(x, y);
            uint8_t* d = &f[54 + size_t{img.height - 1 - y} * stride + x * 3];
            d[0] = p.b;
            d[1] = p.g;
            d[2] = p.r;
        }
    }
    return f;
}

}  // namespace octile::test
