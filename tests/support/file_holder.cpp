// file_holder: holds one file open through RawFile in its own process, so tests can meet the
// sharing rules between processes as the updater meets them.
//
//   file_holder read|write|rewrite FILE READY RELEASE [TIMEOUT_MS]
//
// Opens FILE with OpenRead, OpenWrite or OpenRewrite, creates READY, and keeps the file open
// until RELEASE exists or TIMEOUT_MS (default 30000) have passed.
// Exit codes: 0 released, 2 the file could not be opened, 3 timed out, 64 bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/raw_file.h"
#include "tests/support/test_files.h"

int main(int argc, char** argv) {
    if (argc < 5 || argc > 6) {
        std::fprintf(stderr, "usage: file_holder read|write|rewrite FILE READY RELEASE [TIMEOUT_MS]\n");
        return 64;
    }
    const char* mode = argv[1];
    RawFile file;
    bool opened;
    if (std::strcmp(mode, "read") == 0) {
        opened = file.OpenRead(argv[2]);
    } else if (std::strcmp(mode, "write") == 0) {
        opened = file.OpenWrite(argv[2]);
    } else if (std::strcmp(mode, "rewrite") == 0) {
        opened = file.OpenRewrite(argv[2]);
    } else {
        std::fprintf(stderr, "file_holder: unknown mode '%s'\n", mode);
        return 64;
    }
    if (!opened) return 2;
    if (!test_support::WriteFileBytes(argv[3], {})) return 64;

    unsigned long timeoutMs = argc == 6 ? std::strtoul(argv[5], nullptr, 10) : 30000;
    for (unsigned long waited = 0; waited < timeoutMs; waited += 10) {
        if (test_support::FileExists(argv[4])) return 0;
        test_support::SleepMilliseconds(10);
    }
    return 3;
}
