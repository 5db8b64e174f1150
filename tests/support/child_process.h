// Child processes for tests: start a program, see whether it still runs, take its exit code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace test_support {

// The exit code a process reports for a program's return value: all 32 bits on Windows, the
// low 8 bits on POSIX.
uint32_t AsExitCode(uint32_t returnValue);

// What Wait gives when the process did not end in time (it is then ended) or did not start.
constexpr uint32_t kNoExitCode = 0xDEADBEEFu;

class ChildProcess {
public:
    ChildProcess() = default;
    // Ends the process if it still runs, so a failing test leaves nothing behind.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program's path.
    bool Start(const std::vector<std::string>& argv);
    bool Running();
    // The exit code, or kNoExitCode after timeoutMs (the process is then ended).
    uint32_t Wait(uint32_t timeoutMs);

private:
    intptr_t process_ = -1;
    bool exited_ = false;
    uint32_t exitCode_ = kNoExitCode;
};

// Starts the program and waits for it.
uint32_t RunProcess(const std::vector<std::string>& argv, uint32_t timeoutMs = 30000);

// The path of a helper program built from tests/support ("file_holder", "apply_self").
std::string HelperProgram(const std::string& name);

}  // namespace test_support

namespace test_support {

// A file held open by another process: file_holder, started on the file with one of its modes
// ("read", "write", "rewrite"). Let go when the object goes.
class HeldFile {
public:
    HeldFile() = default;
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // True once the other process holds the file; false when its open failed.
    bool Hold(const std::string& mode, const std::string& path);
    // Lets go; true when the other process held the file until now and ended normally.
    bool Release();

private:
    TempFolder markers_;
    ChildProcess holder_;
    bool holding_ = false;
};

}  // namespace test_support
