// Windows-style path to POSIX path.
#include "platform/posix/native_path.h"

namespace {

bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsTrailByte(unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

}  // namespace

NativePath::NativePath(const char* path) {
    size_t i = 0;
    bool trailByte = false;
    for (; path[i] != '\0'; ++i) {
        if (i + 1 >= kNativePathSize) {
            path_[0] = '\0';
            return;
        }
        unsigned char byte = static_cast<unsigned char>(path[i]);
        path_[i] = (byte == '\\' && !trailByte) ? '/' : path[i];
        trailByte = !trailByte && IsLeadByte(byte) && IsTrailByte(static_cast<unsigned char>(path[i + 1]));
    }
    path_[i] = '\0';
}
