// The updater's one run: guards, install folder, question, update, one message, exit code.
#pragma once

#include <cstdint>

#include "platform/named_mutex.h"

// The operations a run goes through. The program passes kSystemPlatform; tests pass scripted
// stand-ins, so that every outcome can be reached without a registry, a second process or a user.
struct UpdaterPlatform {
    MutexCreation (*createOwnedMutex)(const char* name);
    void (*closeMutex)(MutexHandle handle);
    bool (*getInstalledFolder)(char* buffer, const char* publisher, const char* title);
    int (*showMessageBox)(const char* text, const char* title, uint32_t style);
    uint32_t (*applyUpdatePackage)(const char* installFolder);
};

// The operating system's own operations (entry/system_platform.cpp).
extern const UpdaterPlatform kSystemPlatform;

// Runs the updater once and returns its exit code (entry/exit_code.h).
uint32_t RunUpdater(const UpdaterPlatform& platform);

// Boxes with the updater's title; their answer is not used. The platform comes along so that
// the boxes of a run go where the run's other operations go.
void ShowInformation(const UpdaterPlatform& platform, const char* text);
void ShowWarning(const UpdaterPlatform& platform, const char* text);
