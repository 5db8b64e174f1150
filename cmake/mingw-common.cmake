# What both mingw-w64 toolchain files share. UPDATER_MINGW_TRIPLE names the compiler set.
# The posix thread model: GoogleTest needs std::mutex, which the win32 one lacks. A program
# that starts no thread links no thread library, so setup.exe stays as it is.
set(CMAKE_C_COMPILER ${UPDATER_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UPDATER_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${UPDATER_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${UPDATER_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs that need no DLL beyond Windows' own: the C++ runtime is linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine, each build tree with a throwaway prefix of its own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
