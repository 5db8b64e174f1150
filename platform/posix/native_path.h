// Turning the updater's Windows-style paths into POSIX ones.
#pragma once

#include <cstddef>

// Room for any path the updater builds (260 bytes) and for the longer ones of tests and tools.
constexpr size_t kNativePathSize = 4096;

// A Windows-style path as a POSIX one, in a fixed buffer so that no allocation can fail.
class NativePath {
public:
    // Every backslash that separates path components becomes a slash. The path is code page 932
    // text, so a 0x5C byte right after a lead byte is the second half of a character and stays.
    // A path too long for the buffer becomes the empty path, which no call accepts.
    explicit NativePath(const char* path);
    const char* c_str() const { return path_; }

private:
    char path_[kNativePathSize];
};
