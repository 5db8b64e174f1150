// Test files on POSIX: mkdtemp folders, stdio file access, the owner write bit as read-only mark.
#include "tests/support/test_files.h"

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <ctime>

namespace test_support {

const char kSeparator = '/';

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

TempFolder::TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/updater-test-XXXXXX";
    if (mkdtemp(&pattern[0]) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
    if (path_.empty()) return;
    // Folders a test made unwritable would keep their files: give them their bits back first.
    nftw(path_.c_str(), [](const char* p, const struct stat* info, int type, struct FTW*) {
        if (type == FTW_D) chmod(p, (info->st_mode & 07777) | S_IRWXU);
        return 0;
    }, 16, FTW_PHYS);
    nftw(path_.c_str(), [](const char* p, const struct stat*, int, struct FTW*) {
        return remove(p);
    }, 16, FTW_DEPTH | FTW_PHYS);
}

std::string TempFolder::Join(const std::string& name) const { return path_ + kSeparator + name; }

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

bool ReadFileBytes(const std::string& path, Bytes* bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    bytes->clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool FileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return names;
    while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<unsigned> SupportedMarkSets() { return {kMarkReadOnly}; }

bool SetFileMarks(const std::string& path, unsigned marks) {
    if ((marks & ~kMarkReadOnly) != 0) return false;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
    mode_t mode = info.st_mode & 07777;
    mode = (marks & kMarkReadOnly) != 0 ? (mode & ~mode_t{S_IWUSR | S_IWGRP | S_IWOTH}) : (mode | S_IWUSR);
    return chmod(path.c_str(), mode) == 0;
}

unsigned GetFileMarks(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return 0;
    return (info.st_mode & S_IWUSR) == 0 ? unsigned{kMarkReadOnly} : 0u;
}

bool MarksRefuseReplacing(unsigned marks) { return (marks & kMarkReadOnly) != 0; }

bool MakeExecutable(const std::string& path) { return chmod(path.c_str(), 0755) == 0; }

void SleepMilliseconds(uint32_t milliseconds) {
    struct timespec pause = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

}  // namespace test_support
