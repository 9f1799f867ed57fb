#pragma once
// The dump text as it goes to standard output.
#include <string>

namespace octile::cli {

// Makes dump text (UTF-8, lines ending in CR LF) fit for a terminal and for
// the tools of a pipe: the CR of every line end goes unless crlf is set, and
// a bidirectional override or isolate (U+202A to U+202E, U+2066 to U+2069),
// which the Unicode column shows as it is and a terminal would obey,
// becomes ". " over its two cells, as the column shows a control character.
// The formatter already shows every other control character as ".", and the
// UTF-8 column hides these characters too.
void MakeTerminalSafe(std::string& text, bool crlf);

}  // namespace octile::cli
