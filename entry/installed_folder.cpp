// The install-folder lookup: one registry value, refused unless it is a string that fits.
#include "entry/installed_folder.h"

#include <cstring>

#include "platform/registry.h"

namespace {

constexpr char kValueName[] = "InstalledFolder";
constexpr size_t kKeyPathSize = 4096;

// A REG_SZ may have been stored without its terminator. Shorter than the buffer, it is ended
// right after its data; filling all 260 bytes, it would need a 261st, so it is refused like any
// value longer than the buffer. A value of 260 bytes with its terminator is accepted.
bool EndFolderString(char* buffer, uint32_t size) {
    if (size > 0 && buffer[size - 1] == '\0') return true;
    if (size >= kInstallFolderSize) return false;
    buffer[size] = '\0';
    return true;
}

// The key path, "%s\%s\%s" of "Software", publisher and title, written by hand: in a Windows
// build, std::snprintf brings mingw-w64's own printf engine (over 20 KB) into setup.exe. It is
// bounded by the buffer because the components come from the caller; a path that does not fit
// names no key.
bool BuildKeyPath(char* keyPath, const char* publisher, const char* title) {
    const char* const components[] = {"Software", publisher, title};
    size_t used = 0;
    for (const char* component : components) {
        size_t length = std::strlen(component);
        size_t separator = used > 0 ? 1 : 0;
        if (used + separator + length >= kKeyPathSize) return false;
        if (separator != 0) keyPath[used++] = '\\';
        std::memcpy(keyPath + used, component, length);
        used += length;
    }
    keyPath[used] = '\0';
    return true;
}

}  // namespace

bool GetInstalledFolder(char* buffer, const char* publisher, const char* title) {
    if (publisher == nullptr || title == nullptr) return false;
    char keyPath[kKeyPathSize];
    if (!BuildKeyPath(keyPath, publisher, title)) return false;
    RegistryKey key = kNoKey;
    if (!OpenMachineKey(keyPath, &key)) return false;
    uint32_t type = kRegNone;
    uint32_t size = kInstallFolderSize;
    bool read = QueryKeyValue(key, kValueName, &type, buffer, &size);
    CloseKey(key);
    return read && type == kRegSz && EndFolderString(buffer, size);
}
