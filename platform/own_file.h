// Where the running program's own file is.
#pragma once

#include <cstdint>

// Writes the full path of the running program into buffer (size bytes, NUL-terminated within
// them). Leaves the buffer as it was when the path cannot be found or does not fit.
void GetOwnFilePath(char* buffer, uint32_t size);
