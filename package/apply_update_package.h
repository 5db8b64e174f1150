// Applying the package appended to the running program's own file to an install folder.
#pragma once

#include <cstdint>

#include "package/update_result.h"

// Writes every package member into installFolder, verified against the package's hash list
// where the list names it, then extends the folder's uninstall list. Returns an UPDATE_ code.
uint32_t ApplyUpdatePackage(const char* installFolder);

// The same, reading the package from the updater file at ownPath. ApplyUpdatePackage is this
// with the running program's own file.
uint32_t ApplyUpdatePackageFrom(const char* ownPath, const char* installFolder);
