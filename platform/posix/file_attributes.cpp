// File attributes on POSIX: the read-only mark is a missing owner write bit.
#include "platform/file_attributes.h"

#include <sys/stat.h>

#include "platform/posix/native_path.h"

void MakeFileReplaceable(const char* path) {
    NativePath native(path);
    struct stat info;
    if (stat(native.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    chmod(native.c_str(), (info.st_mode & 07777) | S_IWUSR);
}
