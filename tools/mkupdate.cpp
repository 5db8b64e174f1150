// mkupdate: the release engineer's command for updater files (see mkupdate --help).
#include <vector>
#include <string>

#include "tools/command_line.h"
#include "tools/mkupdate_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    if (!GetUtf8Arguments(argc, argv, &arguments)) {
        WriteStandardError("mkupdate: the command line holds text that is not valid Unicode\n");
        return kExitUsage;
    }
    CommandOutput output;
    int code = RunMkupdate(arguments, &output);
    WriteStandardOutput(output.out);
    WriteStandardError(output.err);
    return code;
}
