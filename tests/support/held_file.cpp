// HeldFile: driving file_holder through its ready and release markers.
#include "tests/support/child_process.h"

namespace test_support {

bool HeldFile::Hold(const std::string& mode, const std::string& path) {
    if (holding_ || markers_.Path().empty()) return false;
    std::string ready = markers_.Join("ready");
    if (!holder_.Start({HelperProgram("file_holder"), mode, path, ready, markers_.Join("release")})) return false;
    // A Windows program under Wine can take some seconds to come up.
    for (uint32_t waited = 0; waited < 30000; waited += 10) {
        if (FileExists(ready)) return holding_ = true;
        if (!holder_.Running()) return false;
        SleepMilliseconds(10);
    }
    return false;
}

bool HeldFile::Release() {
    if (!holding_) return false;
    holding_ = false;
    return WriteFileBytes(markers_.Join("release"), {}) && holder_.Wait(30000) == 0;
}

}  // namespace test_support
