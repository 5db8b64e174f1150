// Result codes of applying an update package. The numbers are frozen: they are also the
// updater's process exit codes.
#pragma once

#include <cstdint>

constexpr uint32_t UPDATE_OK = 0;
constexpr uint32_t UPDATE_E_PACKAGE_READ = 0x80000001u;
constexpr uint32_t UPDATE_E_TOO_MANY_ENTRIES = 0x80000002u;
constexpr uint32_t UPDATE_E_CHECKSUM = 0x80000003u;
constexpr uint32_t UPDATE_E_CREATE_FILE = 0x80000004u;
constexpr uint32_t UPDATE_E_UNINSTALL_LIST = 0x80000005u;
