// File attributes on Win32.
#include "platform/file_attributes.h"

#include <windows.h>

void MakeFileReplaceable(const char* path) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
}
