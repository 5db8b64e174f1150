// Starting a program under a resource limit: a cap on its address space, or on the size any
// file it writes may reach. The real conditions behind failed allocations and short writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace faults {

enum class Limit { kNone, kAddressSpace, kFileSize };

// Whether this platform can start a program under these limits.
bool LimitsAvailable();
// Whether a cap on the address space can make one of the updater's allocations fail. A program
// built with AddressSanitizer reserves its shadow memory at start, far beyond any such cap.
bool AddressSpaceLimitsWork();

// The command line that starts argv with the limit set to bytes (argv itself for kNone). A
// program under kFileSize sees a short write where it would grow a file past the cap.
// quiet sends the program's error output away.
std::vector<std::string> UnderLimit(Limit limit, uint64_t bytes, const std::vector<std::string>& argv,
                                    bool quiet = false);

}  // namespace faults
