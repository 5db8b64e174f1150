#!/usr/bin/env bash
# Fuzzes every target for a bounded time from a clang build tree made with -DUPDATER_FUZZ=ON,
# starting from the generated seeds, the kept failures and the corpus of earlier runs in that
# tree. Prints one summary line per target; fails when a target finds a crash, leak, timeout or
# failed check, and then names the input it wrote under the tree's fuzz-findings/.
#   run_fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
seconds=${2:-60}
targets=(apply_package uninstall_list)

# The fuzzers write thousands of small files: on a memory file system that costs no disk.
scratch_base=/dev/shm
[ -d "$scratch_base" ] && [ -w "$scratch_base" ] || scratch_base=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$scratch_base/updater-fuzz-XXXXXX")
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT

failed=0
for target in "${targets[@]}"; do
  fuzzer=$build/tests/fuzz/${target}_fuzzer
  corpus=$build/fuzz-corpus/$target
  findings=$build/fuzz-findings/$target
  log=$build/fuzz-logs/$target.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  seeds=("$build/tests/fuzz/seeds/$target")
  [ -d "$here/regressions/$target" ] && seeds+=("$here/regressions/$target")

  # -malloc_limit_mb stays at the RSS limit; the targets themselves make larger requests fail.
  TMPDIR=$scratch "$fuzzer" "$corpus" "${seeds[@]}" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1
  status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  size=$(find "$corpus" -type f | wc -l)
  if [ "$status" = 0 ]; then
    echo "fuzz $target: ${runs:-?} executions in ${seconds} s (${rate:-?}/s), corpus $size inputs"
  else
    failed=1
    echo "fuzz $target: FAILED (exit $status) after ${runs:-?} executions; log $log"
    grep -E '^(SUMMARY|fuzz check failed)|Test unit written' "$log" | sed 's/^/  /'
    echo "  keep the input under tests/fuzz/regressions/$target/ once it is fixed"
  fi
done
exit "$failed"
