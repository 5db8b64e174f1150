#!/usr/bin/env bash
# The whole test suite: installs what it needs, then builds and tests natively and as Windows
# programs under Wine. Build trees go to $UPDATER_BUILD_ROOT (default: build/ in the source tree).
#
# The Windows programs are built with the 32-bit mingw-w64 toolchain, which makes setup.exe.
# Where the kernel cannot run 32-bit code, Wine's 32-bit side cannot start; the Windows test
# suite then runs from a 64-bit build of the same sources under Wine's 64-bit side instead,
# and the 32-bit build is checked without running it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${UPDATER_BUILD_ROOT:-$here/build}
jobs=${UPDATER_JOBS:-$(nproc)}

bash "$here/cmake/install-deps.sh"

can_run_32bit() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

configure_and_build() {  # name, cmake arguments...
  local dir=$root/$1; shift
  cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

run_ctest() {  # name, ctest arguments...
  local dir=$root/$1; shift
  echo "== tests: $(basename "$dir")"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@")
}

configure_and_build native
run_ctest native

if can_run_32bit; then
  configure_and_build windows-i686 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
    -DUPDATER_NATIVE_TOOLS_DIR="$root/native"
  run_ctest windows-i686
else
  echo "== this kernel runs no 32-bit code: the 32-bit build is checked, the Windows suite runs 64-bit"
  configure_and_build windows-i686 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
    -DUPDATER_RUN_WINDOWS_TESTS=OFF -DUPDATER_NATIVE_TOOLS_DIR="$root/native"
  run_ctest windows-i686
  configure_and_build windows-x86_64 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" \
    -DUPDATER_NATIVE_TOOLS_DIR="$root/native"
  run_ctest windows-x86_64
fi

# --- Instrumented native builds: sanitizers, fuzzing and coverage. (The valgrind runs of the
# native updaters are tests of the native suite above.) ---

# The native suite again with every program under ASan and UBSan, any report fatal. Built by
# gcc: clang cannot compile the entry's code page 932 texts.
configure_and_build sanitize -DUPDATER_SANITIZE=address,undefined -DUPDATER_BUILD_BENCHMARKS=OFF
run_ctest sanitize

fuzz() {  # seconds per target
  local dir=$root/fuzz
  echo "== fuzzing: $1 s per target"
  CC=clang CXX=clang++ cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUPDATER_FUZZ=ON \
    -DUPDATER_BUILD_BENCHMARKS=OFF >/dev/null
  cmake --build "$dir" -j "$jobs" --target apply_package_fuzzer uninstall_list_fuzzer >"$dir/build.log" 2>&1 ||
    { cat "$dir/build.log"; return 1; }
  bash "$here/tests/fuzz/run_fuzzers.sh" "$dir" "$1"
}
fuzz "${UPDATER_FUZZ_SECONDS:-60}"

echo "== coverage of package/, install/ and platform/ by the unit tests"
bash "$here/tests/coverage.sh" "$root/coverage" "$jobs"
