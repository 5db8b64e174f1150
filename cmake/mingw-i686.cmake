# Toolchain file: 32-bit Windows programs with mingw-w64 (Debian's g++-mingw-w64-i686).
# This is the build that makes setup.exe.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(UPDATER_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
