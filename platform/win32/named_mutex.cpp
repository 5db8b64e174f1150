// Named mutexes on Win32: kernel32 mutex objects.
#include "platform/named_mutex.h"

#include <windows.h>

static_assert(sizeof(MutexHandle) == sizeof(HANDLE), "a handle fits the stored value");

MutexCreation CreateOwnedMutex(const char* name) {
    HANDLE handle = CreateMutexA(nullptr, TRUE, name);
    // Read at once: CreateMutexA sets the last error on success too, to 0 for a new mutex and to
    // ERROR_ALREADY_EXISTS when another process made it first.
    DWORD lastError = GetLastError();
    return {reinterpret_cast<MutexHandle>(handle), static_cast<uint32_t>(lastError)};
}

void CloseMutex(MutexHandle handle) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}
