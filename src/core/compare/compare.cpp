#include "compare/compare.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "io/file_handle.h"
#include "util/utf.h"

namespace octile {

namespace {

constexpr uint64_t kChunk = 1 << 20;  // a multiple of 16, so blocks never straddle chunks

const char16_t kHex[] = u"0123456789abcdef";

void AppendHex2(std::u16string& out, uint8_t b) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0xF]);
}

void AppendPadded(std::u16string& out, const std::u16string& text, size_t width) {
    out += text;
    if (text.size() < width) out.append(width - text.size(), u' ');
}

// Where the next data after offset starts; offset itself when unknown.
uint64_t NextData(const FileHandle& f, uint64_t offset) {
    const off_t d = ::lseek(f.fd(), static_cast<off_t>(offset), SEEK_DATA);
    if (d < 0) return errno == ENXIO ? UINT64_MAX : offset;  // ENXIO: only a hole is left
    return static_cast<uint64_t>(d);
}

}  // namespace

int CompareFiles(const std::string& oldPath, const std::string& newPath, std::u16string& report) {
    report.clear();
    FileHandle oldFile = FileHandle::Open(oldPath, FileHandle::ReadOnly, nullptr);
    if (!oldFile.IsOpen()) return COMPARE_NO_OLD;
    FileHandle newFile = FileHandle::Open(newPath, FileHandle::ReadOnly, nullptr);
    if (!newFile.IsOpen()) return COMPARE_NO_NEW;

    report = CompareHeader(Utf8ToUtf16(oldPath), Utf8ToUtf16(newPath));

    auto a = std::make_unique<uint8_t[]>(kChunk);
    auto b = std::make_unique<uint8_t[]>(kChunk);
    const uint64_t oldLength = oldFile.Length();
    const uint64_t newLength = newFile.Length();
    uint64_t o = 0;
    int lines = 0;
    bool oldEnded = false, newEnded = false;
    while (true) {
        // Where both files have a hole the bytes are zeros in both: equal
        // blocks, skipped without reading (sparse disk images).
        if (!oldEnded && !newEnded) {
            const uint64_t skipTo =
                std::min({NextData(oldFile, o), NextData(newFile, o), oldLength, newLength}) &
                ~uint64_t{15};
            if (skipTo > o) o = skipTo;
        }
        const uint64_t ta = oldEnded ? 0 : oldFile.ReadAt(a.get(), kChunk, o);
        const uint64_t tb = newEnded ? 0 : newFile.ReadAt(b.get(), kChunk, o);
        if (ta < kChunk) oldEnded = true;
        if (tb < kChunk) newEnded = true;
        if (ta == 0 && tb == 0) break;
        // Equal whole chunks have no difference line; skip them at memcmp speed.
        if (ta == tb && std::memcmp(a.get(), b.get(), ta) == 0) {
            o += ta;
            if (oldEnded && newEnded) break;
            continue;
        }
        if (AppendDifferenceLines(o, a.get(), ta, b.get(), tb, lines, report)) return COMPARE_OK;
        o += std::max(ta, tb);
        if (oldEnded && newEnded) break;
    }
    if (lines == 0) report = u"同じです\n";
    return COMPARE_OK;
}

std::u16string CompareHeader(const std::u16string& oldName, const std::u16string& newName) {
    std::u16string line(10, u' ');
    AppendPadded(line, oldName, 48);
    line += u"  ";
    AppendPadded(line, newName, 48);
    return line + u"\n";
}

bool AppendDifferenceLines(uint64_t offset, const uint8_t* oldBytes, uint64_t oldCount,
                           const uint8_t* newBytes, uint64_t newCount, int& lines,
                           std::u16string& report) {
    for (uint64_t j = 0; j < std::max(oldCount, newCount); j += 16) {
        const size_t t =
            static_cast<size_t>(oldCount > j ? std::min<uint64_t>(16, oldCount - j) : 0);
        const size_t u =
            static_cast<size_t>(newCount > j ? std::min<uint64_t>(16, newCount - j) : 0);
        const uint8_t* x = oldBytes + j;
        const uint8_t* y = newBytes + j;
        if (t == u && std::memcmp(x, y, t) == 0) continue;
        const auto low = static_cast<uint32_t>(offset + j);
        for (int shift = 28; shift >= 0; shift -= 4) report.push_back(kHex[(low >> shift) & 0xF]);
        report += u": ";
        for (size_t k = 0; k < t; ++k) {
            AppendHex2(report, x[k]);
            report.push_back(u' ');
        }
        report.append((16 - t) * 3, u' ');
        report += u"  ";
        for (size_t k = 0; k < u; ++k) {
            if (k < t && x[k] == y[k]) {
                report += u" . ";
            } else {
                AppendHex2(report, y[k]);
                report.push_back(u' ');
            }
        }
        report += u"\n";
        if (++lines >= kMaxCompareLines) return true;
    }
    return false;
}

std::u16string CompareOpenFailure(int result, const std::string& path) {
    const std::u16string p = Utf8ToUtf16(path);
    return (result == COMPARE_NO_OLD ? u"旧ファイル" : u"新ファイル") + p + u"がありません";
}

}  // namespace octile
