// The program's own file on Linux.
#include "platform/own_file.h"

#include <unistd.h>

#include <cstring>

void GetOwnFilePath(char* buffer, uint32_t size) {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path));
    if (length <= 0 || static_cast<size_t>(length) >= size || static_cast<size_t>(length) >= sizeof(path)) return;
    std::memcpy(buffer, path, static_cast<size_t>(length));
    buffer[length] = '\0';
}
