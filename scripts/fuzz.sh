#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/, and runs each for a time:
#
#   fuzz.sh [SECONDS_PER_TARGET] [TARGET ...]
#
# Targets: fuzz_lpoptions fuzz_historyimport fuzz_pdfscan fuzz_pdfspool fuzz_cacherecord
# fuzz_formlayout.
# Inputs found go to build-fuzz/corpus/TARGET/, crashes to
# build-fuzz/crashes/TARGET/. Keep a crash's file in fuzz/corpus/TARGET/
# once it is mended: the replay tests run every file there.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-fuzz"
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_lpoptions fuzz_historyimport fuzz_pdfscan fuzz_pdfspool fuzz_cacherecord fuzz_formlayout)

bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DDUNMARROW_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"
bash "$root/scripts/fetch-pdfium.sh" "$build/bin"

# The spool target prints into a device context of a private scheduler.
cups=/tmp/dunmarrow-fuzz-cups
bash "$root/scripts/cups-private.sh" start "$cups" >/dev/null
trap 'bash "$root/scripts/cups-private.sh" stop "$cups"' EXIT
export DUNMARROW_TEST_CUPS_DIR="$cups"
export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

dictionary() {
  case "$1" in
    fuzz_lpoptions) echo "$root/fuzz/dict/lpoptions.dict" ;;
    fuzz_historyimport) echo "$root/fuzz/dict/sqlite.dict" ;;
    fuzz_cacherecord | fuzz_formlayout) echo "$root/fuzz/dict/json.dict" ;;
    *) echo "$root/fuzz/dict/pdf.dict" ;;
  esac
}

status=0
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target" "$build/crashes/$target"
  echo "== $target, $seconds s"
  "$build/bin/$target" "$build/corpus/$target" "$root/fuzz/corpus/$target" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=65536 \
    -dict="$(dictionary "$target")" -artifact_prefix="$build/crashes/$target/" \
    -print_final_stats=1 2>"$build/$target.log" || status=1
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|ERROR|SUMMARY|invariant" \
    "$build/$target.log" || true
done
exit $status
