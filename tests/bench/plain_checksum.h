// The checksum one byte at a time, exactly as the hash list defines it: the reference that the
// block step of UpdateChecksum is compared with, for results and for speed.
#pragma once

#include <cstdint>

#include "package/checksum.h"

namespace bench {

// Same contract as UpdateChecksum. noinline keeps the compiler from folding a benchmark's
// fixed input into it.
__attribute__((noinline)) inline void PlainChecksum(FileChecksum* state, const void* data, uint32_t length) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    uint32_t h = state->h;
    uint8_t sumH = state->sumH, xorH = state->xorH, sumBytes = state->sumBytes, xorBytes = state->xorBytes;
    for (uint32_t i = 0; i < length; ++i) {
        uint8_t x = bytes[i];
        h = h * kChecksumMultiplier + x;
        sumH = static_cast<uint8_t>(sumH + (h & 0xFF));
        xorH = static_cast<uint8_t>(xorH ^ (h & 0xFF));
        sumBytes = static_cast<uint8_t>(sumBytes + x);
        xorBytes = static_cast<uint8_t>(xorBytes ^ x);
    }
    state->h = h;
    state->sumH = sumH;
    state->xorH = xorH;
    state->sumBytes = sumBytes;
    state->xorBytes = xorBytes;
}

}  // namespace bench
