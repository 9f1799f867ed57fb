#pragma once
// CompareFiles: the report of the 16-byte blocks in which two files differ,
// aligned by offset only.
#include <cstdint>
#include <string>

namespace octile {

enum CompareResult : int { COMPARE_OK = 0, COMPARE_NO_OLD = -1, COMPARE_NO_NEW = -2 };

// At most this many difference lines; the comparison ends after the last.
constexpr int kMaxCompareLines = 65;

// Builds the report (lines end in "\n"); "同じです\n" alone when nothing
// differs. The files are read in large blocks, with the same report as
// reading 16 bytes at a time; a read error ends that file.
int CompareFiles(const std::string& oldPath, const std::string& newPath, std::u16string& report);

// The report's first line: the two names over their columns.
std::u16string CompareHeader(const std::u16string& oldName, const std::u16string& newName);

// Appends the difference lines of oldCount bytes of the old file and newCount
// bytes of the new one, both from offset (a multiple of 16), and counts them
// in lines. True when lines reached kMaxCompareLines: the report ends there.
bool AppendDifferenceLines(uint64_t offset, const uint8_t* oldBytes, uint64_t oldCount,
                           const uint8_t* newBytes, uint64_t newCount, int& lines,
                           std::u16string& report);

// The message for a file that cannot be opened: "旧ファイル%sがありません" or
// "新ファイル%sがありません".
std::u16string CompareOpenFailure(int result, const std::string& path);

}  // namespace octile
