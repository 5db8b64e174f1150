// Path joining, bounded by the buffer. Written out rather than formatted: the C runtime's
// formatting engine alone would add a third to setup.exe.
#include "package/path_join.h"

#include <cstring>

bool JoinPath(char* out, uint32_t size, const char* folder, const char* name) {
    size_t folderLength = std::strlen(folder);
    size_t nameLength = std::strlen(name);
    if (size == 0) return false;
    if (folderLength + 1 + nameLength + 1 > size) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, folder, folderLength);
    out[folderLength] = '\\';
    std::memcpy(out + folderLength + 1, name, nameLength + 1);
    return true;
}
