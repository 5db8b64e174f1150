// RawFile on the Win32 file API: one kernel32 call per operation.
#include "platform/raw_file.h"

#include <windows.h>

namespace {

constexpr DWORD kOpenFlags = FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN;

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

intptr_t Open(const char* path, DWORD access, DWORD share, DWORD disposition) {
    return reinterpret_cast<intptr_t>(
        CreateFileA(path, access, share, nullptr, disposition, kOpenFlags, nullptr));
}

}  // namespace

static_assert(sizeof(intptr_t) == sizeof(HANDLE), "a handle fits the stored value");

bool RawFile::OpenRead(const char* path) {
    if (IsOpen()) return false;
    handle_ = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    return IsOpen();
}

bool RawFile::OpenWrite(const char* path) {
    if (IsOpen()) return false;
    handle_ = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    return IsOpen();
}

bool RawFile::OpenRewrite(const char* path) {
    if (IsOpen()) return false;
    // CREATE_ALWAYS refuses an existing hidden or system file; so does a rewrite in place, so
    // that a file so marked is refused by both ways of writing it.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
        return false;
    }
    handle_ = Open(path, GENERIC_WRITE, 0, OPEN_EXISTING);
    return IsOpen();
}

void RawFile::Close() {
    if (!IsOpen()) return;
    CloseHandle(AsHandle(handle_));
    handle_ = kClosed;
}

uint32_t RawFile::Read(void* buffer, uint32_t count) {
    DWORD moved = 0;
    if (!ReadFile(AsHandle(handle_), buffer, count, &moved, nullptr)) return 0;
    return moved;
}

uint32_t RawFile::Write(const void* buffer, uint32_t count) {
    DWORD moved = 0;
    if (!WriteFile(AsHandle(handle_), buffer, count, &moved, nullptr)) return 0;
    return moved;
}

bool RawFile::Seek(uint32_t position) {
    // No high part: the low part is taken as signed, so 2^31 and above come back as failure.
    DWORD reached = SetFilePointer(AsHandle(handle_), static_cast<LONG>(position), nullptr, FILE_BEGIN);
    return reached != INVALID_SET_FILE_POINTER && reached == position;
}

uint32_t RawFile::Size() {
    return GetFileSize(AsHandle(handle_), nullptr);
}
