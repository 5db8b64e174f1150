// The mkupdate command: building, inspecting and checksumming updater files. The program
// file only turns its command line into UTF-8 and prints what this returns.
#pragma once

#include <string>
#include <vector>

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct CommandOutput {
    std::string out;  // standard output, UTF-8
    std::string err;  // standard error, UTF-8: one "mkupdate: FILE: reason" line per problem
};

// Runs mkupdate with the arguments after the program name (UTF-8); returns the exit code.
// Never throws.
int RunMkupdate(const std::vector<std::string>& arguments, CommandOutput* output);
