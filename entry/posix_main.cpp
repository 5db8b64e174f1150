// The native Linux build of the updater: the same run over the platform/posix stand-ins.
// Arguments are ignored; the exit status is the low byte of the exit code.
#include "entry/updater_flow.h"

int main() {
    return static_cast<int>(RunUpdater(kSystemPlatform));
}
