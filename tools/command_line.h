// The command line and the standard streams of a tool, as UTF-8 whatever the system uses.
#pragma once

#include <string>
#include <vector>

// The arguments after the program name, as UTF-8. False when one of them cannot be turned
// into UTF-8 (on Windows, a name holding a lone UTF-16 surrogate).
bool GetUtf8Arguments(int argc, char** argv, std::vector<std::string>* arguments);

// Writes UTF-8 text to standard output or standard error. A Windows console is given the
// characters themselves; files and pipes get the UTF-8 bytes.
void WriteStandardOutput(const std::string& utf8);
void WriteStandardError(const std::string& utf8);
