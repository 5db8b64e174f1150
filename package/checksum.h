// The file checksum that the hash list stores for each file, and its accumulation.
#pragma once

#include <cstdint>

// Stored form and in-memory form are the same 8 bytes.
struct FileChecksum {
    uint32_t h;        // running hash: h = h * 233 + byte
    uint8_t sumH;      // sum of the low byte of h after each step
    uint8_t xorH;      // XOR of the low byte of h after each step
    uint8_t sumBytes;  // sum of the data bytes
    uint8_t xorBytes;  // XOR of the data bytes
};
static_assert(sizeof(FileChecksum) == 8, "checksum is 8 bytes");

constexpr uint32_t kChecksumMultiplier = 233;

// Folds length bytes into state; start from all eight bytes zero.
void UpdateChecksum(FileChecksum* state, const void* data, uint32_t length);

bool ChecksumsEqual(const FileChecksum& a, const FileChecksum& b);
