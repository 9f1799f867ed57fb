// A test image plug-in that appends every call it receives to the file named
// by $OCTILE_SPI_LOG, one line per call, and decodes a tiny picture format:
//   "MAKI", mode, width, height, then width x height RGB triples (top row
//   first).
// The mode byte asks for the plug-in's misbehaviours (kMode... below). The
// build makes variants of it with compile definitions:
//   SPI_TAG       its name in the log
//   SPI_VERSION   the API version text (default "00IN")
//   SPI_NO_INFO   no GetPluginInfo
//   SPI_NO_PICTURE  no GetPicture
//   SPI_GREEDY    IsSupported reads 2 KiB from a descriptor with read()
//                 (moving its position) and refuses everything
//   SPI_SIZES     GetPictureInfo (the header's width and height) and
//                 SetPictureLimit, both logged
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "picture/spi.h"

#ifndef SPI_TAG
#define SPI_TAG "rec"
#endif
#ifndef SPI_VERSION
#define SPI_VERSION "00IN"
#endif

namespace {

enum Mode : uint8_t {
    kModeNoDescriptor = 0x01,  // refuse descriptor probes
    kModeFileFails = 0x02,     // GetPicture from a file fails
    kModeTopDown = 0x04,       // hand back top-down rows
    kModePaletted = 0x08,      // 8 bits, index = red, colour i = (i, 255 - i, i / 2)
    kModeHugeWidth = 0x10,     // header claims a width of 0x7FFFFFFF
    kModeShortBits = 0x20,     // pixel block smaller than the header says
    kModeCoreHeader = 0x40,    // a 12-byte core header
    kModeSlow = 0x80,          // GetPicture takes 1 s, asking progress every 10 ms
};

void Log(const std::string& line) {
    const char* path = std::getenv("OCTILE_SPI_LOG");
    if (path == nullptr) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s %s\n", SPI_TAG, line.c_str());
        std::fclose(f);
    }
}

// The 7-byte head of the picture behind a probe, without moving a descriptor.
bool ReadHead(intptr_t probe, uint8_t* head, long long& position) {
    position = -1;
    if (probe >= octile::kSpiAddressMin) {
        std::memcpy(head, reinterpret_cast<const void*>(probe), 7);
        return true;
    }
    position = ::lseek(static_cast<int>(probe), 0, SEEK_CUR);
    return position >= 0 && ::pread(static_cast<int>(probe), head, 7, position) == 7;
}

bool IsPicture(const uint8_t* head) { return std::memcmp(head, "MAKI", 4) == 0; }

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

[[maybe_unused]] int Decode(const std::vector<uint8_t>& data, void** info, void** bits) {
    if (data.size() < 7 || !IsPicture(data.data())) return octile::kSpiUnknownFormat;
    const uint8_t mode = data[4];
    const uint32_t w = data[5], h = data[6];
    if (w == 0 || h == 0 || data.size() < 7 + size_t{w} * h * 3) return octile::kSpiBrokenData;
    const bool paletted = mode & kModePaletted;
    const uint32_t bitCount = paletted ? 8 : 24;
    const uint32_t stride = (bitCount * w + 31) / 32 * 4;
    if (mode & kModeCoreHeader) {
        auto* header = static_cast<uint8_t*>(std::calloc(12, 1));
        Put32(header, 12);
        header[4] = uint8_t(w);
        header[6] = uint8_t(h);
        header[8] = 1;
        header[10] = 24;
        *info = header;
    } else {
        const size_t infoSize = 40 + (paletted ? 1024 : 0);
        auto* header = static_cast<uint8_t*>(std::calloc(infoSize, 1));
        Put32(header, 40);
        Put32(header + 4, mode & kModeHugeWidth ? 0x7FFFFFFF : w);
        Put32(header + 8, mode & kModeTopDown ? uint32_t(-int32_t(h)) : h);
        header[12] = 1;
        header[14] = uint8_t(bitCount);
        for (int i = 0; paletted && i < 256; ++i) {
            header[40 + i * 4] = uint8_t(i / 2);
            header[40 + i * 4 + 1] = uint8_t(255 - i);
            header[40 + i * 4 + 2] = uint8_t(i);
        }
        *info = header;
    }
    const size_t bitsSize = mode & kModeShortBits ? 16 : size_t{stride} * h;
    auto* pixels = static_cast<uint8_t*>(std::calloc(bitsSize, 1));
    for (uint32_t y = 0; y < h && !(mode & kModeShortBits); ++y) {
        const uint32_t stored = mode & kModeTopDown ? y : h - 1 - y;
        uint8_t* row = pixels + size_t{stored} * stride;
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = data.data() + 7 + (size_t{y} * w + x) * 3;
            if (paletted) {
                row[x] = p[0];
            } else {
                row[x * 3] = p[2];
                row[x * 3 + 1] = p[1];
                row[x * 3 + 2] = p[0];
            }
        }
    }
    *bits = pixels;
    return octile::kSpiOk;
}

}  // namespace

#ifndef SPI_NO_INFO
extern "C" OCTILE_SPI_EXPORT int GetPluginInfo(int infono, char* buf, int buflen) {
    Log("info " + std::to_string(infono) + " " + std::to_string(buflen));
    if (infono != 0 || buflen < 5) return 0;
    std::memcpy(buf, SPI_VERSION, 4);
    return 4;
}
#endif

extern "C" OCTILE_SPI_EXPORT int IsSupported(const char* name, intptr_t probe) {
    const bool address = probe >= octile::kSpiAddressMin;
#ifdef SPI_GREEDY
    if (!address) {
        char buffer[2048];
        const ssize_t n = ::read(static_cast<int>(probe), buffer, sizeof buffer);
        Log("supported fd read " + std::to_string(n));
        return 0;
    }
#endif
    uint8_t head[7] = {};
    long long position = -1;
    const bool read = ReadHead(probe, head, position);
    const bool accept = read && IsPicture(head) && !(!address && (head[4] & kModeNoDescriptor));
    Log(std::string("supported ") +
        (address ? "mem " + std::to_string(static_cast<unsigned long long>(probe))
                 : "fd " + std::to_string(position)) +
        " " + name + " " + (accept ? "yes" : "no"));
    return accept ? 1 : 0;
}

#ifndef SPI_NO_PICTURE
extern "C" OCTILE_SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag,
                                            void** info, void** bits, void* progress,
                                            intptr_t user) {
    const bool file = (flag & octile::kSpiSourceMask) == octile::kSpiSourceFile;
    std::vector<uint8_t> data;
    if (file) {
        Log("picture file " + std::to_string(len) + " " + buf + (progress || user ? " extra" : ""));
        const int fd = ::open(buf, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return octile::kSpiReadError;
        data.resize(7 + 255 * 255 * 3);
        const ssize_t n = ::pread(fd, data.data(), data.size(), static_cast<off_t>(len));
        ::close(fd);
        data.resize(n > 0 ? size_t(n) : 0);
        if (data.size() >= 7 && (data[4] & kModeFileFails)) return octile::kSpiBrokenData;
    } else {
        Log("picture mem " +
            std::to_string(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(buf))) +
            " " + std::to_string(len) + (progress || user ? " extra" : ""));
        data.assign(buf, buf + len);
    }
    if (data.size() >= 7 && (data[4] & kModeSlow)) {
        const auto callback = reinterpret_cast<SpiProgressCallback>(progress);
        for (int i = 0; i < 100; ++i) {
            if (callback != nullptr && callback(i, 100, user) != 0) {
                Log("picture stopped");
                return octile::kSpiAborted;
            }
            ::usleep(10000);
        }
    }
    return Decode(data, info, bits);
}
#endif

#ifdef SPI_SIZES
extern "C" OCTILE_SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag,
                                                SpiPictureInfo* info) {
    const bool file = (flag & octile::kSpiSourceMask) == octile::kSpiSourceFile;
    uint8_t head[7] = {};
    bool read = false;
    if (file) {
        const int fd = ::open(buf, O_RDONLY | O_CLOEXEC);
        read = fd >= 0 && ::pread(fd, head, sizeof head, static_cast<off_t>(len)) == 7;
        if (fd >= 0) ::close(fd);
    } else if (len >= 7) {
        std::memcpy(head, buf, sizeof head);
        read = true;
    }
    if (!read || !IsPicture(head)) {
        Log(std::string("pictureinfo ") + (file ? "file" : "mem") + " none");
        return octile::kSpiUnknownFormat;
    }
    info->width = head[5];
    info->height = head[6];
    info->colourDepth = head[4] & kModePaletted ? 8 : 24;
    Log(std::string("pictureinfo ") + (file ? "file " + std::to_string(len) : "mem") + " " +
        std::to_string(head[5]) + "x" + std::to_string(head[6]));
    return octile::kSpiOk;
}

extern "C" OCTILE_SPI_EXPORT void SetPictureLimit(uint64_t maxPixels) {
    Log("limit " + std::to_string(maxPixels));
}
#endif
