// Named mutexes on POSIX: an exclusive flock on a file named after the mutex, held through an
// open descriptor, so the name is free again once its holder closes it or ends in any way.
// The files live in UPDATER_MUTEX_DIR, else $XDG_RUNTIME_DIR/valnea-updater, else
// /tmp/valnea-updater-<uid>.
#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/cp932_to_utf8.h"

namespace {

constexpr size_t kPathSize = 4096;

bool MutexFolder(char* folder) {
    const char* chosen = std::getenv("UPDATER_MUTEX_DIR");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    int length;
    if (chosen != nullptr && chosen[0] != '\0') {
        length = std::snprintf(folder, kPathSize, "%s", chosen);
    } else if (runtime != nullptr && runtime[0] != '\0') {
        length = std::snprintf(folder, kPathSize, "%s/valnea-updater", runtime);
    } else {
        length = std::snprintf(folder, kPathSize, "/tmp/valnea-updater-%u",
                               static_cast<unsigned>(getuid()));
    }
    return length > 0 && static_cast<size_t>(length) < kPathSize;
}

// A folder that another user made, or a link planted in its place, would let that user hold
// or take away the name: only a directory of our own is used.
int PrepareFolder(const char* folder) {
    if (mkdir(folder, 0700) != 0 && errno != EEXIST) return errno;
    struct stat info;
    if (lstat(folder, &info) != 0) return errno;
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid()) return EACCES;
    return 0;
}

// The lock file's path: the name in UTF-8 with '/' and '%' written as %2F and %25, so that any
// name is one file name and different names stay different files.
bool LockPath(const char* name, const char* folder, char* path) {
    char utf8[kPathSize];
    if (!Cp932ToUtf8Into(name, utf8, sizeof(utf8))) return false;
    size_t length = static_cast<size_t>(std::snprintf(path, kPathSize, "%s/", folder));
    for (const char* p = utf8; *p != '\0'; ++p) {
        if (length + 4 >= kPathSize) return false;
        if (*p == '/' || *p == '%') {
            length += static_cast<size_t>(std::snprintf(path + length, 4, "%%%02X", *p));
        } else {
            path[length++] = *p;
        }
    }
    if (length + sizeof(".lock") > kPathSize) return false;
    std::memcpy(path + length, ".lock", sizeof(".lock"));
    return true;
}

}  // namespace

MutexCreation CreateOwnedMutex(const char* name) {
    char folder[kPathSize];
    char path[kPathSize];
    if (!MutexFolder(folder) || !LockPath(name, folder, path)) return {kNoMutex, ENAMETOOLONG};
    int error = PrepareFolder(folder);
    if (error != 0) return {kNoMutex, static_cast<uint32_t>(error)};
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return {kNoMutex, static_cast<uint32_t>(errno)};
    // The descriptor is kept also when another process holds the lock, as Win32 gives a handle
    // to the existing mutex; descriptor 0 is possible, so the handle is the descriptor plus 1.
    MutexHandle handle = static_cast<MutexHandle>(fd) + 1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return {handle, static_cast<uint32_t>(errno)};
    return {handle, 0};
}

void CloseMutex(MutexHandle handle) {
    if (handle == kNoMutex) return;
    close(static_cast<int>(handle - 1));
}
