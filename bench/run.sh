#!/usr/bin/env bash
# Benchmarks Octile against its peers and prints one table:
#   name | ours | peer | ratio
# Throughputs are MB/s of input (1 MB = 10^6 bytes); ratio = ours / peer, so
# above 1 means Octile is faster. Each timed command runs three times and the
# best wall-clock time counts.
#
# Usage: bench/run.sh BUILD_DIR
# To add a comparison, write a row_* function that calls add_row, and list it
# in ROWS at the bottom.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

bench_setup run "${1:-build}"
repo="$(cd "$(dirname "$0")/.." && pwd)"

# The 64 MiB input: 64 KiB pieces, alternately random bytes and text (the
# repository's own sources, Japanese strings included).
make_input() {
    local text="$work/text" input="$work/input.bin"
    find "$repo/src" "$repo/tests" "$repo/tools" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.py' \) \
        -print0 | sort -z | xargs -0 cat > "$text"
    while [[ "$(stat -c %s "$text")" -lt $((32 * 1024 * 1024)) ]]; do
        cat "$text" "$text" > "$text.2" && mv "$text.2" "$text"
    done
    : > "$input"
    for ((i = 0; i < 512; i++)); do
        head -c 65536 /dev/urandom >> "$input"
        dd if="$text" bs=65536 skip="$i" count=1 status=none >> "$input"
    done
    cat "$input" > /dev/null  # into the page cache
    echo "$input"
}

input="$(make_input)"
input_bytes="$(stat -c %s "$input")"

# dump_row NAME CODE PEER_CMD...: octile-cli dump with a character code against a peer.
dump_row() {
    local name="$1" code="$2"
    shift 2
    local ours peer
    ours="$(best "$cli" dump "$input" --code "$code")"
    peer="$(best "$@" "$input")"
    add_timed_row "$name" "$input_bytes" "$ours" "$peer"
}

row_dump_sjis_xxd() { dump_row "dump sjis 64 MiB vs xxd" sjis xxd; }
row_dump_sjis_hexdump() { dump_row "dump sjis 64 MiB vs hexdump -C" sjis hexdump -C; }
row_dump_euc_xxd() { dump_row "dump euc 64 MiB vs xxd" euc xxd; }
row_dump_unicode_xxd() { dump_row "dump unicode 64 MiB vs xxd" unicode xxd; }
row_dump_utf8_xxd() { dump_row "dump utf8 64 MiB vs xxd" utf8 xxd; }
row_dump_jis_xxd() { dump_row "dump jis (no characters) 64 MiB vs xxd" jis xxd; }

# Every Google Benchmark binary of the build: one row per benchmark that
# reports bytes per second.
row_google_benchmarks() {
    local bin line name bps
    for bin in "$build"/bench/*_bench; do
        [[ -x "$bin" ]] || continue
        while IFS= read -r line; do
            name="$(cut -d, -f1 <<< "$line" | tr -d '"')"
            bps="$(cut -d, -f6 <<< "$line")"
            [[ -n "$bps" ]] || continue
            add_row "$name" "$(awk -v b="$bps" 'BEGIN { printf "%.1f", b / 1e6 }')" "-"
        done < <("$bin" --benchmark_format=csv 2> /dev/null | grep '^"')
    done
}

# Insert, delete and the hex listing: bench/edit_bench.sh prints its rows.
row_edit_bench() {
    local line
    while IFS= read -r line; do
        rows+=("$line")
    done < <(bash "$repo/bench/edit_bench.sh" "$build" --rows)
}

# Search forwards and backwards: bench/search_bench.sh prints its rows.
row_search_bench() {
    local line
    while IFS= read -r line; do
        rows+=("$line")
    done < <(bash "$repo/bench/search_bench.sh" "$build" --rows)
}

# The settings and marks files at 64 MiB and 10^6 sections: time and peak
# memory of opening and closing them (bench/settings_bench.sh prints its rows).
row_settings_bench() {
    local line
    while IFS= read -r line; do
        rows+=("$line")
    done < <(bash "$repo/bench/settings_bench.sh" "$build" --rows)
}

# Compare of two equal 1 GiB files in the page cache against cmp.
row_compare_cmp() {
    local a="$work/cmp-a.bin" b="$work/cmp-b.bin" n=$((1024 * 1048576)) ours peer i
    head -c 1048576 /dev/urandom > "$work/mib"
    for ((i = 0; i < 1024; i++)); do cat "$work/mib"; done > "$a"
    cp "$a" "$b"
    cat "$a" "$b" > /dev/null
    ours="$(best "$cli" compare "$a" "$b")"
    peer="$(best cmp "$a" "$b")"
    add_timed_row "compare equal 1 GiB vs cmp" "$n" "$ours" "$peer"
    rm -f "$a" "$b"
}

# Holding PgDn in the window: each page-down reads and formats the next page
# and repaints the dump, and the repaint alone is timed apart
# (bench/paint_probe.cpp), on Xvfb when it is there.
row_paint() {
    local probe="$build/bench/paint_probe" kind out ms paint lines platform
    [[ -x $probe ]] || return 0
    for kind in kanji random; do
        # Xvfb when it starts, else the offscreen platform.
        out="" platform=offscreen
        if command -v xvfb-run > /dev/null; then
            out="$(QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" "$probe" "$kind" 300 2> /dev/null || true)"
            platform=Xvfb
        fi
        if ! grep -q '^PAGE_MS' <<< "$out"; then
            out="$(QT_QPA_PLATFORM=offscreen "$probe" "$kind" 300 2> /dev/null || true)"
            platform=offscreen
        fi
        ms="$(awk '/^PAGE_MS/ {print $2}' <<< "$out")"
        paint="$(awk '/^PAINT_MS/ {print $2}' <<< "$out")"
        lines="$(awk '/^ROWS/ {print $2}' <<< "$out")"
        [[ -n $ms && -n $paint ]] || continue
        add_row "PgDn, full page of $kind ($lines rows, $platform): page-down $ms ms, its paint $paint ms, goal paint < 4 ms: $(awk -v m="$paint" 'BEGIN { print (m < 4) ? "met" : "missed" }')" "-" "-"
    done
}

ROWS=(
    row_paint
    row_dump_sjis_xxd
    row_dump_sjis_hexdump
    row_dump_euc_xxd
    row_dump_unicode_xxd
    row_dump_utf8_xxd
    row_dump_jis_xxd
    row_google_benchmarks
    row_edit_bench
    row_search_bench
    row_settings_bench
    row_compare_cmp
)

for row in "${ROWS[@]}"; do
    "$row"
done

print_rows
