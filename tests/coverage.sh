#!/usr/bin/env bash
# Line coverage of package/, install/ and platform/ from the native unit tests (tests/unit and
# tests/tools, with the helper programs they start), by clang source-based coverage. Prints
# the per-file report and one summary line per folder.
#   coverage.sh BUILD_DIR [JOBS]
# The entry's tests are not part of it: clang cannot compile the entry's texts (it has no
# -fexec-charset=CP932), so this tree builds only the test folders it runs.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
jobs=${2:-2}
suites=(tests/unit tests/tools)
folders=(package install platform)

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DUPDATER_COVERAGE=ON \
  -DUPDATER_BUILD_BENCHMARKS=OFF >/dev/null
# A folder's own Makefile builds that folder's targets and what they depend on.
for suite in "${suites[@]}"; do make -s -C "$build/$suite" -j "$jobs" >/dev/null; done

profiles=$build/coverage-profiles
rm -rf "$profiles"
mkdir -p "$profiles"
for suite in "${suites[@]}"; do
  # %p: every process, the helper programs the tests start included, writes its own profile.
  LLVM_PROFILE_FILE="$profiles/%p-%m.profraw" \
    ctest --test-dir "$build/$suite" -j "$jobs" --output-on-failure >"$profiles/ctest-${suite//\//-}.log" ||
    { cat "$profiles/ctest-${suite//\//-}.log"; exit 1; }
done
llvm-profdata merge -sparse "$profiles"/*.profraw -o "$profiles/merged.profdata"

# The first program goes as llvm-cov's binary, every further one as -object.
objects=()
for suite in "${suites[@]}" tests/support tools; do
  while IFS= read -r program; do
    [ ${#objects[@]} = 0 ] && objects=("$program") || objects+=(-object "$program")
  done < <(find "$build/$suite" -maxdepth 1 -type f -perm -u+x | sort)
done

report() {  # source folders...
  llvm-cov report "${objects[@]}" -instr-profile="$profiles/merged.profdata" \
    -ignore-filename-regex='(^|/)(tests|tools|googletest)/' "$@"
}
report "${folders[@]/#/$here/}"
echo
for folder in "${folders[@]}"; do
  # TOTAL: regions, missed, cover, functions, missed, executed, lines, missed, cover, ...
  report "$here/$folder" | awk -v f="$folder/" '$1 == "TOTAL" { printf "coverage %-10s lines %s (%d of %d), functions %s\n", f, $10, $8 - $9, $8, $7 }'
done
