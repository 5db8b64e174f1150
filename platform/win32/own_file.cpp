// The program's own file on Win32.
#include "platform/own_file.h"

#include <windows.h>

void GetOwnFilePath(char* buffer, uint32_t size) {
    if (size == 0) return;
    GetModuleFileNameA(nullptr, buffer, size);
    // Older systems leave a path that fills the buffer without its terminator.
    buffer[size - 1] = '\0';
}
