// Fuzz target helpers on POSIX: directory walks with opendir, whole-file reads and writes.
#include "tests/fuzz/fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fuzz_support {

namespace {

std::vector<std::string> NamesIn(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) Fail("cannot list " + folder);
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

void ReadTreeInto(const std::string& root, const std::string& relative, const std::string& skip,
                  TreeState* state) {
    std::string folder = relative.empty() ? root : root + "/" + relative;
    for (const std::string& name : NamesIn(folder)) {
        std::string path = folder + "/" + name;
        std::string key = relative.empty() ? name : relative + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0) Fail("cannot stat " + path);
        std::string description = std::to_string(info.st_mode) + ":";
        if (S_ISREG(info.st_mode)) {
            std::string content;
            if (!GetFile(path, &content)) Fail("cannot read " + path);
            description += content;
        }
        (*state)[key] = description;
        if (S_ISDIR(info.st_mode) && path != skip) ReadTreeInto(root, key, skip, state);
    }
}

void RemoveTree(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return;
    if (S_ISDIR(info.st_mode)) {
        chmod(path.c_str(), (info.st_mode & 07777) | S_IRWXU);
        EmptyFolder(path);
        if (rmdir(path.c_str()) != 0) Fail("cannot remove folder " + path);
    } else if (unlink(path.c_str()) != 0) {
        Fail("cannot remove " + path);
    }
}

}  // namespace

TreeState ReadTree(const std::string& root, const std::string& skip) {
    TreeState state;
    ReadTreeInto(root, "", skip, &state);
    return state;
}

std::string FirstDifference(const TreeState& before, const TreeState& after) {
    for (const auto& [path, description] : before) {
        auto found = after.find(path);
        if (found == after.end()) return path + " disappeared";
        if (found->second != description) return path + " changed";
    }
    for (const auto& entry : after) {
        if (before.count(entry.first) == 0) return entry.first + " appeared";
    }
    return "";
}

size_t CountEntries(const std::string& path) { return NamesIn(path).size(); }

void EmptyFolder(const std::string& path) {
    for (const std::string& name : NamesIn(path)) RemoveTree(path + "/" + name);
}

void PutFile(const std::string& path, const void* data, size_t size, unsigned mode) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Fail("cannot create " + path);
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written <= 0) Fail("cannot write " + path);
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    if (fchmod(fd, mode) != 0 || close(fd) != 0) Fail("cannot finish " + path);
}

bool GetFile(const std::string& path, std::string* content) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    content->clear();
    struct stat info;
    if (fstat(fd, &info) == 0) content->reserve(static_cast<size_t>(info.st_size));
    char chunk[65536];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof(chunk))) > 0) content->append(chunk, static_cast<size_t>(got));
    close(fd);
    return got == 0;
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

}  // namespace fuzz_support
