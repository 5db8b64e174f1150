// The tool command line on POSIX systems: arguments and file names are UTF-8 bytes already.
#include "tools/command_line.h"

#include <cstdio>

bool GetUtf8Arguments(int argc, char** argv, std::vector<std::string>* arguments) {
    arguments->assign(argv + (argc > 0 ? 1 : 0), argv + argc);
    return true;
}

void WriteStandardOutput(const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

void WriteStandardError(const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
}
