// The file checksum.
#include "package/checksum.h"

#include <cstring>

void UpdateChecksum(FileChecksum* state, const void* data, uint32_t length) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
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

bool ChecksumsEqual(const FileChecksum& a, const FileChecksum& b) {
    return std::memcmp(&a, &b, sizeof(FileChecksum)) == 0;
}
