#include "picture/picture_host.h"

#include <dirent.h>
#include <dlfcn.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "util/little_endian.h"

namespace octile {

namespace {

// Bytes the bitmap file header test reads.
constexpr uint64_t kBitmapTestBytes = 28;

// "BM", 0 in the 32 bits at p+5, a 40-byte information header, one plane.
bool IsBitmapFileHeader(const uint8_t* p) {
    return p[0] == 'B' && p[1] == 'M' && Le32(p + 5) == 0 && Le32(p + 14) == kInfoHeaderSize &&
           Le16(p + 26) == 1;
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using MallocBlock = std::unique_ptr<void, FreeDeleter>;

// Bytes that may be read from a block the plug-in allocated with malloc: the
// bound that keeps a header claiming more than its block from being copied.
uint64_t BlockSize(const void* block) {
    return block == nullptr ? 0 : ::malloc_usable_size(const_cast<void*>(block));
}

// The extension of the file-name part of path, from its last dot, in upper case.
std::string UpperExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return {};
    std::string ext = path.substr(dot);
    for (char& c : ext) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return ext;
}

// GetPicture's progress callback: non-zero once the host's stop flag is up.
int StopRequested(int, int, intptr_t stop) {
    return reinterpret_cast<const std::atomic<bool>*>(stop)->load(std::memory_order_relaxed) ? 1
                                                                                             : 0;
}

bool HasSpiExtension(const char* name) {
    const size_t n = std::strlen(name);
    return n > 4 && ::strcasecmp(name + n - 4, ".spi") == 0;
}

// The *.spi entries of folder that are not directories, in name order; none
// when the folder cannot be read.
std::vector<std::string> ListPlugins(const std::string& folder) {
    if (folder.empty()) return {};
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return {};
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    std::vector<std::string> paths;
    while (const dirent* e = ::readdir(dir)) {
        if (!HasSpiExtension(e->d_name)) continue;
        std::string path = prefix + e->d_name;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        paths.push_back(std::move(path));
    }
    ::closedir(dir);
    std::sort(paths.begin(), paths.end());
    return paths;
}

template <class Fn>
Fn Symbol(void* library, const char* name) {
    return reinterpret_cast<Fn>(::dlsym(library, name));
}

}  // namespace

void LibraryCloser::operator()(void* handle) const {
    if (handle != nullptr) ::dlclose(handle);
}

std::optional<SignatureMatch> DetectSignature(const uint8_t* bytes, uint32_t validCount,
                                              uint64_t windowOffset, uint64_t anchor) {
    if (bytes == nullptr || anchor < windowOffset) return std::nullopt;
    const uint64_t at = anchor - windowOffset;  // the anchor's index in the window
    // True when count bytes from index i (i may be at - 1) are file bytes.
    const auto valid = [&](uint64_t i, uint64_t count) {
        return i <= validCount && validCount - i >= count;
    };
    const auto text = [&](uint64_t i, const char* s) {
        const size_t n = std::strlen(s);
        return valid(i, n) && std::memcmp(bytes + i, s, n) == 0;
    };
    using S = PictureSignature;
    if (valid(at, kBitmapTestBytes) && IsBitmapFileHeader(bytes + at))
        return SignatureMatch{S::Bitmap, anchor};
    if (at >= 1 && valid(at - 1, kBitmapTestBytes) && IsBitmapFileHeader(bytes + at - 1)) {
        return SignatureMatch{S::BitmapBefore, anchor - 1};
    }
    if (text(at, "\xFF\xD8")) return SignatureMatch{S::Jpeg, anchor};
    if (text(at, "GIF")) return SignatureMatch{S::Gif, anchor};
    if (text(at, "PICT")) return SignatureMatch{S::Pict, anchor};
    if (text(at, "Pi")) return SignatureMatch{S::Pi, anchor};
    if (text(at, "MAKI")) return SignatureMatch{S::Maki, anchor};
    if (anchor >= 6 && text(at, "JFIF")) return SignatureMatch{S::Jfif, anchor - 6};
    if (anchor >= 1 && text(at, "PNG")) return SignatureMatch{S::Png, anchor - 1};
    return std::nullopt;
}

std::string PictureFolder(const std::string& plugInFolder, const std::string& programFolder) {
    return plugInFolder.empty() ? programFolder : plugInFolder;
}

std::optional<PackedBitmap> PackPluginOutput(const void* info, const void* bits) {
    const auto* header = static_cast<const uint8_t*>(info);
    const auto l = ReadDibLayout(header, BlockSize(info));
    if (!l || l->imageSize > BlockSize(bits)) return std::nullopt;
    PackedBitmap packed;
    try {
        packed.resize(l->PackedSize());
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    std::memcpy(packed.data(), header, l->PixelOffset());
    if (l->imageSize > 0) std::memcpy(packed.data() + l->PixelOffset(), bits, l->imageSize);
    return packed;
}

PictureHost::~PictureHost() = default;

void PictureHost::ReleasePlugin() { library_.reset(); }

bool PictureHost::FindPlugin(const std::string& name, intptr_t probe) {
    return FindPlugin(ListPlugins(folder_), name, probe);
}

bool PictureHost::FindPlugin(const std::vector<std::string>& plugins, const std::string& name,
                             intptr_t probe) {
    ReleasePlugin();
    lastHit_ = Hit::None;
    lastPluginPath_.clear();
    if (plugins.empty()) return false;
    const bool address = probe >= kSpiAddressMin;
    // Each library gets the descriptor at the picture, whatever the one
    // before it read.
    const off_t start = address ? 0 : ::lseek(static_cast<int>(probe), 0, SEEK_CUR);
    for (const std::string& path : plugins) {
        LibraryHandle library(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
        if (!library) continue;
        const auto getInfo = Symbol<GetPluginInfoFn>(library.get(), "GetPluginInfo");
        const auto isSupported = Symbol<IsSupportedFn>(library.get(), "IsSupported");
        if (getInfo == nullptr || isSupported == nullptr) continue;
        char version[5] = {};
        getInfo(0, version, sizeof version);
        if (version[2] == 'A') continue;  // an archive extractor
        if (!address && start >= 0) ::lseek(static_cast<int>(probe), start, SEEK_SET);
        Hit hit = Hit::None;
        if (isSupported(name.c_str(), probe) != 0) {
            hit = Hit::Direct;
        } else if (address &&
                   isSupported(name.c_str(), probe + static_cast<intptr_t>(kHeaderSkip)) != 0) {
            hit = Hit::Skip128;
        }
        if (hit != Hit::None) {
            library_ = std::move(library);
            lastHit_ = hit;
            lastPluginPath_ = path;
            return true;
        }
    }
    return false;
}

bool PictureHost::WithinLimit(uint64_t width, uint64_t height) {
    // Both sides come from 32-bit fields: the product does not wrap.
    if (width <= UINT32_MAX && height <= UINT32_MAX && width * height <= maxPixels_) return true;
    refused_ = PictureSize{width, height};
    return false;
}

PictureHost::Decoded PictureHost::CallGetPicture(std::span<const Attempt> attempts, unsigned flag) {
    Decoded result;
    const auto getPicture = Symbol<GetPictureFn>(library_.get(), "GetPicture");
    const auto getInfo = Symbol<GetPictureInfoFn>(library_.get(), "GetPictureInfo");
    if (const auto setLimit = Symbol<SetPictureLimitFn>(library_.get(), "SetPictureLimit"))
        setLimit(maxPixels_);
    for (const Attempt& a : attempts) {
        if (getPicture == nullptr) break;
        if (a.value > static_cast<uint64_t>(std::numeric_limits<intptr_t>::max())) continue;
        const auto value = static_cast<intptr_t>(a.value);
        // The declared size decides before anything is decoded; a picture
        // over the limit ends the load.
        SpiPictureInfo declared{};
        if (getInfo != nullptr && getInfo(a.source, value, flag, &declared) == kSpiOk &&
            !WithinLimit(declared.width, declared.height)) {
            result.done = true;
            break;
        }
        void* info = nullptr;
        void* bits = nullptr;
        const SpiProgressCallback callback = stop_ != nullptr ? StopRequested : nullptr;
        const auto progress = reinterpret_cast<void*>(callback);
        const int decoded = getPicture(a.source, value, flag, &info, &bits, progress,
                                       reinterpret_cast<intptr_t>(stop_));
        // A picture that needs more memory (or work) than the plug-in may
        // spend would need as much on every other attempt; a stopped load
        // is not tried again either.
        if (decoded == kSpiNoMemory || decoded == kSpiAborted) {
            result.done = true;
            break;
        }
        if (decoded == kSpiOk) {
            const MallocBlock infoBlock(info), bitsBlock(bits);
            result.done = true;
            // A plug-in that does not report sizes is held to the limit by
            // what it hands back: no copy is made of a bitmap over it.
            const auto l = ReadDibLayout(static_cast<const uint8_t*>(info), BlockSize(info));
            if (!l || WithinLimit(static_cast<uint64_t>(l->width), l->rows))
                result.bitmap = PackPluginOutput(info, bits);
            break;
        }
    }
    ReleasePlugin();
    return result;
}

PictureHost::Decoded PictureHost::DecodeFromFile(const std::string& path, uint64_t offset) {
    // The picture's own offset, then 128 bytes on: a picture behind a
    // 128-byte header.
    const Attempt attempts[] = {{path.c_str(), offset}, {path.c_str(), offset + kHeaderSkip}};
    return CallGetPicture(attempts, kSpiSourceFile);
}

PictureHost::Decoded PictureHost::DecodeFromMemory(const std::vector<std::string>& plugins,
                                                   const std::string& path, const FileHandle& file,
                                                   uint64_t offset) {
    const uint64_t length = file.Length();
    if (offset >= length) return {};
    const uint64_t n = std::min(length - offset, kProbeLimit);
    // Zero-filled, and never smaller than what a plug-in may look at.
    std::vector<uint8_t> buffer;
    try {
        buffer.assign(std::max(n, kSpiProbeMinBytes) + kHeaderSkip, 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (file.ReadAt(buffer.data(), n, offset) != n) return {};
    const auto address = reinterpret_cast<intptr_t>(buffer.data());
    if (address < kSpiAddressMin || !FindPlugin(plugins, path, address)) return {};
    const auto* data = reinterpret_cast<const char*>(buffer.data());
    // With no more than 128 bytes there is nothing behind such a header.
    const uint64_t behindHeader = n > kHeaderSkip ? n - kHeaderSkip : 0;
    const Attempt attempts[] = {{data, n}, {data + kHeaderSkip, behindHeader}};
    return CallGetPicture(std::span(attempts, behindHeader > 0 ? 2 : 1), kSpiSourceMemory);
}

int PictureHost::TakeBitmapFile(CDib& dib, const FileHandle& file, uint64_t offset) {
    const auto l = ReadBitmapFileLayout(file, offset);
    if (l && !WithinLimit(static_cast<uint64_t>(l->width), l->rows))
        return dib.TakeBitmap(std::nullopt);
    return dib.TakeBitmap(ReadBitmapFile(file, offset));
}

int PictureHost::LoadPicture(CDib& dib, const std::string& path, uint64_t offset) {
    refused_.reset();
    OpenError error = OpenError::None;
    const FileHandle file = FileHandle::Open(path, FileHandle::ReadOnly, &error);
    if (!file.IsOpen()) return dib.TakeBitmap(std::nullopt);
    const std::string ext = UpperExtension(path);
    if (ext == ".BMP") return TakeBitmapFile(dib, file, offset);
    if (ext == ".M3U") return dib.TakeBitmap(std::nullopt);

    // Both probes ask the same plug-ins: the folder is listed once. A library
    // a caller left loaded goes now, also when neither probe gets to search.
    const std::vector<std::string> plugins = ListPlugins(folder_);
    ReleasePlugin();

    // File probe: the descriptor positioned at the picture. A descriptor in
    // the address range cannot be told from an address and is not offered.
    const int fd = file.fd();
    if (fd < kSpiAddressMin && offset <= static_cast<uint64_t>(std::numeric_limits<off_t>::max()) &&
        ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0 && FindPlugin(plugins, path, fd)) {
        // A picture the plug-in decoded ends the load, even when its output
        // cannot be used.
        if (Decoded d = DecodeFromFile(path, offset); d.done)
            return dib.TakeBitmap(std::move(d.bitmap));
    }

    if (Stopped()) return 0;
    // Memory probe: the picture's first bytes (at most kProbeLimit).
    if (Decoded d = DecodeFromMemory(plugins, path, file, offset); d.done) {
        return dib.TakeBitmap(std::move(d.bitmap));
    }

    // Last resort: a bitmap file at the offset.
    if (Stopped()) return 0;
    return TakeBitmapFile(dib, file, offset);
}

}  // namespace octile
