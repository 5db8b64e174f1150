// The program's own file on Win32.
#include "platform/own_file.h"

#include <windows.h>

void GetOwnFilePath(char* buffer, uint32_t size) {
    // A path that fills the whole buffer was cut off (older systems also leave it without its
    // terminator), so the call writes into a copy and only a complete path is taken.
    char path[MAX_PATH];
    if (size == 0 || size > sizeof(path)) return;
    DWORD length = GetModuleFileNameA(nullptr, path, size);
    if (length == 0 || length >= size) return;
    CopyMemory(buffer, path, length + 1);
}
