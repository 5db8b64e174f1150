// What the entry tests set up on the real platform: registry values the lookup reads, and a
// place for the mutexes of one test run.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/test_files.h"

namespace entry_test {

// The machine-wide registry seen by the updater's lookup: on Windows the real one, where the
// owned key is deleted with everything below it before and after the test; on POSIX a fresh
// folder for the stand-in (UPDATER_REGISTRY_DIR) for the object's lifetime.
class TestRegistry {
public:
    // ownedKey: below HKEY_LOCAL_MACHINE, UTF-8, components separated by backslashes.
    explicit TestRegistry(const std::string& ownedKey);
    ~TestRegistry();
    TestRegistry(const TestRegistry&) = delete;
    TestRegistry& operator=(const TestRegistry&) = delete;

    bool CreateKey(const std::string& keyPath);
    // Creates the key as needed and stores data, exactly these bytes, as the value.
    bool SetValue(const std::string& keyPath, const std::string& name, uint32_t type, const std::string& data);

private:
    std::string ownedKey_;
    test_support::TempFolder folder_;
};

// Natively, points the mutex stand-in at a fresh folder (UPDATER_MUTEX_DIR) for the object's
// lifetime, so that tests neither meet nor leave files of a real run. Nothing on Windows.
class TestMutexFolder {
public:
    TestMutexFolder();
    ~TestMutexFolder();
    TestMutexFolder(const TestMutexFolder&) = delete;
    TestMutexFolder& operator=(const TestMutexFolder&) = delete;

private:
    test_support::TempFolder folder_;
};

// A name no other test run uses at the same time.
std::string UniqueName(const std::string& stem);

}  // namespace entry_test
