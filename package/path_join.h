// Joining an install folder and a file name into a fixed path buffer.
#pragma once

#include <cstdint>

// The updater's path buffers: Windows' MAX_PATH, terminator included.
constexpr uint32_t kPathSize = 260;

// Writes folder, one backslash and name into out (size bytes, NUL-terminated), nothing
// normalised. False, with out left empty, when the path does not fit.
bool JoinPath(char* out, uint32_t size, const char* folder, const char* name);
