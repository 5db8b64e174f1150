// The updater's process exit codes: the UPDATE_ codes of applying the package, and the outcomes
// that come before it. The numbers are frozen; WinMain returns them as they are, so the negative
// ones show as 0xFFFFFFFx on Windows (and, as 8-bit statuses, 25x on Linux).
#pragma once

#include <cstdint>

#include "package/update_result.h"

constexpr uint32_t EXIT_NOT_INSTALLED = 0xFFFFFFFFu;  // -1: no install folder found
constexpr uint32_t EXIT_BUSY = 0xFFFFFFFEu;           // -2: the game family mutex exists
constexpr uint32_t EXIT_DECLINED = 0xFFFFFFFDu;       // -3: the user did not answer Yes
// -4: another updater is running; this one leaves without a message and changes nothing.
constexpr uint32_t EXIT_ALREADY_RUNNING = 0xFFFFFFFCu;
