// setup.exe's entry point: the arguments are ignored, the run's exit code is the process's.
#include <windows.h>

#include "entry/updater_flow.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return static_cast<int>(RunUpdater(kSystemPlatform));
}
