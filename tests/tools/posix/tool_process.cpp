// Running a tool on POSIX systems: fork, output redirected into files, exec, wait.
#include "tests/tools/tool_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace tools_test {

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments, const std::string& scratchFolder) {
    ToolRun run;
    std::string outPath = scratchFolder + "/tool.out", errPath = scratchFolder + "/tool.err";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t child = fork();
    if (child < 0) return run;
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return run;
}

std::string MkupdatePath() { return MKUPDATE_PATH; }

}  // namespace tools_test
