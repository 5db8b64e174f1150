// Resource limits on POSIX: the limit_run helper sets RLIMIT_AS or RLIMIT_FSIZE and execs.
#include "tests/faults/limited_run.h"

namespace faults {

bool LimitsAvailable() { return true; }

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

bool AddressSpaceLimitsWork() { return !kAddressSanitizer; }

std::vector<std::string> UnderLimit(Limit limit, uint64_t bytes, const std::vector<std::string>& argv,
                                    bool quiet) {
    if (limit == Limit::kNone) return argv;
    std::vector<std::string> command = {UPDATER_LIMIT_RUN};
    if (quiet) command.push_back("--quiet");
    command.push_back(limit == Limit::kAddressSpace ? "as" : "fsize");
    command.push_back(std::to_string(bytes));
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

}  // namespace faults
