#!/usr/bin/env bash
# The settings store and the marks file at sizes no user should reach, opened
# and closed as the program does at start and at exit (bench/settings_probe):
#   a marks file of 64 MiB (the sections of half a million files):
#     opening a file that has no marks there (its section is looked for to
#     the end), opening one that has, closing it unchanged and closing it
#     after a change (its section rewritten)
#   a settings file of 10^6 sections: reading it at start, and writing it at
#     exit unchanged and with one value changed
# Figures: the best wall-clock time of three runs, and the largest peak memory
# (resident set, /usr/bin/time %M, the whole process) as MiB and as a
# multiple of the file's size. Goals: opening within 2 s, peak memory within
# 4 times the file's size, closing unchanged within 0.1 s (nothing written).
#
# usage: bench/settings_bench.sh BUILD_DIR [--rows]
#   --rows: print bare "name|ours|peer|ratio" lines for bench/run.sh, ours in
#   MB/s of the file's size ("-" for a close that writes nothing); the name
#   carries the time, the peak and the goal.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

bench_setup settings_bench "${1:?usage: settings_bench.sh BUILD_DIR [--rows]}"
bare=${2:-}
probe=$build/bench/settings_probe
[[ -x $probe ]] || { echo "settings_bench: $probe not built" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "settings_bench: /usr/bin/time not installed" >&2; exit 2; }
command -v python3 >/dev/null || { echo "settings_bench: python3 not installed" >&2; exit 2; }

marks=$work/octile_mark.ini
profile=$work/profile.ini
marked=$work/marked.bin  # has a section halfway through the marks file
unmarked=$work/unmarked.bin

python3 - "$marks" "$marked" "$profile" <<'PY'
import sys
marks, marked, profile = sys.argv[1:4]
def entry(start, end, kind):
    return "%019d %019d %d" % (start, end, kind)
with open(marks, "w") as f:
    size, i = 0, 0
    while size < 64 << 20:
        if i == 240000:
            s = "[%s]\n0=%s\n1=%s\nMax=2\n" % (marked, entry(0x10, 0x1F, 2), entry(0x40, 0x4F, 3))
        else:
            s = "[/home/user/project%d/data/file%06d.bin]\n0=%s\n1=%s\nMax=2\n" % (
                i % 97, i, entry(i, i + 15, i % 5 + 1), entry(i * 16, i * 16 + 31, 2))
        f.write(s)
        size, i = size + len(s), i + 1
with open(profile, "w") as f:
    for i in range(1000000):
        f.write("[Section%07d]\nKey=%d\n" % (i, i))
    f.write("[View]\nColor=255\nCodeType=1\n[Font]\nFaceName=MS Gothic\n"
            "[Recent File List]\nFile1=/tmp/a.bin\n")
PY
cat "$marks" "$profile" >/dev/null  # into the page cache
sync

table=()

# measure NAME FILE WHICH GOAL PROBE-ARGS...: three runs of the probe; WHICH
# is the figure that counts (open or close); GOAL the most seconds it may take
# ("-": none).
measure() {
    local name=$1 file=$2 which=$3 goal=$4
    shift 4
    local bytes times=() peak=0 i open close kib secs mib times_x verdict
    bytes=$(stat -c %s "$file")
    for i in 1 2 3; do
        /usr/bin/time -f %M -o "$work/peak" "$probe" "$@" >"$work/probe" ||
            { echo "settings_bench: settings_probe $* failed" >&2; exit 2; }
        read -r open close <"$work/probe"
        kib=$(cat "$work/peak")
        if ((kib > peak)); then peak=$kib; fi
        if [[ $which == open ]]; then times+=("$open"); else times+=("$close"); fi
    done
    secs=$(min "${times[@]}")
    mib=$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')
    times_x=$(awk -v k="$peak" -v b="$bytes" 'BEGIN { printf "%.2f", k * 1024 / b }')
    verdict=ok
    if awk -v m="$times_x" 'BEGIN { exit !(m > 4) }'; then verdict="MISSED (memory)"; fi
    if [[ $goal != - ]] && awk -v s="$secs" -v g="$goal" 'BEGIN { exit !(s > g) }'; then
        verdict="MISSED (time)"
    fi
    local goal_text="peak <= 4x"
    [[ $goal != - ]] && goal_text="< $goal s, $goal_text"
    table+=("$name|$secs|$mib|${times_x}x|$goal_text|$verdict")
    # A close with nothing to write moves no bytes: no rate.
    local rate=-
    [[ $which == close && $goal != - ]] || rate=$(mb_per_s "$bytes" "$secs")
    add_row "$name: $secs s, peak $mib MiB (${times_x}x the file), goal $goal_text: $verdict" \
        "$rate" "-"
}

measure "marks 64 MiB: open a file without marks" "$marks" open 2 marks "$marks" "$unmarked"
measure "marks 64 MiB: open a file with marks" "$marks" open 2 marks "$marks" "$marked"
measure "marks 64 MiB: close unchanged" "$marks" close 0.1 marks "$marks" "$marked"
measure "marks 64 MiB: close after a change" "$marks" close - marks-toggle "$marks" "$marked"
measure "settings 10^6 sections: start" "$profile" open 2 profile "$profile"
measure "settings 10^6 sections: exit unchanged" "$profile" close 0.1 profile "$profile"
measure "settings 10^6 sections: exit after a change" "$profile" close - profile-change "$profile"

if [[ $bare == --rows ]]; then
    print_rows --rows
else
    {
        echo "name|seconds|peak MiB|peak / file|goal|"
        printf '%s\n' "${table[@]}"
    } | column -t -s '|' -o ' | '
fi
