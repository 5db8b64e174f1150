// limit_run: starts a program under one resource limit.
//
//   limit_run [--quiet] as|fsize BYTES PROGRAM [ARGS...]
//
// "as" caps the address space (RLIMIT_AS), so allocations beyond it fail; "fsize" caps the
// size a file may grow to (RLIMIT_FSIZE) and ignores SIGXFSZ, so a write past the cap comes
// back short instead of ending the program. Both survive the exec. --quiet sends the program's
// error output away: under a tight address space the loader itself may complain.
// Exit codes: 125 bad arguments, 126 the limit could not be set, 127 the program did not start
// (kept away from the updater's result codes, whose low bytes are 0 to 5).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    bool quiet = argc > 1 && std::strcmp(argv[1], "--quiet") == 0;
    if (quiet) {
        --argc;
        ++argv;
    }
    if (argc < 4 || (std::strcmp(argv[1], "as") != 0 && std::strcmp(argv[1], "fsize") != 0)) {
        std::fprintf(stderr, "usage: limit_run [--quiet] as|fsize BYTES PROGRAM [ARGS...]\n");
        return 125;
    }
    char* end = nullptr;
    unsigned long long bytes = std::strtoull(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0') {
        std::fprintf(stderr, "limit_run: '%s' is not a byte count\n", argv[2]);
        return 125;
    }
    bool fileSize = std::strcmp(argv[1], "fsize") == 0;
    if (fileSize) signal(SIGXFSZ, SIG_IGN);
    struct rlimit cap = {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    if (setrlimit(fileSize ? RLIMIT_FSIZE : RLIMIT_AS, &cap) != 0) {
        std::perror("limit_run: setrlimit");
        return 126;
    }
    if (quiet) {
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 2);
    }
    execv(argv[3], argv + 3);
    return 127;
}
