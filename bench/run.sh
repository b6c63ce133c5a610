#!/usr/bin/env bash
# Benchmark of the settings cleaner:
#   native: the tool against rm -r of the same trees on the directory store,
#           and how its time grows with the number of hives;
#   Wine:   the .exe against `reg delete ... /f` on Wine's registry, in the
#           same wineserver session.
# Medians of RUNS runs (default 5), all measured in this one run of the script.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
RUNS=${RUNS:-5}

native=$top/build/bench
# In memory where possible: on a disk, both the tool's and rm's figures are
# mostly the file system's journal, and noisy with it.
if [ -z "${BENCH_STORE:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    BENCH_STORE=/dev/shm/settings_cleaner-bench
fi
store=${BENCH_STORE:-$native/registry}
users=$store/HKEY_USERS
windows=$top/build/windows

ms_since() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "Machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)," \
     "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(wine --version 2>/dev/null || echo 'no wine')"
echo "Runs per figure: $RUNS (median); native store: $store ($(df -T "$(dirname "$store")" | awk 'NR == 2 { print $2 }'))"
echo

# --- Native ----------------------------------------------------------------
cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DREGISTRY_ROOT="$store" \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build "$native" --target settings_cleaner seed_hives -j2 >/dev/null

seed_native() { rm -rf "$users"; "$native/bench/seed_hives" "$1" "$2" S-1-5-21-9-; }
left_native() { find "$users" -name ZARPH | wc -l; }

time_tool_native() {
    seed_native "$1" "$2"
    local start; start=$(date +%s%N)
    printf 'y\n\n' | "$native/settings_cleaner" >/dev/null
    ms_since "$start"
    [ "$(left_native)" = 0 ] || { echo "tool left product keys" >&2; exit 1; }
}

time_rm_native() {
    seed_native "$1" "$2"
    local targets=("$users"/*/Software/Velk/ZARPH)
    local start; start=$(date +%s%N)
    rm -r "${targets[@]}"
    ms_since "$start"
}

# Alternates the two so that both see the same machine.
compare_native() {
    local n=$1 k=$2 tool=() floor=()
    for _ in $(seq "$RUNS"); do
        tool+=("$(time_tool_native "$n" "$k")")
        floor+=("$(time_rm_native "$n" "$k")")
    done
    local t f
    t=$(printf '%s\n' "${tool[@]}" | median)
    f=$(printf '%s\n' "${floor[@]}" | median)
    printf '| %5d | %5d | %7d | %7d ms | %7d ms | %5sx |\n' "$n" "$k" $(( n * (2 * k + 2) )) "$t" "$f" "$(ratio "$t" "$f")"
}

echo "Native, directory store: tool against rm -r of the same product key trees"
echo "| hives |     K |    keys |       tool |      rm -r |  ratio |"
echo "|------:|------:|--------:|-----------:|-----------:|-------:|"
compare_native 1000 10
compare_native 1 5000
echo

echo "Native scaling, K = 10"
echo "| hives |       tool | against half the hives |"
echo "|------:|-----------:|-----------------------:|"
previous=
for n in 1000 2000 4000 8000; do
    times=()
    for _ in $(seq "$RUNS"); do times+=("$(time_tool_native "$n" 10)"); done
    t=$(printf '%s\n' "${times[@]}" | median)
    if [ -n "$previous" ]; then step="$(ratio "$t" "$previous")x"; else step="-"; fi
    printf '| %5d | %7d ms | %22s |\n' "$n" "$t" "$step"
    previous=$t
done
rm -rf "$store"
echo

# --- Wine ------------------------------------------------------------------
if ! command -v wine >/dev/null || ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    echo "Wine or MinGW-w64 missing: no Wine figures"
    exit 0
fi
cmake --preset windows >/dev/null
cmake --build --preset windows --target settings_cleaner seed_hives >/dev/null
"$windows/wine-run.sh" cmd /c exit >/dev/null # makes the prefix on first use
export WINEPREFIX=$windows/wineprefix WINEDEBUG=-all
wineserver -p </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k 2>/dev/null || true' EXIT

input=$native/bench-input.txt
printf 'y\n\n' >"$input"

time_tool_wine() {
    wine "$windows/bench/seed_hives.exe" "$1" "$2" "$3" </dev/null >/dev/null 2>&1
    local start; start=$(date +%s%N)
    wine "$windows/settings_cleaner.exe" <"$input" >"$native/bench-output.txt" 2>&1
    ms_since "$start"
    grep -qa "HKEY_USERS.$3" "$native/bench-output.txt" || { echo "tool found nothing" >&2; exit 1; }
}

time_reg_wine() {
    wine "$windows/bench/seed_hives.exe" "$1" "$2" "$3" </dev/null >/dev/null 2>&1
    local start; start=$(date +%s%N)
    for h in $(seq 0 $(( $1 - 1 ))); do
        wine reg delete "HKEY_USERS\\$3$h\\Software\\Velk\\ZARPH" /f </dev/null >/dev/null 2>&1
    done
    ms_since "$start"
}

compare_wine() {
    local n=$1 k=$2 tool=() reg=() run=0
    for _ in $(seq "$RUNS"); do
        run=$((run + 1))
        tool+=("$(time_tool_wine "$n" "$k" "S-1-5-21-8-$k-$run-t-")")
        reg+=("$(time_reg_wine "$n" "$k" "S-1-5-21-8-$k-$run-r-")")
    done
    local t r keys=$(( n * (2 * k + 2) ))
    t=$(printf '%s\n' "${tool[@]}" | median)
    r=$(printf '%s\n' "${reg[@]}" | median)
    printf '| %5d | %5d | %6d | %6d ms (%6.1f us/key) | %6d ms (%6.1f us/key) | %5sx |\n' \
        "$n" "$k" "$keys" "$t" "$(ratio $(( t * 1000 )) "$keys")" "$r" "$(ratio $(( r * 1000 )) "$keys")" "$(ratio "$t" "$r")"
}

echo "Wine: settings_cleaner.exe against reg delete /f (one reg.exe per hive), same wineserver"
echo "| hives |     K |   keys |                    tool |              reg delete |  ratio |"
echo "|------:|------:|-------:|------------------------:|------------------------:|-------:|"
compare_wine 1 2000
compare_wine 50 20
