// Test file helpers that need no system call of their own.
#include "tests/support/test_files.h"

namespace test_support {

std::string MakeFolderOfLength(const std::string& base, size_t length) {
    std::string folder = base;
    if (folder.size() + 2 > length) return "";
    while (folder.size() < length) {
        size_t part = length - folder.size() - 1;
        if (part > 100) part = 100;
        folder += kSeparator + std::string(part, 'd');
        if (!FileExists(folder) && !MakeFolder(folder)) return "";
    }
    return folder;
}

}  // namespace test_support
