#!/usr/bin/env bash
# Makes the README's screenshots with the program itself, in a virtual X
# display: the main window on a Japanese text file in Shift-JIS, the search
# dialog, and a picture window.
#
# usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
# Needs xvfb, xdotool and ImageMagick (import, convert).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$repo/build}" && pwd)"
out="$repo/docs/screenshots"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
mkdir -p "$XDG_CONFIG_HOME/Zenkobo"

# A short Japanese text in Shift-JIS.
printf '%s\r\n' \
  "Octile バイナリエディタ" \
  "ファイルを１６進ダンプで表示します。" \
  "文字の欄はシフトJIS、Unicode、EUCで読めます。" \
  "ｶﾀｶﾅ（半角）も全角もそのまま並びます。" \
  "4 GiB を超えるファイルも頁単位で開けます。" |
  iconv -f UTF-8 -t CP932 > "$work/japanese.txt"

# A picture at the start of a file, shown at once with picture display on.
convert -size 160x100 gradient:'#3070c0'-'#f0f0ff' -fill '#c03030' -draw 'circle 80,50 80,20' \
  "$work/picture.gif"
cat "$work/picture.gif" "$repo/samples/sample.bin" > "$work/picture.bin"

shoot() {  # shoot NAME SETTINGS FILE KEYS...
    local name="$1" settings="$2" file="$3"
    shift 3
    printf '%b' "$settings" > "$XDG_CONFIG_HOME/Zenkobo/ﾊﾞｲﾅﾘｴﾃﾞｨﾀ.ini"
    xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
        "$0" "$1" &
        pid=$!
        sleep 3
        for k in "${@:4}"; do xdotool key --clearmodifiers "$k"; sleep 1; done
        import -window root "$2"
        kill $pid
    ' "$build/program/octile" "$file" "$work/$name-full.png" "$name" "$@"
    # Crop to what the windows cover.
    convert "$work/$name-full.png" -trim +repage "$out/$name.png"
}

shoot main "[Position]\nX=10\nY=10\nW=0\nH=0\n" "$work/japanese.txt"
shoot search "[Position]\nX=10\nY=10\nW=0\nH=0\n" "$work/japanese.txt" ctrl+f O c t i l e
shoot picture "[View]\nViewer=1\n[Position]\nX=180\nY=0\nW=680\nH=640\n" "$work/picture.bin"
echo "screenshots in $out"
