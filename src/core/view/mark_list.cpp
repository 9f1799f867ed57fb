#include "view/mark_list.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace octile {

namespace {

// Decimal digits only, at most 20 and no overflow; false otherwise.
bool ParseDecimal(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t d = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - d) / 10) return false;
        v = v * 10 + d;
    }
    value = v;
    return true;
}

// The leading decimal integer of a text (after an optional sign); 0 when none.
int64_t LeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = std::min<int64_t>(v * 10 + (text[i] - '0'), INT32_MAX);
    }
    return negative ? -v : v;
}

// "Max" in any case: keys match without regard to case.
bool IsMaxKey(std::string_view key) {
    static constexpr std::string_view kMax = "max";
    if (key.size() != kMax.size()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        const char c = key[i] >= 'A' && key[i] <= 'Z' ? static_cast<char>(key[i] + 32) : key[i];
        if (c != kMax[i]) return false;
    }
    return true;
}

}  // namespace

void MarkList::Release() {
    marks_.clear();
    stored_.clear();
    capacity_ = 0;
}

size_t MarkList::MarkAt(uint64_t offset) const {
    for (size_t i = 0; i < marks_.size(); ++i) {
        if (marks_[i].start <= offset && offset <= marks_[i].end) return i;
    }
    return marks_.size();
}

void MarkList::Toggle(int32_t kind, uint64_t anchor, uint64_t start, uint64_t end) {
    if (const size_t i = MarkAt(anchor); i < marks_.size()) {
        // A mark under the anchor: removed when of this kind, else it blocks.
        if (marks_[i].kind == kind) {
            marks_.erase(marks_.begin() + static_cast<std::ptrdiff_t>(i));
            if (current_ > static_cast<int32_t>(i)) --current_;
            if (current_ >= static_cast<int32_t>(marks_.size())) current_ = 0;
        }
        return;
    }
    if (static_cast<int32_t>(marks_.size()) >= capacity_) capacity_ += kCapacityStep;
    marks_.push_back({start, end, kind});
    current_ = static_cast<int32_t>(marks_.size()) - 1;
}

size_t MarkList::Step(bool forward, uint64_t anchor, uint64_t length) const {
    const size_t n = marks_.size();
    if (n == 0) return n;
    // Inside a mark: the next (or previous) mark of its kind in setting order.
    if (const size_t a = MarkAt(anchor); a < n) {
        const size_t step = forward ? 1 : n - 1;
        size_t t = (a + step) % n;
        while (t != a && marks_[t].kind != marks_[a].kind) t = (t + step) % n;
        return t;
    }
    // Outside every mark: the nearest start after (before) the anchor,
    // counting round the end of the file; the earlier mark wins a tie.
    size_t best = 0;
    uint64_t bestDistance = UINT64_MAX;
    for (size_t i = 0; i < n; ++i) {
        const uint64_t s = marks_[i].start;
        const uint64_t d = forward ? (s > anchor ? s - anchor : s - anchor + length)
                                   : (s <= anchor ? anchor - s : anchor - s + length);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

std::vector<MarkRect> MarkList::Backgrounds(const DumpLayout& layout, const PageSpan& page,
                                            const CellMetrics& m,
                                            const DisplaySettings& display) const {
    constexpr uint64_t kLine = DumpLayout::kBytesPerLine;
    std::vector<MarkRect> out;
    if (page.readSize == 0) return out;
    const int64_t rows = static_cast<int64_t>(page.readSize / kLine);
    const uint64_t first = page.windowOffset;
    const uint64_t last = first + page.readSize - 1;
    for (const Mark& mark : marks_) {
        if (mark.end < first || mark.start > last) continue;
        const uint32_t colour = display.MarkColour(mark.kind);
        uint64_t off = std::max(mark.start, first);
        const uint64_t hi = std::min(mark.end, last);
        while (off <= hi) {
            const uint64_t rowEnd = std::min(hi, off + (kLine - 1 - (off - first) % kLine));
            const DumpCell a = layout.CellOf(off - first, DumpArea::kHex);
            const auto lastByte = static_cast<int32_t>((rowEnd - first) % kLine);
            if (a.row >= DumpLayout::kFirstLineRow && a.row <= rows) {
                out.push_back(
                    {{a.column * m.charWidth, a.row * m.lineHeight,
                      layout.HexColumn(lastByte + 1) * m.charWidth, (a.row + 1) * m.lineHeight},
                     colour});
            }
            if (rowEnd == UINT64_MAX) break;
            off = rowEnd + 1;
        }
    }
    return out;
}

std::string MarkList::FormatOffset(uint64_t value) {
    // Nineteen digits as the marks file has always held them; the offsets
    // from 10^19 up take a twentieth, so every offset reads back equal.
    std::string s = std::to_string(value);
    if (s.size() < 19) s.insert(0, 19 - s.size(), '0');
    return s;
}

std::string MarkList::SectionName(const std::string& path) {
    size_t keep = path.size();
    while (keep > 0 && (path[keep - 1] == ' ' || path[keep - 1] == '\t')) --keep;
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        const bool blankAtEnd = i >= keep;
        if (c == '%' || c == ']' || c == '\r' || c == '\n' || blankAtEnd || (i == 0 && c == ' ')) {
            static const char* hex = "0123456789ABCDEF";
            out += '%';
            out += hex[(static_cast<unsigned char>(c) >> 4) & 0xF];
            out += hex[static_cast<unsigned char>(c) & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

void MarkList::ReadSection(const IniFile& ini, const std::string& section) {
    // One pass over the section's keys: its count, and the entries below the
    // bound (the first of a repeated key wins, as in a lookup).
    std::optional<std::string> maxText;
    std::map<uint64_t, std::string> entries;
    ini.ForEachKey(section, [&](std::string_view key, std::string_view value) {
        if (IsMaxKey(key)) {
            if (!maxText) maxText = value;
            return;
        }
        // Only the numbers Save writes name entries: no sign, no leading zero.
        uint64_t index = 0;
        if ((key.size() > 1 && key[0] == '0') || !ParseDecimal(key, index)) return;
        if (index < static_cast<uint64_t>(kMaxLoaded)) entries.emplace(index, value);
    });
    // A hand-edited count is taken only up to a bound; entries that do not
    // read as two offsets (that Save can write back) and a kind of 1 to 5
    // are left out.
    const int64_t count = std::clamp<int64_t>(LeadingInteger(maxText.value_or("0")), 0, kMaxLoaded);
    if (count > capacity_) capacity_ = static_cast<int32_t>(count);
    for (int64_t i = 0; i < count; ++i) {
        const auto entry = entries.find(static_cast<uint64_t>(i));
        if (entry == entries.end()) continue;
        const std::string_view v = entry->second;
        const size_t b1 = v.find(' ');
        if (b1 == std::string_view::npos) continue;
        const size_t b2 = v.find(' ', b1 + 1);
        Mark m;
        if (!ParseDecimal(v.substr(0, b1), m.start)) continue;
        const std::string_view endText =
            b2 == std::string_view::npos ? v.substr(b1 + 1) : v.substr(b1 + 1, b2 - b1 - 1);
        if (!ParseDecimal(endText, m.end)) continue;
        const int64_t kind = b2 == std::string_view::npos ? 1 : LeadingInteger(v.substr(b2 + 1));
        if (kind < 1 || kind > 5 || m.start > m.end) continue;
        m.kind = static_cast<int32_t>(kind);
        marks_.push_back(m);
    }
}

void MarkList::WriteSection(IniFile& ini, const std::string& section) const {
    // Only files with marks have a section: the last mark takes it along.
    if (marks_.empty()) {
        ini.RemoveSection(section);
        return;
    }
    for (size_t i = 0; i < marks_.size(); ++i) {
        const Mark& m = marks_[i];
        ini.Set(section, std::to_string(i),
                FormatOffset(m.start) + " " + FormatOffset(m.end) + " " + std::to_string(m.kind));
    }
    ini.Set(section, "Max", std::to_string(marks_.size()));
}

void MarkList::Load(const std::string& file, const std::string& path) {
    marks_.clear();
    current_ = 0;
    readWhole_ = true;
    if (!file.empty()) {
        const std::string section = SectionName(path);
        ReadSection(IniFile::LoadSection(file, section, true, &readWhole_), section);
    }
    stored_ = marks_;
}

void MarkList::LoadText(std::string_view fileText, const std::string& path) {
    marks_.clear();
    current_ = 0;
    readWhole_ = true;
    const std::string section = SectionName(path);
    ReadSection(IniFile::SectionOfText(fileText, section, true), section);
    stored_ = marks_;
}

bool MarkList::Save(const std::string& file, const std::string& path) {
    // The file holds every other file's marks, and this file's section may
    // hold marks the list lacks when it could not be read whole: then
    // nothing is written over them.
    if (file.empty() || !readWhole_) return false;
    if (marks_ == stored_) return true;  // the file holds these already
    const std::string section = SectionName(path);
    const IniFile::EditResult result = IniFile::EditSection(
        file, section, true, [&](IniFile& ini) { WriteSection(ini, section); });
    if (result == IniFile::EditResult::kFailed) return false;
    stored_ = marks_;
    return true;
}

std::optional<std::string> MarkList::SaveText(std::string_view fileText, const std::string& path) {
    if (marks_ == stored_) return std::nullopt;
    const std::string section = SectionName(path);
    std::optional<std::string> text = IniFile::EditSectionOfText(
        fileText, section, true, [&](IniFile& ini) { WriteSection(ini, section); });
    stored_ = marks_;
    return text;
}

}  // namespace octile
