#!/usr/bin/env bash
# Builds the fuzz targets for libFuzzer with ASan and UBSan, the libraries
# under test instrumented too, and runs each over a corpus grown from its seeds.
#   scripts/fuzz.sh                    every target, 60 seconds each
#   scripts/fuzz.sh fuzz_bmp 600       one target, ten minutes
#   scripts/fuzz.sh all 30             every target, 30 seconds each
#   BUILD_DIR=out scripts/fuzz.sh      another build folder (default build-fuzz)
# In the build folder, fuzz/corpus/TARGET starts as a copy of the target's
# seed folders (tests/fuzz/seeds is only read) and keeps what each run adds;
# an input that crashes, leaks or hangs is kept in fuzz/artifacts/TARGET and
# the run's output in fuzz/logs/TARGET.log. Prints one line a target and exits
# 1 when any target crashed.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-all}
seconds=${2:-60}
build=${BUILD_DIR:-build-fuzz}
jobs=${JOBS:-1}
case $seconds in
'' | *[!0-9]*)
    echo "usage: $0 [TARGET|all] [SECONDS]" >&2
    exit 2
    ;;
esac

scripts/install-deps.sh
# libFuzzer and the sanitizer runtimes are clang's compiler-rt, a package of
# their own beside the compiler.
missing=()
for p in clang libclang-rt-dev; do
    dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORDALIA_FUZZ=ON -DORDALIA_BUILD_APP=OFF -DORDALIA_BUILD_BENCH=OFF > "$build/configure.log" 2>&1 ||
    { tail -n 40 "$build/configure.log"; exit 1; }
list="$build/fuzz_targets.txt"
targets=()
while IFS=$'\t' read -r name _; do
    [ -n "$name" ] && targets+=("$name")
done < "$list"
if [ "$target" != all ]; then
    printf '%s\n' "${targets[@]}" | grep -qx -- "$target" ||
        { echo "no fuzz target $target; there are: ${targets[*]}" >&2; exit 2; }
    targets=("$target")
fi
build_target=$([ "$target" = all ] && echo ordalia_fuzz || echo "$target")
cmake --build "$build" -j"$jobs" --target "$build_target" > "$build/build.log" 2>&1 ||
    { tail -n 40 "$build/build.log"; exit 1; }

# A UBSan report is a finding like any other: it stops the run with a stack,
# unless tests/fuzz/ubsan.supp names it as harmless third-party code.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:suppressions=$PWD/tests/fuzz/ubsan.supp
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
work="$build/fuzz"
crashed=0
printf '%-22s %7s %10s %8s %6s %8s\n' target seconds runs runs/s cov crashes
for name in "${targets[@]}"; do
    corpus="$work/corpus/$name"
    artifacts="$work/artifacts/$name"
    log="$work/logs/$name.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    # The seed folders are copied, never handed to libFuzzer, which writes
    # new inputs into the first folder it is given.
    IFS=$'\t' read -r -a fields < <(grep -P "^\Q$name\E\t" "$list")
    for seeds in "${fields[@]:1}"; do
        if [ -d "$seeds" ]; then
            cp -n "$seeds"/* "$corpus"/ 2> /dev/null || true
        fi
    done
    stamp="$work/logs/$name.start"
    touch "$stamp"
    start=$(date +%s)
    status=0
    "$build/tests/$name" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 > "$log" 2>&1 || status=$?
    elapsed=$(($(date +%s) - start))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    crashes=$(find "$artifacts" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' \
        -o -name 'timeout-*' -o -name 'oom-*' \) -newer "$stamp" | wc -l)
    # A run that died without leaving an input behind crashed all the same.
    [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ] && crashes=1
    [ "$crashes" -gt 0 ] && crashed=1
    printf '%-22s %7s %10s %8s %6s %8s\n' "$name" "$elapsed" "${runs:-?}" \
        "$(( ${runs:-0} / (elapsed > 0 ? elapsed : 1) ))" "${cov:-?}" "$crashes"
    if [ "$crashes" -gt 0 ]; then
        find "$artifacts" -maxdepth 1 -type f -newer "$stamp" -printf '    %p\n'
        echo "    see $log"
    fi
done
exit $crashed
