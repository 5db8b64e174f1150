// The entry tests' platform set-up on POSIX: the registry and mutex stand-ins' folders.
#include "tests/entry/test_platform.h"

#include <stdlib.h>
#include <unistd.h>

#include "platform/registry.h"

namespace entry_test {

namespace {

const char* TypeName(uint32_t type) {
    switch (type) {
        case kRegSz: return "REG_SZ";
        case kRegExpandSz: return "REG_EXPAND_SZ";
        case kRegMultiSz: return "REG_MULTI_SZ";
        case kRegBinary: return "REG_BINARY";
        case kRegDword: return "REG_DWORD";
        default: return "REG_NONE";
    }
}

}  // namespace

TestRegistry::TestRegistry(const std::string& ownedKey) : ownedKey_(ownedKey) {
    setenv("UPDATER_REGISTRY_DIR", folder_.Path().c_str(), 1);
}

TestRegistry::~TestRegistry() { unsetenv("UPDATER_REGISTRY_DIR"); }

bool TestRegistry::CreateKey(const std::string& keyPath) {
    std::string path = folder_.Path();
    size_t start = 0;
    for (;;) {
        size_t end = keyPath.find('\\', start);
        path += "/" + keyPath.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!test_support::FileExists(path) && !test_support::MakeFolder(path)) return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

bool TestRegistry::SetValue(const std::string& keyPath, const std::string& name, uint32_t type,
                            const std::string& data) {
    if (!CreateKey(keyPath)) return false;
    std::string folder = folder_.Path() + "/" + keyPath;
    for (char& c : folder) {
        if (c == '\\') c = '/';
    }
    return test_support::WriteFileBytes(folder + "/" + name + "." + TypeName(type), test_support::ToBytes(data));
}

TestMutexFolder::TestMutexFolder() { setenv("UPDATER_MUTEX_DIR", folder_.Path().c_str(), 1); }

TestMutexFolder::~TestMutexFolder() { unsetenv("UPDATER_MUTEX_DIR"); }

std::string UniqueName(const std::string& stem) { return stem + " " + std::to_string(getpid()); }

}  // namespace entry_test
