#pragma once
// A fast 64-bit checksum for records that must be told apart from torn or
// stale ones: it catches a changed, missing or moved byte, not an attacker.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace octile {

inline uint64_t Checksum64(const uint8_t* data, size_t n, uint64_t seed = 0) {
    constexpr uint64_t kP1 = 0x9E3779B185EBCA87ULL;
    constexpr uint64_t kP2 = 0xC2B2AE3D27D4EB4FULL;
    auto round = [](uint64_t h, uint64_t w) {
        h += w * kP2;
        return ((h << 31) | (h >> 33)) * kP1;
    };
    // Four independent lanes over 32-byte stripes keep the multipliers busy:
    // a segment of a shift is checked at memory speed.
    uint64_t lane[4] = {seed + kP1 + kP2, seed + kP2, seed, seed - kP1};
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        for (int k = 0; k < 4; ++k) {
            uint64_t w;
            std::memcpy(&w, data + i + 8 * k, 8);
            lane[k] = round(lane[k], w);
        }
    }
    uint64_t h = ((lane[0] << 1) | (lane[0] >> 63)) + ((lane[1] << 7) | (lane[1] >> 57)) +
                 ((lane[2] << 12) | (lane[2] >> 52)) + ((lane[3] << 18) | (lane[3] >> 46));
    h ^= n * kP1;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, data + i, 8);
        h = round(h, w);
    }
    for (; i < n; ++i) h = (h ^ data[i]) * kP1;
    h ^= h >> 29;
    h *= kP2;
    return h ^ (h >> 32);
}

inline void PutLe64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint64_t Le64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

}  // namespace octile
