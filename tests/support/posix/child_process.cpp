// Child processes on POSIX: fork and exec, waitpid without blocking, SIGKILL on timeout.
#include "tests/support/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/test_files.h"

namespace test_support {

uint32_t AsExitCode(uint32_t returnValue) { return returnValue & 0xFFu; }

ChildProcess::~ChildProcess() {
    if (process_ > 0 && !exited_) {
        kill(static_cast<pid_t>(process_), SIGKILL);
        waitpid(static_cast<pid_t>(process_), nullptr, 0);
    }
}

bool ChildProcess::Start(const std::vector<std::string>& argv) {
    if (process_ > 0 || argv.empty()) return false;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        execv(args[0], args.data());
        _exit(127);
    }
    process_ = pid;
    return true;
}

bool ChildProcess::Running() {
    if (process_ <= 0 || exited_) return false;
    int status = 0;
    if (waitpid(static_cast<pid_t>(process_), &status, WNOHANG) != static_cast<pid_t>(process_)) return true;
    exited_ = true;
    exitCode_ = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status)) : kNoExitCode;
    return false;
}

uint32_t ChildProcess::Wait(uint32_t timeoutMs) {
    for (uint32_t waited = 0; Running(); waited += 10) {
        if (waited >= timeoutMs) {
            kill(static_cast<pid_t>(process_), SIGKILL);
            waitpid(static_cast<pid_t>(process_), nullptr, 0);
            exited_ = true;
            exitCode_ = kNoExitCode;
            break;
        }
        SleepMilliseconds(10);
    }
    return exitCode_;
}

uint32_t RunProcess(const std::vector<std::string>& argv, uint32_t timeoutMs) {
    ChildProcess child;
    if (!child.Start(argv)) return kNoExitCode;
    return child.Wait(timeoutMs);
}

std::string HelperProgram(const std::string& name) { return std::string(UPDATER_TEST_HELPER_DIR) + "/" + name; }

}  // namespace test_support
