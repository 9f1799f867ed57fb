#!/usr/bin/env bash
# Byte-shifting edits and the hex listing against their peers, on files in
# the page cache:
#   insert of 16 bytes at offset 0 of a 1 GiB file  vs  cp of that file
#   delete of 16 bytes at offset 0 of a 1 GiB file  vs  cp of that file
#   octile-cli hexlist of 64 MiB                     vs  xxd of the same bytes
# Figures are MB/s of input (1 MB = 10^6 bytes) from the best wall-clock time
# of three runs; ratio = ours / peer, so above 1 means Octile is faster.
# Goals: the edits at least 0.77x of cp (within 1.3 times its time), the
# listing at least 4x xxd. The listing is measured twice: output to a file,
# and output to /dev/null (the formatting alone; its UTF-16 text is 2.5
# times the size of xxd's).
#
# usage: bench/edit_bench.sh BUILD_DIR [--rows]
#   --rows: print bare "name|ours|peer|ratio" lines for bench/run.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

bench_setup edit_bench "${1:?usage: edit_bench.sh BUILD_DIR [--rows]}"
bare=${2:-}
command -v xxd >/dev/null || { echo "edit_bench: xxd not installed" >&2; exit 2; }

# Writes mib MiB (one random MiB repeated) to path and reads it once so that
# it is in the page cache.
make_file() {
    local path=$1 mib=$2 i
    head -c 1048576 /dev/urandom >"$work/mib"
    for ((i = 0; i < mib; i++)); do cat "$work/mib"; done >"$path"
    cat "$path" >/dev/null
    sync
}

big=$work/big.bin
big_bytes=$((1024 * 1048576))
make_file "$big" 1024
cp_times=() ins_times=() del_times=()
for _ in 1 2 3; do
    cp_times+=("$(elapsed cp "$big" "$work/copy.bin")")
    rm -f "$work/copy.bin"
    sync
    ins_times+=("$(elapsed "$cli" insert "$big" 0 10)")
    sync
    del_times+=("$(elapsed "$cli" delete "$big" 0 10)")  # back to the original
    sync
done
cp_best=$(min "${cp_times[@]}")
add_timed_row "insert 16 B at 0 of 1 GiB vs cp" "$big_bytes" "$(min "${ins_times[@]}")" "$cp_best"
add_timed_row "delete 16 B at 0 of 1 GiB vs cp" "$big_bytes" "$(min "${del_times[@]}")" "$cp_best"
rm -f "$big"

small=$work/small.bin
small_bytes=$((64 * 1048576))
make_file "$small" 64
for target in file /dev/null; do
    xxd_times=() our_times=()
    for _ in 1 2 3; do
        if [[ $target == file ]]; then
            xxd_times+=("$(elapsed sh -c 'xxd "$1" >"$2"' xxd "$small" "$work/xxd.txt")")
            our_times+=("$(elapsed "$cli" hexlist "$small" "$work/list.txt")")
            rm -f "$work/xxd.txt" "$work/list.txt"
            sync
        else
            xxd_times+=("$(elapsed sh -c 'xxd "$1" >/dev/null' xxd "$small")")
            our_times+=("$(elapsed "$cli" hexlist "$small" /dev/null)")
        fi
    done
    add_timed_row "hexlist 64 MiB to $target vs xxd" "$small_bytes" "$(min "${our_times[@]}")" \
        "$(min "${xxd_times[@]}")"
done

print_rows "$bare"
