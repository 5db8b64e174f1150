// Child processes on Win32: CreateProcessA, a wait with timeout, TerminateProcess on timeout.
#include "tests/support/child_process.h"

#include <windows.h>

namespace test_support {

namespace {

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// Arguments in double quotes: enough for paths with spaces; no argument holds a quote.
std::string CommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& arg : argv) {
        if (!line.empty()) line += ' ';
        line += '"' + arg + '"';
    }
    return line;
}

}  // namespace

uint32_t AsExitCode(uint32_t returnValue) { return returnValue; }

ChildProcess::~ChildProcess() {
    if (process_ == -1) return;
    if (!exited_) {
        TerminateProcess(AsHandle(process_), kNoExitCode);
        WaitForSingleObject(AsHandle(process_), INFINITE);
    }
    CloseHandle(AsHandle(process_));
}

bool ChildProcess::Start(const std::vector<std::string>& argv) {
    if (process_ != -1 || argv.empty()) return false;
    std::string line = CommandLine(argv);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(argv[0].c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    process_ = reinterpret_cast<intptr_t>(info.hProcess);
    return true;
}

bool ChildProcess::Running() {
    if (process_ == -1 || exited_) return false;
    if (WaitForSingleObject(AsHandle(process_), 0) != WAIT_OBJECT_0) return true;
    DWORD code = kNoExitCode;
    GetExitCodeProcess(AsHandle(process_), &code);
    exited_ = true;
    exitCode_ = code;
    return false;
}

uint32_t ChildProcess::Wait(uint32_t timeoutMs) {
    if (process_ == -1) return kNoExitCode;
    if (!exited_ && WaitForSingleObject(AsHandle(process_), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(AsHandle(process_), kNoExitCode);
        WaitForSingleObject(AsHandle(process_), INFINITE);
        exited_ = true;
        exitCode_ = kNoExitCode;
    }
    Running();
    return exitCode_;
}

uint32_t RunProcess(const std::vector<std::string>& argv, uint32_t timeoutMs) {
    ChildProcess child;
    if (!child.Start(argv)) return kNoExitCode;
    return child.Wait(timeoutMs);
}

std::string HelperProgram(const std::string& name) {
    // The build directory is a host path; under Wine the host's root is drive Z:.
    std::string path = UPDATER_TEST_HELPER_DIR;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path + "\\" + name + ".exe";
}

}  // namespace test_support
