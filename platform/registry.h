// Reading values of the machine-wide registry (HKEY_LOCAL_MACHINE).
#pragma once

#include <cstdint>

// An open registry key; kNoKey when none is open.
using RegistryKey = uintptr_t;
constexpr RegistryKey kNoKey = 0;

// Value types, numbered as Windows numbers them.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

// Opens the key at path (components separated by backslashes, code page 932) below
// HKEY_LOCAL_MACHINE for reading, in the registry view of the running program.
bool OpenMachineKey(const char* path, RegistryKey* key);
// Reads the value called name into data. *size holds the buffer's size on entry and the value's
// size in bytes on success. Fails when the value is missing or larger than the buffer. A string
// value is returned as stored: its terminator may be missing.
bool QueryKeyValue(RegistryKey key, const char* name, uint32_t* type, void* data, uint32_t* size);
void CloseKey(RegistryKey key);
