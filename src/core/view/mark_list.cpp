#include "view/mark_list.h"

#include <algorithm>
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

}  // namespace

void MarkList::Release() {
    marks_.clear();
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

std::optional<IniFile> MarkList::Save(const std::string& file, const std::string& path) const {
    if (file.empty() || !readWhole_) return std::nullopt;
    // The file holds every other file's marks: when it cannot be read whole,
    // writing it back would lose them, so these marks are not saved.
    bool whole = true;
    IniFile ini = IniFile::Load(file, true, &whole);
    if (!whole) return std::nullopt;
    const std::string section = SectionName(path);
    for (size_t i = 0; i < marks_.size(); ++i) {
        const Mark& m = marks_[i];
        ini.Set(section, std::to_string(i),
                FormatOffset(m.start) + " " + FormatOffset(m.end) + " " + std::to_string(m.kind));
    }
    ini.Set(section, "Max", std::to_string(marks_.size()));
    if (!ini.Save(file)) return std::nullopt;
    return ini;
}

void MarkList::Load(const std::string& file, const std::string& path, const IniFile* saved) {
    marks_.clear();
    current_ = 0;
    readWhole_ = true;
    if (file.empty()) return;
    const IniFile ini = saved != nullptr ? *saved : IniFile::Load(file, true, &readWhole_);
    const std::string section = SectionName(path);
    // A hand-edited count is taken only up to a bound; entries that do not
    // read as two offsets (that Save can write back) and a kind of 1 to 5
    // are left out.
    const int64_t count =
        std::clamp<int64_t>(LeadingInteger(ini.Get(section, "Max", "0")), 0, kMaxLoaded);
    if (count > capacity_) capacity_ = static_cast<int32_t>(count);
    for (int64_t i = 0; i < count; ++i) {
        const std::string v = ini.Get(section, std::to_string(i), "0 0 0");
        const size_t b1 = v.find(' ');
        if (b1 == std::string::npos) continue;
        const size_t b2 = v.find(' ', b1 + 1);
        Mark m;
        const std::string_view sv(v);
        if (!ParseDecimal(sv.substr(0, b1), m.start)) continue;
        const std::string_view endText =
            b2 == std::string::npos ? sv.substr(b1 + 1) : sv.substr(b1 + 1, b2 - b1 - 1);
        if (!ParseDecimal(endText, m.end)) continue;
        const int64_t kind = b2 == std::string::npos ? 1 : LeadingInteger(sv.substr(b2 + 1));
        if (kind < 1 || kind > 5 || m.start > m.end) continue;
        m.kind = static_cast<int32_t>(kind);
        marks_.push_back(m);
    }
}

}  // namespace octile
