// The updater's one run. Each guard holds its mutex from its creation to the end of everything
// after it; the handles are closed, never released, the game family mutex's first.
#include "entry/updater_flow.h"

#include "entry/exit_code.h"
#include "entry/installed_folder.h"
#include "entry/texts.h"
#include "platform/message_box.h"

namespace {

// Yes only for the Yes button: Enter takes the default button, No, and a box that could not be
// shown answers 0.
bool AskQuestion(const UpdaterPlatform& platform, const char* text) {
    return platform.showMessageBox(text, kBoxTitle, kBoxQuestion) == kAnswerYes;
}

// The outcome of the update in one box; a code without a message of its own shows none.
void ReportResult(const UpdaterPlatform& platform, uint32_t result) {
    switch (result) {
        case UPDATE_OK:
            ShowInformation(platform, kCompletionNotice);
            break;
        case UPDATE_E_PACKAGE_READ:
        case UPDATE_E_TOO_MANY_ENTRIES:
        case UPDATE_E_CHECKSUM:
            ShowWarning(platform, kDamageWarning);
            break;
        case UPDATE_E_CREATE_FILE:
            ShowWarning(platform, kFailureWarning);
            break;
        case UPDATE_E_UNINSTALL_LIST:
            ShowWarning(platform, kListWarning);
            break;
        default:
            break;
    }
}

// With both names held: look up the folder, ask, update, report.
uint32_t UpdateInstalledGame(const UpdaterPlatform& platform) {
    // Filled by the lookup; on success it holds a NUL-terminated folder.
    char installFolder[kInstallFolderSize];
    if (!platform.getInstalledFolder(installFolder, kPublisher, kGameTitle)) {
        ShowWarning(platform, kNotInstalledWarning);
        return EXIT_NOT_INSTALLED;
    }
    if (!AskQuestion(platform, kConfirmationQuestion)) return EXIT_DECLINED;
    uint32_t result = platform.applyUpdatePackage(installFolder);
    ReportResult(platform, result);
    return result;
}

// With the updater's own name held: make sure none of the game's programs runs, and keep them
// from starting until the run ends. Any failure to create the name counts as busy.
uint32_t RunWithoutGame(const UpdaterPlatform& platform) {
    MutexCreation game = platform.createOwnedMutex(kGameMutexName);
    uint32_t exitCode;
    if (game.lastError != 0) {
        ShowWarning(platform, kBusyWarning);
        exitCode = EXIT_BUSY;
    } else {
        exitCode = UpdateInstalledGame(platform);
    }
    if (game.handle != kNoMutex) platform.closeMutex(game.handle);
    return exitCode;
}

}  // namespace

void ShowInformation(const UpdaterPlatform& platform, const char* text) {
    platform.showMessageBox(text, kBoxTitle, kBoxInformation);
}

void ShowWarning(const UpdaterPlatform& platform, const char* text) {
    platform.showMessageBox(text, kBoxTitle, kBoxWarning);
}

uint32_t RunUpdater(const UpdaterPlatform& platform) {
    MutexCreation updater = platform.createOwnedMutex(kUpdaterMutexName);
    // A second updater leaves at once and silently: the first one is talking to the user.
    uint32_t exitCode = updater.lastError != 0 ? EXIT_ALREADY_RUNNING : RunWithoutGame(platform);
    if (updater.handle != kNoMutex) platform.closeMutex(updater.handle);
    return exitCode;
}
