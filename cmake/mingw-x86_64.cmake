# Toolchain file: 64-bit Windows programs with mingw-w64 (Debian's g++-mingw-w64-x86-64).
# Only for running the Windows test suite under Wine on a host whose kernel cannot run 32-bit
# code (Wine's 32-bit side then cannot start); setup.exe itself is always the 32-bit build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(UPDATER_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
