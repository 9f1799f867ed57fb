#include "cli/cli_messages.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "cli/cli_program_texts.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile::cli {

namespace {

struct Bilingual {
    std::string_view english;
    std::string_view japanese;
};

// Indexed by Text.
constexpr Bilingual kTexts[] = {
    {"unknown command %1", "%1 というコマンドはありません"},
    {"unknown option %1", "%1 というオプションはありません"},
    {"%1 takes no value", "%1 は値をとりません"},
    {"%1 needs a value", "%1 には値が必要です"},
    {"missing argument", "引数が足りません"},
    {"too many arguments", "引数が多すぎます"},
    {"unknown character code %1 (sjis, unicode, jis, euc or utf8)",
     "%1 という文字コードはありません（sjis、unicode、jis、euc、utf8）"},
    {"the caret must lie on the page: --window after --caret",
     "キャレットが頁の外にあります（--window が --caret より後ろです）"},
    {"empty search text", "検索する文字列が空です"},
    {"empty replacement", "置換後の文字列が空です"},
    {"the pattern is longer than the read size", "パターンが読み込みサイズより長いです"},
    {"the search and replacement patterns differ in length",
     "検索と置換のパターンの長さが違います"},
    {"'%1' is not hexadecimal bytes: two digits for each byte, without blanks",
     "「%1」は16進数のバイト列ではありません（1バイトに2桁、空白なし）"},
    {"%1 does not apply to a stream (standard input, a pipe or a device), which is read once "
     "from its start",
     "%1 はストリーム（標準入力、パイプ、デバイス）には使えません。ストリームは先頭から一度だけ"
     "読み込みます"},
    {"%1 does not apply to --all, which lists the matches from the start of the file",
     "%1 は --all とは使えません（--all はファイルの先頭からの一致をすべて示します）"},
    {"no picture signature at the anchor", "アンカーの位置に画像のシグネチャがありません"},
    {"the picture could not be decoded", "画像を展開できませんでした"},
    {"the picture declares %1 pixels, more than the limit of %2 megapixels ([View] "
     "MaxPictureMegapixels)",
     "画像の大きさ %1 ピクセルは上限の %2 メガピクセルを超えています（[View] "
     "MaxPictureMegapixels）"},
    {"run again with --no-undo to make the change without undo data",
     "--no-undo を付けて実行すると、元に戻すための記録なしで変更します"},
    {"no edit journal for %1", "%1 の編集の記録はありません"},
    {"COUNT must be a decimal number of steps, 1 or more",
     "COUNT は1以上の10進数で指定してください"},
    {"cannot read the old file %1", "旧ファイル%1がありません"},
    {"cannot read the new file %1", "新ファイル%1がありません"},
    {"not a regular file", "通常のファイルではありません"},
};
static_assert(std::size(kTexts) == static_cast<size_t>(Text::kNotRegularFile) + 1);

// The system's reasons in both languages, in the words of the C library's
// English and Japanese messages; any other errno gets strerror's English.
constexpr std::pair<int, Bilingual> kReasons[] = {
    {ENOENT, {"no such file or directory", "そのようなファイルやディレクトリはありません"}},
    {ENOTDIR, {"not a directory", "ディレクトリではありません"}},
    {EISDIR, {"is a directory", "ディレクトリです"}},
    {EACCES, {"permission denied", "許可がありません"}},
    {EPERM, {"operation not permitted", "許可されていない操作です"}},
    {EROFS, {"read-only file system", "読み込み専用ファイルシステムです"}},
    {ETXTBSY, {"text file busy", "テキストファイルが使用中です"}},
    {ENOSPC, {"no space left on device", "デバイスに空き領域がありません"}},
    {EDQUOT, {"disk quota exceeded", "ディスク使用量制限を超過しました"}},
    {EFBIG, {"file too large", "ファイルが大きすぎます"}},
    {ENAMETOOLONG, {"file name too long", "ファイル名が長すぎます"}},
    {ELOOP, {"too many levels of symbolic links", "シンボリックリンクの階層が多すぎます"}},
    {EMFILE, {"too many open files", "開いているファイルが多すぎます"}},
    {ENFILE, {"too many open files in system", "システム全体で開いているファイルが多すぎます"}},
    {EIO, {"input/output error", "入力/出力エラーです"}},
    {ENXIO, {"no such device or address", "そのようなデバイスやアドレスはありません"}},
    {ENODEV, {"no such device", "そのようなデバイスはありません"}},
    {EPIPE, {"broken pipe", "パイプが切断されました"}},
    {EBADF, {"bad file descriptor", "不正なファイル記述子です"}},
    {EAGAIN, {"resource temporarily unavailable", "リソースが一時的に利用できません"}},
};

std::string_view Pick(const Bilingual& text) {
    return JapaneseMessages() ? text.japanese : text.english;
}

std::string Fill(std::string_view text, std::string_view arg, std::string_view arg2 = {}) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            out += text[i + 1] == '1' ? arg : arg2;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The code point of the well-formed UTF-8 sequence at text[i] and its length,
// or 0 for a byte that begins none.
size_t DecodeAt(std::string_view text, size_t i, char32_t& c) {
    const std::u16string one = Utf8ToUtf16(text.substr(i, 4));
    if (one.empty() || one[0] == u'\uFFFD') {
        // U+FFFD itself is well formed: EF BF BD.
        if (text.substr(i, 3) == "\xEF\xBF\xBD") {
            c = 0xFFFD;
            return 3;
        }
        return 0;
    }
    c = one[0];
    if (IsHighSurrogate(c) && one.size() > 1) c = CombineSurrogates(c, one[1]);
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

constexpr bool IsEscaped(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

bool JapaneseMessages() {
    static const bool japanese = [] {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            if (value != nullptr && *value != '\0') return std::strncmp(value, "ja", 2) == 0;
        }
        return false;
    }();
    return japanese;
}

std::string Say(Text text, std::string_view arg, std::string_view arg2) {
    return Fill(Pick(kTexts[static_cast<size_t>(text)]), arg, arg2);
}

std::string LocalizeProgramText(std::u16string_view text) {
    if (JapaneseMessages()) return Utf16ToUtf8(text);
    for (const EnglishText& entry : kProgramTexts) {
        const std::u16string_view japanese = LoadString(entry.id);
        const size_t mark = japanese.find(u"%1");
        if (mark == std::u16string_view::npos) {
            if (text == japanese) return Utf16ToUtf8(entry.english);
            continue;
        }
        const std::u16string_view before = japanese.substr(0, mark);
        const std::u16string_view after = japanese.substr(mark + 2);
        if (text.size() >= before.size() + after.size() && text.starts_with(before) &&
            text.ends_with(after)) {
            const std::u16string_view arg =
                text.substr(before.size(), text.size() - before.size() - after.size());
            return Utf16ToUtf8(ReplacePercent1(entry.english, arg));
        }
    }
    return Utf16ToUtf8(text);
}

std::string ProgramText(uint32_t id, std::string_view arg) {
    return LocalizeProgramText(ReplacePercent1(LoadString(id), Utf8ToUtf16(arg)));
}

std::string SystemReason(int err) {
    for (const auto& [code, reason] : kReasons) {
        if (code == err) return std::string(Pick(reason));
    }
    std::string text = std::strerror(err);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] + 32);
    return text;
}

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const size_t n = DecodeAt(text, i, c);
        char escape[16];
        if (n == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[i]));
            out += escape;
            ++i;
            continue;
        }
        if (IsEscaped(c)) {
            std::snprintf(escape, sizeof escape, c < 0x80 ? "\\x%02x" : "\\u%04x",
                          static_cast<unsigned>(c));
            out += escape;
        } else {
            out += text.substr(i, n);
        }
        i += n;
    }
    return out;
}

void PrintLine(std::string_view text, std::string_view reason) {
    std::string line = "octile-cli: " + std::string(text);
    if (!reason.empty()) {
        line += JapaneseMessages() ? "（" : ": ";
        line += reason;
        if (JapaneseMessages()) line += "）";
    }
    line = EscapeControls(line) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace octile::cli
