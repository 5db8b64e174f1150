// Test files on Win32: ANSI file calls (code page 932 names), file attributes as marks.
#include "tests/support/test_files.h"

#include <windows.h>

#include <algorithm>

namespace test_support {

const char kSeparator = '\\';

namespace {

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTree(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

TempFolder::TempFolder() {
    char base[MAX_PATH];
    DWORD length = GetTempPathA(sizeof(base), base);
    if (length == 0 || length >= sizeof(base)) return;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = std::string(base) + "updater-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(++counter);
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
}

TempFolder::~TempFolder() {
    if (!path_.empty()) RemoveTree(path_);
}

std::string TempFolder::Join(const std::string& name) const { return path_ + kSeparator + name; }

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
    return CloseHandle(file) && ok;
}

bool ReadFileBytes(const std::string& path, Bytes* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    uint8_t chunk[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof(chunk), &got, nullptr) != 0) && got > 0) {
        bytes->insert(bytes->end(), chunk, chunk + got);
    }
    CloseHandle(file);
    return ok;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool MakeFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<unsigned> SupportedMarkSets() {
    return {kMarkReadOnly, kMarkHidden, kMarkSystem, kMarkReadOnly | kMarkHidden | kMarkSystem};
}

bool SetFileMarks(const std::string& path, unsigned marks) {
    DWORD attributes = 0;
    if ((marks & kMarkReadOnly) != 0) attributes |= FILE_ATTRIBUTE_READONLY;
    if ((marks & kMarkHidden) != 0) attributes |= FILE_ATTRIBUTE_HIDDEN;
    if ((marks & kMarkSystem) != 0) attributes |= FILE_ATTRIBUTE_SYSTEM;
    return SetFileAttributesA(path.c_str(), attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes) != 0;
}

unsigned GetFileMarks(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    unsigned marks = 0;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) marks |= kMarkReadOnly;
    if ((attributes & FILE_ATTRIBUTE_HIDDEN) != 0) marks |= kMarkHidden;
    if ((attributes & FILE_ATTRIBUTE_SYSTEM) != 0) marks |= kMarkSystem;
    return marks;
}

bool MarksRefuseReplacing(unsigned marks) {
    TempFolder folder;
    std::string probe = folder.Join("probe");
    if (!WriteFileBytes(probe, {}) || !SetFileMarks(probe, marks)) return false;
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    CloseHandle(file);
    return false;
}

bool MakeExecutable(const std::string&) { return true; }

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace test_support
