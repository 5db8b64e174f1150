// The machine-wide registry on POSIX, kept as files: HKEY_LOCAL_MACHINE is the folder named by
// UPDATER_REGISTRY_DIR (no such variable: no registry, every key is missing), each key component
// a folder below it and each value a file "<value name>.<type name>" ("InstalledFolder.REG_SZ")
// holding the value's bytes as they are, terminator included when the value has one. Names are
// code page 932 to the callers and UTF-8 on disk; unlike Windows, they are case-sensitive.
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/cp932_to_utf8.h"

namespace {

constexpr size_t kPathSize = 4096;

struct TypeName {
    uint32_t type;
    const char* name;
};
// Searched in this order; a value stored under two types is read as the first.
constexpr TypeName kTypeNames[] = {
    {kRegSz, "REG_SZ"},         {kRegExpandSz, "REG_EXPAND_SZ"}, {kRegMultiSz, "REG_MULTI_SZ"},
    {kRegBinary, "REG_BINARY"}, {kRegDword, "REG_DWORD"},         {kRegNone, "REG_NONE"},
};

// A key or value name must stay inside the registry folder.
bool IsPlainComponent(const char* begin, size_t length) {
    if (length == 0) return false;
    if (length == 1 && begin[0] == '.') return false;
    if (length == 2 && begin[0] == '.' && begin[1] == '.') return false;
    return std::memchr(begin, '/', length) == nullptr;
}

int AsDescriptor(RegistryKey key) { return static_cast<int>(key - 1); }

}  // namespace

bool OpenMachineKey(const char* path, RegistryKey* key) {
    const char* root = std::getenv("UPDATER_REGISTRY_DIR");
    if (root == nullptr || root[0] == '\0') return false;
    // Converted before splitting: in code page 932 a 0x5C byte may be half of a character.
    char utf8[kPathSize];
    if (!Cp932ToUtf8Into(path, utf8, sizeof(utf8))) return false;
    char folder[kPathSize];
    int length = std::snprintf(folder, sizeof(folder), "%s", root);
    if (length < 0 || static_cast<size_t>(length) >= sizeof(folder)) return false;
    size_t used = static_cast<size_t>(length);
    for (const char* component = utf8; *component != '\0';) {
        const char* end = std::strchr(component, '\\');
        size_t componentLength = end != nullptr ? static_cast<size_t>(end - component) : std::strlen(component);
        if (!IsPlainComponent(component, componentLength)) return false;
        if (used + 1 + componentLength >= sizeof(folder)) return false;
        folder[used++] = '/';
        std::memcpy(folder + used, component, componentLength);
        used += componentLength;
        if (end == nullptr) break;
        component = end + 1;
        if (*component == '\0') return false;
    }
    folder[used] = '\0';
    int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    // Descriptor 0 is possible, so the key is the descriptor plus 1.
    *key = static_cast<RegistryKey>(fd) + 1;
    return true;
}

bool QueryKeyValue(RegistryKey key, const char* name, uint32_t* type, void* data, uint32_t* size) {
    char utf8[kPathSize];
    if (!Cp932ToUtf8Into(name, utf8, sizeof(utf8)) || std::strchr(utf8, '/') != nullptr) return false;
    for (const TypeName& typeName : kTypeNames) {
        char fileName[kPathSize];
        int length = std::snprintf(fileName, sizeof(fileName), "%s.%s", utf8, typeName.name);
        if (length < 0 || static_cast<size_t>(length) >= sizeof(fileName)) return false;
        int fd = openat(AsDescriptor(key), fileName, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info;
        bool read = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                    static_cast<uint64_t>(info.st_size) <= *size &&
                    ::read(fd, data, static_cast<size_t>(info.st_size)) == info.st_size;
        close(fd);
        if (!read) return false;
        *type = typeName.type;
        *size = static_cast<uint32_t>(info.st_size);
        return true;
    }
    return false;
}

void CloseKey(RegistryKey key) {
    if (key == kNoKey) return;
    close(AsDescriptor(key));
}
