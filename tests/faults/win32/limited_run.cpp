// Resource limits on Win32: none that a test could put on one process the way POSIX does, so
// the rows that need them are left out of the Windows run.
#include "tests/faults/limited_run.h"

namespace faults {

bool LimitsAvailable() { return false; }

bool AddressSpaceLimitsWork() { return false; }

std::vector<std::string> UnderLimit(Limit limit, uint64_t, const std::vector<std::string>& argv, bool) {
    if (limit == Limit::kNone) return argv;
    return {};
}

}  // namespace faults
