#pragma once
// The image plug-in interface: shared objects named *.spi that export these
// entry points with C linkage. The host finds them with dlsym; the first three
// are required, the last two optional.
//
// GetPluginInfo(infono, buf, buflen): copies text number infono into buf (at
//   most buflen bytes, terminated when there is room) and returns its length,
//   0 when there is no such text. Text 0 is the API version; a third
//   character "A" marks an archive extractor, which the host skips.
// IsSupported(name, probe): name is the file's UTF-8 path. A probe below
//   kSpiAddressMin is a file descriptor positioned at the picture; the
//   plug-in reads from that position and should leave the position alone
//   (pread). A probe of kSpiAddressMin and above is the address of a buffer
//   holding the picture's first bytes, at least kSpiProbeMinBytes readable.
//   Non-zero: the plug-in can decode the data.
// GetPicture(buf, len, flag, info, bits, progress, user): flag & 7 is 0 when
//   buf is a UTF-8 path and len the offset of the picture in that file, 1 when
//   buf is a memory block of len bytes. On success (0) *info holds a bitmap
//   information header (40 bytes, or a 12-byte core header) followed by its
//   colour table and *bits the pixels; both are malloc'ed by the plug-in and
//   released by the host with free. On failure the plug-in leaves nothing
//   allocated. progress may be null.
// GetPictureInfo(buf, len, flag, info): the source as for GetPicture. On
//   success (0) *info holds the size of the bitmap GetPicture would hand back,
//   read from the picture's headers alone: nothing is decoded, and the size
//   is reported whatever the plug-in's pixel limit.
// SetPictureLimit(maxPixels): GetPicture refuses (kSpiNoMemory) pictures of
//   more than maxPixels pixels (width x height) before it allocates anything
//   for them; 0 restores the plug-in's default, kSpiDefaultMaxPixels. The
//   host calls it before every GetPicture.
#include <stdint.h>

#if defined(__GNUC__)
#define OCTILE_SPI_EXPORT __attribute__((visibility("default")))
#else
#define OCTILE_SPI_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Called by a plug-in while it decodes; non-zero asks it to stop.
typedef int (*SpiProgressCallback)(int nNum, int nDenom, intptr_t lData);

// What GetPictureInfo reports.
typedef struct SpiPictureInfo {
    uint32_t width;        // pixels
    uint32_t height;       // pixels
    uint16_t colourDepth;  // bits per pixel of the bitmap: 8 or 24 for Octile's plug-ins
} SpiPictureInfo;

OCTILE_SPI_EXPORT int GetPluginInfo(int infono, char* buf, int buflen);
OCTILE_SPI_EXPORT int IsSupported(const char* name, intptr_t probe);
OCTILE_SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, void** info,
                                 void** bits, void* progress, intptr_t user);
OCTILE_SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag,
                                     SpiPictureInfo* info);
OCTILE_SPI_EXPORT void SetPictureLimit(uint64_t maxPixels);

#ifdef __cplusplus
}  // extern "C"

namespace octile {

using GetPluginInfoFn = int (*)(int, char*, int);
using IsSupportedFn = int (*)(const char*, intptr_t);
using GetPictureFn = int (*)(const char*, intptr_t, unsigned int, void**, void**, void*, intptr_t);
using GetPictureInfoFn = int (*)(const char*, intptr_t, unsigned int, SpiPictureInfo*);
using SetPictureLimitFn = void (*)(uint64_t);

// The pixel limit of a plug-in that was not told another: 64 megapixels, a
// 192 MB bitmap at 24 bits.
inline constexpr uint64_t kSpiDefaultMaxPixels = 64'000'000;

// Probe values from here on are buffer addresses, below are descriptors.
inline constexpr intptr_t kSpiAddressMin = 65536;
// A memory probe buffer always has this many readable bytes, zero-filled
// beyond the picture data.
inline constexpr uint64_t kSpiProbeMinBytes = 2048;

// GetPicture's flag: where the picture comes from.
inline constexpr unsigned int kSpiSourceFile = 0;
inline constexpr unsigned int kSpiSourceMemory = 1;
inline constexpr unsigned int kSpiSourceMask = 7;

// GetPicture's results.
enum SpiResult : int {
    kSpiOk = 0,
    kSpiNotImplemented = -1,
    kSpiAborted = 1,
    kSpiUnknownFormat = 2,
    kSpiBrokenData = 3,
    kSpiNoMemory = 4,
    kSpiReadError = 6,
    kSpiInternalError = 8,
};

}  // namespace octile
#endif
