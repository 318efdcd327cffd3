#!/usr/bin/env bash
# Runs the fuzz targets of a fuzz build, each for a while, and fails when any
# of them finds something (a crash, a sanitizer report, a leak, a time-out,
# readers that disagree).
#
#   tests/fuzz/run.sh <fuzz build folder> [seconds per target] [target...]
#
# Each target starts from the shared corpus of workbooks of its kind, the
# files the reader tests make (tst_readers with TALLIX_KEEP_TEST_FILES), and
# the seeds in tests/fuzz/seeds; what it learns stays in <build>/corpus. A
# finding is kept in <build>/findings and printed.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: run.sh <fuzz build folder> [seconds] [target...]}" && pwd)
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_xlsx fuzz_ods fuzz_xls fuzz_csv)
fixtures="$root/../shared/fixtures/workbooks"
supp="$root/tests/sanitizers"

export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:suppressions=$supp/asan.supp"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
export QT_QPA_PLATFORM=offscreen

# Starting points, one folder per target.
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds"/{fuzz_xlsx,fuzz_ods,fuzz_xls,fuzz_csv,tests} "$build/corpus" "$build/findings"
if [ -x "$build/bin/tst_readers" ]; then
    TALLIX_KEEP_TEST_FILES="$seeds/tests" "$build/bin/tst_readers" >"$build/seeds-tests.log" 2>&1 ||
        { cat "$build/seeds-tests.log"; echo "fuzz: tst_readers failed while making the seed files" >&2; exit 1; }
fi
link() {  # link <target> <files...>
    local t=$1
    shift
    for f in "$@"; do [ -f "$f" ] && ln -sf "$f" "$seeds/$t/$(basename "$(dirname "$f")")-$(basename "$f")"; done
    return 0
}
shopt -s nullglob nocaseglob
link fuzz_xlsx "$fixtures"/*/*.xlsx "$fixtures"/*/*.xlsm "$seeds"/tests/*.xlsx "$seeds"/tests/*.zip "$root"/tests/fuzz/seeds/xlsx/*
link fuzz_ods "$fixtures"/*/*.ods "$seeds"/tests/*.ods "$seeds"/tests/*.zip "$root"/tests/fuzz/seeds/ods/*
link fuzz_xls "$fixtures"/*/*.xls "$seeds"/tests/*.xls "$root"/tests/fuzz/regressions/*.xls
link fuzz_csv "$fixtures"/*/*.csv "$root"/tests/fuzz/seeds/csv/*
shopt -u nullglob nocaseglob

failed=()
for t in "${targets[@]}"; do
    bin="$build/bin/$t"
    [ -x "$bin" ] || { echo "fuzz: $bin is not built" >&2; exit 1; }
    mkdir -p "$build/corpus/$t"
    dict=()
    case $t in fuzz_xlsx | fuzz_ods) dict=(-dict="$root/tests/fuzz/xml.dict") ;; esac
    log="$build/findings/$t.log"
    echo "fuzz: $t for ${seconds}s from $(ls "$seeds/$t" | wc -l) seed files"
    start=$(date +%s)
    set +e
    "$bin" "$build/corpus/$t" "$seeds/$t" "${dict[@]}" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 \
        -max_len=262144 -print_final_stats=1 -artifact_prefix="$build/findings/$t-" >"$log" 2>&1
    rc=$?
    set -e
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    echo "fuzz: $t ended with $rc after $(($(date +%s) - start))s, ${runs:-?} inputs run, corpus $(ls "$build/corpus/$t" | wc -l) files"
    if [ $rc -ne 0 ]; then
        failed+=("$t")
        echo "---- $t: last lines of $log" >&2
        tail -n 60 "$log" >&2
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: findings in ${failed[*]} (inputs kept in $build/findings)" >&2
    exit 1
fi
echo "fuzz: no findings"
