# What the benchmark scripts share (sourced, not run): wall-clock timing,
# MB/s figures (1 MB = 10^6 bytes) and the result table, whose rows are
# "name|ours|peer|ratio" lines gathered in the array rows.

# A benchmark stops at its first failing command.
set -euo pipefail

rows=()

# bench_setup NAME BUILD_DIR: the start every benchmark script shares. Sets
# build (BUILD_DIR as an absolute path), cli (its octile-cli, which must be
# built) and work (a fresh temporary folder, removed on exit). NAME begins
# the error messages and the temporary folder's name. The per-user folders
# (settings, edit journals) move into work, so a run never reads the user's
# settings nor leaves journals behind.
bench_setup() {
    local name=$1
    [[ -d $2 ]] || { echo "$name: no build folder $2" >&2; exit 2; }
    build=$(cd "$2" && pwd)
    cli=$build/program/octile-cli
    [[ -x $cli ]] || { echo "$name: $cli not built" >&2; exit 2; }
    work=$(mktemp -d "${TMPDIR:-/tmp}/octile-$name.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
}

# elapsed CMD...: the seconds one run of CMD takes, to the microsecond;
# its output is discarded.
elapsed() {
    local t0=$EPOCHREALTIME
    "$@" >/dev/null
    local t1=$EPOCHREALTIME
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }'
}

# min VALUES...: the smallest of the numbers given.
min() { printf '%s\n' "$@" | sort -g | head -n 1; }

# best CMD...: the shortest of three runs' elapsed times.
best() {
    local times=() i
    for i in 1 2 3; do times+=("$(elapsed "$@")"); done
    min "${times[@]}"
}

# mb_per_s BYTES SECONDS
mb_per_s() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.1f", n / s / 1e6 }'; }

# add_row NAME OURS PEER: OURS and PEER are MB/s ("-" when there is no peer);
# ratio = ours / peer, so above 1 means Octile is faster.
add_row() {
    local ratio="-"
    if [[ $3 != "-" ]]; then
        ratio=$(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.2fx", a / b }')
    fi
    rows+=("$1|$2|$3|$ratio")
}

# add_timed_row NAME BYTES OUR-SECONDS PEER-SECONDS: both sides over the
# same bytes.
add_timed_row() {
    add_row "$1" "$(mb_per_s "$2" "$3")" "$(mb_per_s "$2" "$4")"
}

# print_rows [--rows]: the rows as a table, or with --rows as bare lines for
# bench/run.sh to gather.
print_rows() {
    if [[ ${1:-} == --rows ]]; then
        printf '%s\n' "${rows[@]}"
    else
        {
            echo "name|ours MB/s|peer MB/s|ratio"
            printf '%s\n' "${rows[@]}"
        } | column -t -s '|' -o ' | '
    fi
}
