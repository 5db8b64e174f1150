// Registry reading on Win32: advapi32's ANSI functions.
#include "platform/registry.h"

#include <windows.h>

static_assert(sizeof(RegistryKey) == sizeof(HKEY), "a key fits the stored value");
// Plain KEY_READ without KEY_WOW64_32KEY or KEY_WOW64_64KEY: a 32-bit program then sees the
// view that every 32-bit program sees on 64-bit Windows.
static_assert(KEY_READ == 0x20019, "KEY_READ carries no registry-view bit");
static_assert(REG_SZ == kRegSz && REG_EXPAND_SZ == kRegExpandSz && REG_BINARY == kRegBinary &&
                  REG_DWORD == kRegDword && REG_MULTI_SZ == kRegMultiSz && REG_NONE == kRegNone,
              "value types keep their Windows numbers");

bool OpenMachineKey(const char* path, RegistryKey* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    *key = reinterpret_cast<RegistryKey>(opened);
    return true;
}

bool QueryKeyValue(RegistryKey key, const char* name, uint32_t* type, void* data, uint32_t* size) {
    DWORD valueType = REG_NONE;
    DWORD valueSize = *size;
    // ERROR_MORE_DATA for a value larger than the buffer: refused like a missing one.
    LONG status = RegQueryValueExA(reinterpret_cast<HKEY>(key), name, nullptr, &valueType,
                                   static_cast<BYTE*>(data), &valueSize);
    if (status != ERROR_SUCCESS) return false;
    *type = valueType;
    *size = valueSize;
    return true;
}

void CloseKey(RegistryKey key) {
    RegCloseKey(reinterpret_cast<HKEY>(key));
}
