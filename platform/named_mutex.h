// Named mutexes that tell running programs of the game family apart.
#pragma once

#include <cstdint>

// An open mutex handle; kNoMutex when the system gave none.
using MutexHandle = uintptr_t;
constexpr MutexHandle kNoMutex = 0;

struct MutexCreation {
    MutexHandle handle;
    // The system's last error right after the creation: 0 exactly when the name was new and this
    // process now owns it. Any other value means the name was taken or the call failed; the
    // handle may still be valid then and is closed all the same.
    uint32_t lastError;
};

// Creates the named mutex, initially owned by the calling process, which holds it until the
// handle is closed or the process ends.
MutexCreation CreateOwnedMutex(const char* name);
// Closes the handle without releasing the mutex first; the name goes when its last handle goes.
void CloseMutex(MutexHandle handle);
