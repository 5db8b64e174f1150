// RawFile: the owner of one operating-system file handle; every file the updater reads or writes goes through it.
#pragma once

#include <cstdint>

class RawFile {
public:
    RawFile() = default;
    ~RawFile() { Close(); }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    // Opens an existing file for reading; other processes may read it too, nobody may write it.
    bool OpenRead(const char* path);
    // Creates the file or truncates an existing one; nobody else may open it meanwhile.
    bool OpenWrite(const char* path);
    // Opens an existing file for writing without truncating it; nobody else may open it meanwhile.
    // Used where a rewrite that stops part way must not lose the bytes the file held before.
    // Refuses what OpenWrite refuses of an existing file: one marked read-only, hidden or system.
    bool OpenRewrite(const char* path);
    void Close();

    // One system call each; the byte count moved, 0 when the call fails.
    uint32_t Read(void* buffer, uint32_t count);
    uint32_t Write(const void* buffer, uint32_t count);
    // Absolute position from the start of the file. The position travels as a signed 32-bit
    // value with no high part, so positions of 2^31 and above fail.
    bool Seek(uint32_t position);
    // Low 32 bits of the size; kInvalidSize on failure.
    uint32_t Size();

    bool IsOpen() const { return handle_ != kClosed; }

    static constexpr uint32_t kInvalidSize = 0xFFFFFFFFu;

private:
    // The closed state: INVALID_HANDLE_VALUE on Windows, -1 as a descriptor elsewhere.
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;
};
