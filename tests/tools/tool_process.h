// Runs a tool as a real process and takes what it printed: the way a release engineer meets it.
#pragma once

#include <string>
#include <vector>

namespace tools_test {

struct ToolRun {
    int exitCode = -1;  // -1 when the program could not be started or did not end normally
    std::string out;
    std::string err;
};

// arguments are UTF-8 and reach the program as the platform passes them (UTF-16 on Windows).
// Output goes through files in scratchFolder, so no pipe can be held open by others.
ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments, const std::string& scratchFolder);

// The path of mkupdate as built beside the tests, in the form this platform opens.
std::string MkupdatePath();

}  // namespace tools_test
