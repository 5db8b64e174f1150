// Extending the install folder's uninstall list with the names an update wrote.
#pragma once

#include <cstdint>

// The list is read whole into one buffer of this size, together with the lines appended to it.
constexpr uint32_t kUninstallBufferSize = 0x100000;
constexpr char kUninstallListName[] = "uninst.lst";

// Appends to installFolder's "uninst.lst" one line (name, line feed) for every name of the
// null-terminated names list that its text does not already contain, and writes it back.
// True when the list was rewritten in full. The list is never created.
bool AddToUninstallList(const char* installFolder, const char* const* names);
