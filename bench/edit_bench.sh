#!/usr/bin/env bash
# Byte-shifting edits, undo and the hex listing against their peers, on files
# in the page cache:
#   insert of 16 bytes at offset 0 of a 1 GiB file  vs  cp of that file
#   delete of 16 bytes at offset 0 of a 1 GiB file  vs  cp of that file
#   undo of that insert (a delete of its 16 bytes)  vs  cp of that file
#   octile-cli hexlist of 64 MiB                     vs  xxd of the same bytes
#   octile-cli hexlist of 64 MiB                     vs  dd writing as many bytes
# The edits and the undo run twice: with the edit journal's defaults (synced
# at each checkpoint, so a power cut cannot tear the file) and with
# "[Journal] Sync=0" in the settings (safe against a crash of the program,
# not of the machine).
# Figures are MB/s of input (1 MB = 10^6 bytes) from the best wall-clock time
# of three runs; ratio = ours / peer, so above 1 means Octile is faster.
# The edits write each moved segment twice (its copy in the journal, then its
# new place), and synced they wait for the disk at every segment. The
# listing's UTF-16 text is 2.6 times the size of xxd's, and writing it to a
# file bounds its time: the second listing row sets it against dd writing as
# many bytes (1 MiB blocks) to a new file, the machine's limit for it.
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
cp_times=()
for _ in 1 2 3; do
    rm -f "$work/copy.bin"
    sync
    cp_times+=("$(elapsed cp "$big" "$work/copy.bin")")
done
cp_best=$(min "${cp_times[@]}")

# The settings file bench_setup's private XDG_CONFIG_HOME points at.
ini_dir=$XDG_CONFIG_HOME/Zenkobo
ini=$ini_dir/ﾊﾞｲﾅﾘｴﾃﾞｨﾀ.ini
mkdir -p "$ini_dir"

# run_cli ARGS...: octile-cli, stopping the benchmark when it fails.
run_cli() { "$cli" "$@" >/dev/null || { echo "edit_bench: octile-cli $* failed" >&2; exit 2; }; }

for setting in default Sync=0; do
    if [[ $setting == default ]]; then
        rm -f "$ini"
        label="journal synced"
    else
        printf '[Journal]\n%s\n' "$setting" >"$ini"
        label="journal $setting"
    fi
    ins_times=() undo_times=() del_times=()
    for _ in 1 2 3; do
        ins_times+=("$(elapsed run_cli insert "$big" 0 10)")
        sync
        undo_times+=("$(elapsed run_cli undo "$big")")  # back to the original
        sync
        del_times+=("$(elapsed run_cli delete "$big" 0 10)")
        sync
        run_cli undo "$big"  # the deleted bytes back
        sync
    done
    add_timed_row "insert 16 B at 0 of 1 GiB, $label vs cp" "$big_bytes" \
        "$(min "${ins_times[@]}")" "$cp_best"
    add_timed_row "delete 16 B at 0 of 1 GiB, $label vs cp" "$big_bytes" \
        "$(min "${del_times[@]}")" "$cp_best"
    add_timed_row "undo of that insert, $label vs cp" "$big_bytes" \
        "$(min "${undo_times[@]}")" "$cp_best"
done
# Whole blocks at a block boundary: where the file system moves blocks itself
# (ext4, XFS) the insert and delete take constant time, whatever the length.
rm -f "$ini"
fs_type=$(stat -f -c %T "$work")
if [[ $fs_type == ext2/ext3 || $fs_type == xfs ]]; then
    blk_ins=() blk_del=()
    for _ in 1 2 3; do
        blk_ins+=("$(elapsed run_cli insert "$big" 0 10000)")
        sync
        blk_del+=("$(elapsed run_cli delete "$big" 0 10000)")
        sync
    done
    add_timed_row "insert 64 KiB at 0 of 1 GiB, whole blocks ($fs_type) vs cp" "$big_bytes" \
        "$(min "${blk_ins[@]}")" "$cp_best"
    add_timed_row "delete 64 KiB at 0 of 1 GiB, whole blocks ($fs_type) vs cp" "$big_bytes" \
        "$(min "${blk_del[@]}")" "$cp_best"
else
    echo "edit_bench: the work folder is on $fs_type, which moves no blocks: whole-block rows skipped" >&2
fi
# Every edit was undone: the file must be the one cp copied.
if ! cmp -s "$big" "$work/copy.bin"; then
    echo "edit_bench: the file differs after its edits were undone" >&2
    exit 2
fi
rm -f "$big" "$work/copy.bin"

small=$work/small.bin
small_bytes=$((64 * 1048576))
make_file "$small" 64
# Outputs are regular files (a device such as /dev/null is refused).
xxd_times=() our_times=() dd_times=()
for _ in 1 2 3; do
    xxd_times+=("$(elapsed sh -c 'xxd "$1" >"$2"' xxd "$small" "$work/xxd.txt")")
    our_times+=("$(elapsed "$cli" hexlist "$small" "$work/list.txt")")
    list_bytes=$(stat -c %s "$work/list.txt")
    rm -f "$work/xxd.txt" "$work/list.txt"
    sync
    dd_times+=("$(elapsed dd if=/dev/zero of="$work/dd.bin" bs=1M count=$((list_bytes / 1048576)) status=none)")
    rm -f "$work/dd.bin"
    sync
done
add_timed_row "hexlist 64 MiB to a file vs xxd" "$small_bytes" "$(min "${our_times[@]}")" \
    "$(min "${xxd_times[@]}")"
add_timed_row "hexlist 64 MiB to a file vs dd writing its $((list_bytes / 1000000)) MB" \
    "$small_bytes" "$(min "${our_times[@]}")" "$(min "${dd_times[@]}")"

print_rows "$bare"
