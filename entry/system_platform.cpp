// The operating system's operations for a run, chosen at link time from platform/.
#include "entry/installed_folder.h"
#include "entry/updater_flow.h"
#include "package/apply_update_package.h"
#include "platform/message_box.h"
#include "platform/named_mutex.h"

// Constant-initialised: nothing of the program runs before WinMain.
constexpr UpdaterPlatform kSystemPlatform = {
    CreateOwnedMutex, CloseMutex, GetInstalledFolder, ShowMessageBox, ApplyUpdatePackage,
};
