// RawFile on POSIX: one system call per read, write and seek; the Win32 sharing rules between
// processes come from open file description locks, the read-only mark from the owner's write bit.
#include "platform/raw_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/native_path.h"

namespace {

// A whole-file lock on this open file description. A shared lock stands for "open for reading,
// reading shared", an exclusive one for "open for writing, nothing shared". Locks of other
// descriptions conflict, also within one process, as Win32 share modes do between handles.
bool LockWholeFile(int fd, short type) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Opens and locks, or closes again and gives -1. A directory is not a file here, as on Win32;
// a regular file without its owner's write bit refuses writing, also to root.
int OpenLocked(const char* path, int flags, short lockType, bool forWriting) {
    int fd = open(NativePath(path).c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    struct stat info;
    bool usable = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                  (!forWriting || (info.st_mode & S_IWUSR) != 0) && LockWholeFile(fd, lockType);
    if (!usable) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool RawFile::OpenRead(const char* path) {
    if (IsOpen()) return false;
    handle_ = OpenLocked(path, O_RDONLY, F_RDLCK, false);
    return IsOpen();
}

bool RawFile::OpenWrite(const char* path) {
    if (IsOpen()) return false;
    // Truncate only once the lock is held, so a refused open leaves the file as it was.
    int fd = OpenLocked(path, O_WRONLY | O_CREAT, F_WRLCK, true);
    if (fd >= 0 && ftruncate(fd, 0) != 0) {
        close(fd);
        fd = -1;
    }
    handle_ = fd;
    return IsOpen();
}

bool RawFile::OpenRewrite(const char* path) {
    if (IsOpen()) return false;
    handle_ = OpenLocked(path, O_WRONLY, F_WRLCK, true);
    return IsOpen();
}

void RawFile::Close() {
    if (!IsOpen()) return;
    close(static_cast<int>(handle_));
    handle_ = kClosed;
}

uint32_t RawFile::Read(void* buffer, uint32_t count) {
    ssize_t moved = read(static_cast<int>(handle_), buffer, count);
    return moved < 0 ? 0 : static_cast<uint32_t>(moved);
}

uint32_t RawFile::Write(const void* buffer, uint32_t count) {
    ssize_t moved = write(static_cast<int>(handle_), buffer, count);
    return moved < 0 ? 0 : static_cast<uint32_t>(moved);
}

bool RawFile::Seek(uint32_t position) {
    if (position > 0x7FFFFFFFu) return false;
    return lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) ==
           static_cast<off_t>(position);
}

uint32_t RawFile::Size() {
    struct stat info;
    if (fstat(static_cast<int>(handle_), &info) != 0) return kInvalidSize;
    return static_cast<uint32_t>(static_cast<uint64_t>(info.st_size));
}
