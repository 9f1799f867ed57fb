#pragma once
// MarkList: the coloured byte ranges of the open file, the current one, and
// the marks file that keeps the marks of every file that has some between
// sessions, one section per file. It is read and rewritten a section at a
// time, so its size costs neither memory nor time at opening.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dump/dump_layout.h"
#include "host/ui_host.h"
#include "settings/ini_file.h"
#include "view/display_settings.h"
#include "view/inversion.h"
#include "view/selection.h"

namespace octile {

// A coloured byte range; end included.
struct Mark {
    uint64_t start = 0;
    uint64_t end = 0;
    int32_t kind = 1;
    bool operator==(const Mark&) const = default;
};

// A mark's background on one row of the page.
struct MarkRect {
    PixelRect rect;
    uint32_t colour = 0;
};

class MarkList {
  public:
    static constexpr int32_t kCapacityStep = 100;
    // Entries read from a hand-edited marks file are bounded by this.
    static constexpr int64_t kMaxLoaded = 100000;

    const std::vector<Mark>& Marks() const { return marks_; }
    bool Empty() const { return marks_.empty(); }
    size_t Size() const { return marks_.size(); }
    const Mark& operator[](size_t i) const { return marks_[i]; }
    int32_t Capacity() const { return capacity_; }
    int32_t Current() const { return current_; }
    void SetCurrent(size_t index) { current_ = static_cast<int32_t>(index); }
    // The list is dropped with its room (the view closes).
    void Release();

    // The first mark holding offset, or Size() when none does.
    size_t MarkAt(uint64_t offset) const;
    // Marks [start, end] with kind, unless a mark holds anchor: that one is
    // removed when of this kind, and otherwise kept.
    void Toggle(int32_t kind, uint64_t anchor, uint64_t start, uint64_t end);
    // The mark to visit after (forward) or before anchor: inside a mark the
    // next one of its kind in setting order; outside every mark the nearest
    // start, counting round the end of a file of length bytes. Size() when
    // the list is empty.
    size_t Step(bool forward, uint64_t anchor, uint64_t length) const;

    // The backgrounds of the marks on page, in painting order: one
    // rectangle per row, over the hexadecimal cells of the first to the last
    // byte of the mark there, in its kind's colour.
    std::vector<MarkRect> Backgrounds(const DumpLayout& layout, const PageSpan& page,
                                      const CellMetrics& m, const DisplaySettings& display) const;

    // Reads path's marks from the marks file at file, reading only path's
    // section of it. No file or no section: no marks.
    void Load(const std::string& file, const std::string& path);
    // The same from the marks file's text.
    void LoadText(std::string_view fileText, const std::string& path);
    // Writes the marks under path into the marks file: path's section is
    // changed in place, added for a file that has marks, or removed with its
    // last mark, and every other byte of the file stays. Marks as they were
    // loaded or last saved write nothing. False when they could not be saved.
    bool Save(const std::string& file, const std::string& path);
    // The same over the marks file's text: the new text, or nothing when the
    // file stays as it is.
    std::optional<std::string> SaveText(std::string_view fileText, const std::string& path);

    // Nineteen digits at least, as the marks file holds offsets.
    static std::string FormatOffset(uint64_t value);
    // The marks file's section for a path: the path itself, with "%", "]",
    // line breaks and trailing blanks written as %XX so that no path can end
    // its section early or read another file's marks.
    static std::string SectionName(const std::string& path);

  private:
    void ReadSection(const IniFile& ini, const std::string& section);
    void WriteSection(IniFile& ini, const std::string& section) const;

    std::vector<Mark> marks_;
    // The marks as the marks file holds them: loaded or last saved.
    std::vector<Mark> stored_;
    // False when the file's section of the marks file could not be read
    // whole at the last load: the list may lack marks the file holds, and is
    // not saved over them.
    bool readWhole_ = true;
    int32_t capacity_ = kCapacityStep;
    int32_t current_ = 0;
};

}  // namespace octile
