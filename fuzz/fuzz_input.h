#pragma once
// What the fuzz targets share: an input taken apart from the front (settings
// first, so that hand-written seeds stay readable), exact-size copies for
// AddressSanitizer to guard, and a check that aborts with a message.
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace octile::fuzz {

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // The next byte, or 0 past the end.
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    uint32_t U32() { return static_cast<uint32_t>(U16()) | static_cast<uint32_t>(U16()) << 16; }
    uint64_t U64() { return static_cast<uint64_t>(U32()) | static_cast<uint64_t>(U32()) << 32; }

    // The next n bytes, fewer at the end.
    std::vector<uint8_t> Take(size_t n) {
        n = std::min(n, size_ - pos_);
        std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }
    std::vector<uint8_t> Rest() { return Take(size_ - pos_); }
    size_t Remaining() const { return size_ - pos_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A heap block of exactly the bytes given: a read or write one byte past it
// is a heap-buffer-overflow (a vector's spare capacity would hide it).
class ExactBlock {
  public:
    explicit ExactBlock(const std::vector<uint8_t>& bytes)
        : ExactBlock(bytes.data(), bytes.size()) {}
    ExactBlock(const uint8_t* bytes, size_t size)
        : data_(std::make_unique<uint8_t[]>(size)), size_(size) {
        if (size > 0) std::memcpy(data_.get(), bytes, size);
    }
    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }

  private:
    std::unique_ptr<uint8_t[]> data_;
    size_t size_;
};

// Little-endian byte pairs as UTF-16 units; an odd last byte is a unit too.
inline std::u16string Utf16Units(const std::vector<uint8_t>& bytes) {
    std::u16string out;
    out.reserve((bytes.size() + 1) / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        const uint8_t high = i + 1 < bytes.size() ? bytes[i + 1] : 0;
        out.push_back(static_cast<char16_t>(bytes[i] | high << 8));
    }
    return out;
}

// A folder for the life of the process (removed at exit).
inline const std::string& ScratchFolder() {
    static const test::TempDir dir;
    return dir.path();
}

// Points the settings and data folders into the scratch folder, so that a
// target never reads or writes the user's own.
inline void UseScratchFolders() {
    const std::string& root = ScratchFolder();
    ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
}

inline bool WriteFile(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace octile::fuzz
