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
    -DUPDATER_NATIVE_TOOLS_DIR="$root/native/tools"
  run_ctest windows-i686
else
  echo "== this kernel runs no 32-bit code: the 32-bit build is checked, the Windows suite runs 64-bit"
  configure_and_build windows-i686 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
    -DUPDATER_RUN_WINDOWS_TESTS=OFF -DUPDATER_NATIVE_TOOLS_DIR="$root/native/tools"
  run_ctest windows-i686
  configure_and_build windows-x86_64 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" \
    -DUPDATER_NATIVE_TOOLS_DIR="$root/native/tools"
  run_ctest windows-x86_64
fi
