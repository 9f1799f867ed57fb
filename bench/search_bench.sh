#!/usr/bin/env bash
# octile-cli find against its peers on one 1 GiB file in the page cache that
# holds a single occurrence of the text, 1 MiB before its end:
#   find forwards from offset 0                 vs  grep -F -a -b -o -m1
#   find backwards from just below the match    vs  the same grep
#   (it scans the whole file, down and round)   vs  a plain memmem scan in C
# The file is random lower-case words in lines, and the text is made of the
# same letters, so every scanner meets its bytes everywhere.
# Figures are MB/s of file size (1 MB = 10^6 bytes) from the best wall-clock
# time of three runs; ratio = ours / peer, so above 1 means Octile is faster.
# Goals: forwards at least 0.83x of grep (within 1.2 times its time),
# backwards at least 0.67x of grep (within 1.5 times), both within 1.15 times
# the time of a plain read() loop over the file; a 64 GiB sparse file with a
# little data searched in under 0.5 s.
#
# usage: bench/search_bench.sh BUILD_DIR [--rows]
#   --rows: print bare "name|ours|peer|ratio" lines for bench/run.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

bench_setup search_bench "${1:?usage: search_bench.sh BUILD_DIR [--rows]}"
bare=${2:-}
cc=${CC:-cc}
command -v "$cc" >/dev/null || { echo "search_bench: no C compiler ($cc)" >&2; exit 2; }

# The file generator: lines of random words of a-z, with the text at one offset.
cat >"$work/gen.c" <<'C'
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
int main(int argc, char **argv) {
    (void)argc;
    const uint64_t size = strtoull(argv[2], 0, 10), at = strtoull(argv[3], 0, 10);
    const char *text = argv[4];
    const size_t n = strlen(text);
    FILE *f = fopen(argv[1], "wb");
    static char buf[1 << 20];
    uint64_t x = 88172645463325252ull, pos = 0;
    int column = 0;
    while (pos < size) {
        for (size_t i = 0; i < sizeof buf; i++) {
            x ^= x << 13; x ^= x >> 7; x ^= x << 17;
            const unsigned r = (unsigned)(x % 32);
            char c = r >= 26 ? ' ' : (char)('a' + r);
            if (column++ > 70) { c = '\n'; column = 0; }
            buf[i] = c;
        }
        const uint64_t k = size - pos < sizeof buf ? size - pos : sizeof buf;
        if (at >= pos && at + n <= pos + k) memcpy(buf + (at - pos), text, n);
        fwrite(buf, 1, k, f);
        pos += k;
    }
    return fclose(f) != 0;
}
C
# The plain scan: 1 MiB reads, memmem over each with the tail of the last.
cat >"$work/memmem.c" <<'C'
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
int main(int argc, char **argv) {
    (void)argc;
    const char *p = argv[2];
    const size_t n = strlen(p), block = 1 << 20;
    const int fd = open(argv[1], O_RDONLY);
    char *buf = malloc(block + n);
    size_t have = 0;
    long long base = 0;
    for (;;) {
        const ssize_t r = read(fd, buf + have, block);
        if (r <= 0) return 1;
        const size_t len = have + (size_t)r;
        const char *hit = memmem(buf, len, p, n);
        if (hit) { printf("%lld\n", base + (hit - buf)); return 0; }
        const size_t keep = n - 1 < len ? n - 1 : len;
        memmove(buf, buf + len - keep, keep);
        base += (long long)(len - keep);
        have = keep;
    }
}
C
# The machine's limit: the file read with 1 MiB read() calls and nothing else.
cat >"$work/readloop.c" <<'C'
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
int main(int argc, char **argv) {
    (void)argc;
    const int fd = open(argv[1], O_RDONLY);
    char *buf = malloc(1 << 20);
    while (read(fd, buf, 1 << 20) > 0) {}
    return 0;
}
C
"$cc" -O2 -o "$work/readloop" "$work/readloop.c"
"$cc" -O2 -o "$work/gen" "$work/gen.c"
"$cc" -O2 -o "$work/memmem" "$work/memmem.c"

text="qzxv octile kjwp"
size=$((1024 * 1048576))
at=$((size - 1048576 + 777))
big=$work/big.bin
"$work/gen" "$big" "$size" "$at" "$text"
cat "$big" >/dev/null

# Every scanner must find the text where it was put.
printf -v where '%08x' "$at"
printf -v below '%x' $((at - 1))
check() { [[ $2 == "$3" ]] || { echo "search_bench: $1 gave '$2', not '$3'" >&2; exit 2; }; }
check grep "$(grep -F -a -b -o -m1 "$text" "$big")" "$at:$text"
check memmem "$("$work/memmem" "$big" "$text")" "$at"
check "find" "$("$cli" find "$big" "$text" | cut -d' ' -f1)" "$where"
check "find --backward" "$("$cli" find "$big" "$text" --backward --caret "$below" | cut -d' ' -f1)" "$where"

forward=$(best "$cli" find "$big" "$text")
backward=$(best "$cli" find "$big" "$text" --backward --caret "$below")
grep_time=$(best grep -F -a -b -o -m1 "$text" "$big")
memmem_time=$(best "$work/memmem" "$big" "$text")
read_time=$(best "$work/readloop" "$big")
rm -f "$big"

# A 64 GiB sparse file with a little data: the holes are passed over.
sparse=$work/sparse.bin
sparse_size=$((64 * 1024 * 1048576))
truncate -s "$sparse_size" "$sparse"
printf '%s' "$text" | dd of="$sparse" bs=1 seek=$((sparse_size - 4096)) conv=notrunc status=none
printf -v sparse_where '%09x' $((sparse_size - 4096))
check "find in the sparse file" "$("$cli" find "$sparse" "$text" | cut -d' ' -f1)" "$sparse_where"
sparse_time=$(best "$cli" find "$sparse" "$text")
rm -f "$sparse"

add_timed_row "find forward 1 GiB vs read() loop" "$size" "$forward" "$read_time"
add_timed_row "find backward 1 GiB vs read() loop" "$size" "$backward" "$read_time"
add_row "find in 64 GiB sparse file (${sparse_time} s)" "$(mb_per_s "$sparse_size" "$sparse_time")" "-"
add_timed_row "find forward 1 GiB vs grep -F" "$size" "$forward" "$grep_time"
add_timed_row "find backward 1 GiB vs grep -F" "$size" "$backward" "$grep_time"
add_timed_row "find backward 1 GiB vs memmem" "$size" "$backward" "$memmem_time"

print_rows "$bare"
if [[ $bare != --rows ]]; then
    echo "goals: forward >= 0.83x of grep, backward >= 0.67x of grep, both >= 0.87x of the read() loop"
    echo "       (within 1.15 times its time), the 64 GiB sparse file under 0.5 s"
fi
