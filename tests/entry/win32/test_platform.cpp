// The entry tests' platform set-up on Windows: keys in the real registry. Keys are made with the
// wide functions from UTF-8, so the updater's code page 932 spelling is checked against an
// independent one; values are stored with RegSetValueExA, byte for byte as given.
#include "tests/entry/test_platform.h"

#include <windows.h>

#include <vector>

namespace entry_test {

namespace {

std::wstring Wide(const std::string& utf8) {
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(length) + 1);
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return std::wstring(wide.data(), static_cast<size_t>(length));
}

HKEY Create(const std::string& keyPath) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(keyPath).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

}  // namespace

TestRegistry::TestRegistry(const std::string& ownedKey) : ownedKey_(ownedKey) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Wide(ownedKey_).c_str());
}

TestRegistry::~TestRegistry() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, Wide(ownedKey_).c_str()); }

bool TestRegistry::CreateKey(const std::string& keyPath) {
    HKEY key = Create(keyPath);
    if (key == nullptr) return false;
    RegCloseKey(key);
    return true;
}

bool TestRegistry::SetValue(const std::string& keyPath, const std::string& name, uint32_t type,
                            const std::string& data) {
    HKEY key = Create(keyPath);
    if (key == nullptr) return false;
    LONG status = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

TestMutexFolder::TestMutexFolder() = default;

TestMutexFolder::~TestMutexFolder() = default;

std::string UniqueName(const std::string& stem) { return stem + " " + std::to_string(GetCurrentProcessId()); }

}  // namespace entry_test
