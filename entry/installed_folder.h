// Finding the game's install folder in the machine-wide registry.
#pragma once

#include <cstdint>

// The install folder buffer: a Win32 path, terminator included.
constexpr uint32_t kInstallFolderSize = 260;

// Reads "InstalledFolder" under HKEY_LOCAL_MACHINE\Software\<publisher>\<title> into buffer
// (kInstallFolderSize bytes). True only for a REG_SZ value that fits the buffer with its
// terminator; buffer then holds the folder as stored, NUL-terminated. Missing key, missing
// value, another type and a longer value all give false, and buffer's content is then undefined.
bool GetInstalledFolder(char* buffer, const char* publisher, const char* title);
