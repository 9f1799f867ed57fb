#include "spi_common.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <limits>

#include "util/little_endian.h"

namespace octile::spi {

namespace {

ssize_t PreadFully(int fd, uint8_t* out, size_t n, off_t offset) {
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, out + done, n - done, offset + static_cast<off_t>(done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        }
        if (r == 0) break;
        done += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(done);
}

// Copies up to n bytes of the data behind an IsSupported probe into out.
// Returns the bytes copied.
size_t ReadProbe(intptr_t probe, uint8_t* out, size_t n) {
    if (probe >= kSpiAddressMin) {
        // The host guarantees kSpiProbeMinBytes readable bytes.
        n = std::min<size_t>(n, kSpiProbeMinBytes);
        std::memcpy(out, reinterpret_cast<const void*>(probe), n);
        return n;
    }
    const int fd = static_cast<int>(probe);
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0) return 0;
    const ssize_t r = PreadFully(fd, out, n, at);
    return r < 0 ? 0 : static_cast<size_t>(r);
}

std::atomic<uint64_t> maxPixels{kSpiDefaultMaxPixels};

}  // namespace

uint64_t MaxPixels() { return maxPixels.load(std::memory_order_relaxed); }

void SetMaxPixels(uint64_t pixels) {
    maxPixels.store(pixels == 0 ? kSpiDefaultMaxPixels : pixels, std::memory_order_relaxed);
}

bool ProbeStartsWith(intptr_t probe, std::initializer_list<std::string_view> signatures) {
    size_t longest = 0;
    for (const std::string_view signature : signatures)
        longest = std::max(longest, signature.size());
    uint8_t head[kSpiProbeMinBytes];
    const size_t got = ReadProbe(probe, head, std::min(longest, sizeof head));
    return std::any_of(signatures.begin(), signatures.end(), [&](std::string_view signature) {
        return got >= signature.size() &&
               std::memcmp(head, signature.data(), signature.size()) == 0;
    });
}

int CopyInfo(const char* const* texts, int count, int infono, char* buf, int buflen) {
    if (infono < 0 || infono >= count || buf == nullptr || buflen <= 0) return 0;
    const size_t length = std::strlen(texts[infono]);
    const size_t copied = std::min(length, static_cast<size_t>(buflen));
    std::memcpy(buf, texts[infono], copied);
    if (copied < static_cast<size_t>(buflen)) buf[copied] = '\0';
    return static_cast<int>(copied);
}

Source::~Source() {
    if (fd_ >= 0) ::close(fd_);
}

bool Source::Open(const char* buf, intptr_t len, unsigned flag) {
    if (buf == nullptr || len < 0) return false;
    switch (flag & kSpiSourceMask) {
        case kSpiSourceFile: {
            fd_ = ::open(buf, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            if (fd_ < 0) return false;
            struct stat st {};
            if (::fstat(fd_, &st) != 0 || (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)))
                return false;
            position_ = static_cast<uint64_t>(len);
            return true;
        }
        case kSpiSourceMemory:
            data_ = reinterpret_cast<const uint8_t*>(buf);
            size_ = static_cast<uint64_t>(len);
            return true;
        default:
            return false;
    }
}

size_t Source::Read(uint8_t* out, size_t n) {
    if (data_ != nullptr) {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(n, size_ - position_));
        std::memcpy(out, data_ + position_, take);
        position_ += take;
        return take;
    }
    if (fd_ < 0) return 0;
    const ssize_t r = PreadFully(fd_, out, n, static_cast<off_t>(position_));
    if (r <= 0) return 0;
    position_ += static_cast<uint64_t>(r);
    return static_cast<size_t>(r);
}

void Source::Skip(uint64_t n) {
    // A file's reads past its end come back empty; a block stops at its end.
    const uint64_t end =
        data_ != nullptr ? size_ : static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    if (position_ >= end) return;
    position_ += std::min(n, end - position_);
}

bool DibOutput::Allocate(uint32_t width, uint32_t height, int bitCount) {
    if (width == 0 || height == 0 || (bitCount != 8 && bitCount != 24)) return false;
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF || !WithinLimit(width, height)) return false;
    const uint64_t stride = ((uint64_t{width} * static_cast<uint64_t>(bitCount) + 31) >> 5) * 4;
    if (stride > kMaxPixelBytes || stride * height > kMaxPixelBytes) return false;
    const uint32_t colours = bitCount == 8 ? 256 : 0;
    const size_t infoSize = 40 + colours * 4;
    info_.reset(static_cast<uint8_t*>(std::calloc(infoSize, 1)));
    bits_.reset(static_cast<uint8_t*>(std::calloc(stride * height, 1)));
    if (!info_ || !bits_) return false;
    uint8_t* h = info_.get();
    PutLe32(h, 40);
    PutLe32(h + 4, width);
    PutLe32(h + 8, height);  // positive: bottom-up rows
    PutLe16(h + 12, 1);
    PutLe16(h + 14, static_cast<uint16_t>(bitCount));
    PutLe32(h + 16, 0);
    PutLe32(h + 20, static_cast<uint32_t>(stride * height));
    PutLe32(h + 32, 0);  // every entry of the table is in use
    width_ = width;
    height_ = height;
    stride_ = stride;
    return true;
}

void DibOutput::SetColour(int i, uint8_t red, uint8_t green, uint8_t blue) {
    uint8_t* e = info_.get() + 40 + i * 4;
    e[0] = blue;
    e[1] = green;
    e[2] = red;
    e[3] = 0;
}

void DibOutput::Fill(uint8_t value) { std::memset(bits_.get(), value, stride_ * height_); }

void DibOutput::Release(void** info, void** bits) {
    *info = info_.release();
    *bits = bits_.release();
}

}  // namespace octile::spi
