#pragma once
// What the image plug-ins' fuzz targets share: the plug-in, built with the
// same instrumentation as the target, loaded with dlopen as the program loads
// it and driven through its C entry points. Checked: the descriptor and memory
// probes agree and leave the descriptor where it was; a failed decode hands
// nothing back; a decoded picture is within the pixel limit, has the size
// GetPictureInfo declared, and is taken and drawn as the picture window
// would; a picture declared over the limit is never decoded.
//
// Input: byte 0: bits 0-3 the pixel limit (2^(8 + n % 13) pixels: 256 to
// 2^20), bit 4 the source (a file with the picture 3 bytes in, else a memory
// block of exactly the picture's bytes); the rest: the picture.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "picture/dib.h"
#include "picture/picture_host.h"
#include "picture/spi.h"
#include "picture_checks.h"

namespace octile::fuzz {

struct PluginEntryPoints {
    IsSupportedFn isSupported = nullptr;
    GetPictureFn getPicture = nullptr;
    GetPictureInfoFn getPictureInfo = nullptr;
    SetPictureLimitFn setPictureLimit = nullptr;
};

// Loads the plug-in (a file name in OCTILE_FUZZ_PLUGIN_DIR) for the life of
// the process; aborts when it or an entry point is missing.
inline PluginEntryPoints LoadPlugin(const char* name) {
    const std::string path = std::string(OCTILE_FUZZ_PLUGIN_DIR) + "/" + name;
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) std::fprintf(stderr, "%s\n", ::dlerror());
    FUZZ_CHECK(library != nullptr);
    PluginEntryPoints p;
    p.isSupported = reinterpret_cast<IsSupportedFn>(::dlsym(library, "IsSupported"));
    p.getPicture = reinterpret_cast<GetPictureFn>(::dlsym(library, "GetPicture"));
    p.getPictureInfo = reinterpret_cast<GetPictureInfoFn>(::dlsym(library, "GetPictureInfo"));
    p.setPictureLimit = reinterpret_cast<SetPictureLimitFn>(::dlsym(library, "SetPictureLimit"));
    FUZZ_CHECK(p.isSupported && p.getPicture && p.getPictureInfo && p.setPictureLimit);
    return p;
}

inline int FuzzPlugin(const PluginEntryPoints& plugin, const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t flags = in.Byte();
    const uint64_t limit = uint64_t{1} << (8 + (flags & 15) % 13);
    const bool fromFile = (flags & 0x10) != 0;
    const std::vector<uint8_t> picture = in.Rest();

    // The memory probe: the picture's bytes, zero-filled to the least the
    // host offers.
    std::vector<uint8_t> probe = picture;
    probe.resize(std::max<size_t>(probe.size(), kSpiProbeMinBytes), 0);
    const ExactBlock probeBlock(probe);
    const bool supported =
        plugin.isSupported("fuzz", reinterpret_cast<intptr_t>(probeBlock.data())) != 0;

    const ExactBlock block(picture);
    std::string path;
    const char* source = reinterpret_cast<const char*>(block.data());
    intptr_t value = static_cast<intptr_t>(block.size());
    unsigned flag = kSpiSourceMemory;
    if (fromFile) {
        std::vector<uint8_t> file = {'x', 'y', 'z'};
        file.insert(file.end(), picture.begin(), picture.end());
        path = ScratchFolder() + "/picture.bin";
        FUZZ_CHECK(WriteFile(path, file.data(), file.size()));
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        FUZZ_CHECK(fd >= 0);
        FUZZ_CHECK(::lseek(fd, 3, SEEK_SET) == 3);
        FUZZ_CHECK((plugin.isSupported(path.c_str(), fd) != 0) == supported);
        FUZZ_CHECK(::lseek(fd, 0, SEEK_CUR) == 3);
        ::close(fd);
        source = path.c_str();
        value = 3;
        flag = kSpiSourceFile;
    }

    plugin.setPictureLimit(limit);
    SpiPictureInfo declared{};
    const bool sized = plugin.getPictureInfo(source, value, flag, &declared) == kSpiOk;
    void* info = nullptr;
    void* bits = nullptr;
    const int result = plugin.getPicture(source, value, flag, &info, &bits, nullptr, 0);
    if (sized && uint64_t{declared.width} * declared.height > limit) FUZZ_CHECK(result != kSpiOk);
    if (result != kSpiOk) {
        FUZZ_CHECK(info == nullptr && bits == nullptr);
        return 0;
    }
    FUZZ_CHECK(sized);
    std::optional<PackedBitmap> packed = PackPluginOutput(info, bits);
    std::free(info);
    std::free(bits);
    FUZZ_CHECK(packed.has_value());
    const auto l = ReadPackedLayout(*packed);
    FUZZ_CHECK(l.has_value());
    FUZZ_CHECK(static_cast<uint64_t>(l->width) == declared.width && l->rows == declared.height);
    FUZZ_CHECK(l->bitCount == declared.colourDepth);
    FUZZ_CHECK(static_cast<uint64_t>(l->width) * l->rows <= limit);
    CDib dib;
    FUZZ_CHECK(dib.TakeBitmap(std::move(packed)) != 0);
    DrawLikeAWindow(dib);
    return 0;
}

}  // namespace octile::fuzz
