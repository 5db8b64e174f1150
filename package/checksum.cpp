// The file checksum: a 16-byte block step that folds whole blocks several times faster than the
// byte loop, and the byte loop for what is left.
#include "package/checksum.h"

#include <cstring>

// The block step reads bytes as 16-bit and 64-bit words and expects the first byte in the low bits.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the block step assumes a little-endian machine");

namespace {

// GCC and Clang vector extensions: SSE2 code on x86-64; plain integer code where the target has
// no vector unit (the 32-bit build for older processors), with the same results.
typedef uint8_t ByteLanes __attribute__((vector_size(16)));
typedef uint16_t WordLanes __attribute__((vector_size(16)));
typedef uint32_t DwordLanes __attribute__((vector_size(16)));

constexpr uint32_t kBlockSize = 16;

// m^exponent modulo 2^32.
constexpr uint32_t Power(uint32_t m, uint32_t exponent) {
    uint32_t result = 1;
    for (uint32_t i = 0; i < exponent; ++i) result *= m;
    return result;
}

// The multiplier is odd, so it has an inverse modulo 2^32 (and so modulo 256). Each Newton step
// doubles the number of correct low bits; an odd m is its own inverse modulo 8.
constexpr uint32_t Inverse(uint32_t m) {
    uint32_t x = m;
    for (int i = 0; i < 4; ++i) x *= 2 - m * x;
    return x;
}
constexpr uint32_t kInverseMultiplier = Inverse(kChecksumMultiplier);
static_assert(kInverseMultiplier * kChecksumMultiplier == 1, "233 is invertible modulo 2^32");

// Per-byte factors of the low-byte step for byte j (0 to 15) of a block: the multiplier to the
// powers -(j + 1) and j + 1 modulo 256, split into the even and the odd bytes of the block
// because 16-bit lanes multiply the two halves of each word separately.
struct BlockFactors {
    uint16_t inverseEven[8], inverseOdd[8];
    uint16_t powerEven[8], powerOdd[8];
};

constexpr BlockFactors MakeBlockFactors() {
    BlockFactors f = {};
    for (uint32_t j = 0; j < kBlockSize; ++j) {
        uint16_t inverse = Power(kInverseMultiplier, j + 1) & 0xFF;
        uint16_t power = Power(kChecksumMultiplier, j + 1) & 0xFF;
        (j % 2 == 0 ? f.inverseEven : f.inverseOdd)[j / 2] = inverse;
        (j % 2 == 0 ? f.powerEven : f.powerOdd)[j / 2] = power;
    }
    return f;
}
constexpr BlockFactors kBlockFactors = MakeBlockFactors();

// Multiplies every byte lane by its factor modulo 256. A 16-bit product keeps the even byte's
// product in its low byte; the odd byte, with the even one masked off, lands in the high byte.
void MultiplyBytes(ByteLanes& lanes, const WordLanes& even, const WordLanes& odd) {
    WordLanes words = (WordLanes)lanes;
    lanes = (ByteLanes)(((words * even) & 0x00FF) | ((words & 0xFF00) * odd));
}

// Running sum over the byte lanes modulo 256: lane j becomes lanes 0 to j added up.
void PrefixSum(ByteLanes& lanes) {
    const ByteLanes zero = {};
    lanes += __builtin_shufflevector(zero, lanes, 0, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30);
    lanes += __builtin_shufflevector(zero, lanes, 0, 0, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29);
    lanes += __builtin_shufflevector(zero, lanes, 0, 0, 0, 0, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27);
    lanes += __builtin_shufflevector(zero, lanes, 0, 0, 0, 0, 0, 0, 0, 0, 16, 17, 18, 19, 20, 21, 22, 23);
}

// The sum of m^(7 - t) * x_t modulo 2^32 over the eight bytes x_0 .. x_7 of word (x_0 in the
// low byte). The pairs m * x_0 + x_1 stay below 2^16 and the quads m^2 * y_0 + y_1 of two
// pairs below 2^32, so one multiplication forms four pairs and one forms two quads, with no
// carry crossing into the next field.
uint32_t FoldEightBytes(uint64_t word) {
    constexpr uint64_t kByteFields = 0x00FF00FF00FF00FFull, kPairFields = 0x0000FFFF0000FFFFull;
    uint64_t pairs = (word & kByteFields) * Power(kChecksumMultiplier, 1) + ((word >> 8) & kByteFields);
    uint64_t quads = (pairs & kPairFields) * Power(kChecksumMultiplier, 2) + ((pairs >> 16) & kPairFields);
    return static_cast<uint32_t>(quads) * Power(kChecksumMultiplier, 4) + static_cast<uint32_t>(quads >> 32);
}

// Folds blocks × 16 bytes. Two observations make a block cheap:
// - h across a block is h * m^16 + sum of m^(15 - j) * x_j: the sum does not depend on h.
// - The low byte l of h after each step depends only on the low byte before and the byte:
//   l_j = m * l_(j-1) + x_j modulo 256. With m invertible this is l_j = m^j * (l_0 + P_j),
//   P_j the running sum of m^-i * x_i over i = 1 .. j: a prefix sum instead of a chain of
//   multiplications, and the block start l_0 comes from h, which is exact at every block end.
void FoldBlocks(FileChecksum* state, const unsigned char* bytes, uint32_t blocks) {
    WordLanes inverseEven, inverseOdd, powerEven, powerOdd;
    std::memcpy(&inverseEven, kBlockFactors.inverseEven, sizeof(inverseEven));
    std::memcpy(&inverseOdd, kBlockFactors.inverseOdd, sizeof(inverseOdd));
    std::memcpy(&powerEven, kBlockFactors.powerEven, sizeof(powerEven));
    std::memcpy(&powerOdd, kBlockFactors.powerOdd, sizeof(powerOdd));

    // Sums and XORs of the lanes, each lane on its own; they are combined once at the end.
    ByteLanes sumH = {}, xorH = {}, sumBytes = {}, xorBytes = {};
    uint32_t h = state->h;
    for (uint32_t block = 0; block < blocks; ++block, bytes += kBlockSize) {
        ByteLanes x;
        std::memcpy(&x, bytes, sizeof(x));
        sumBytes += x;
        xorBytes ^= x;

        ByteLanes low = x;
        MultiplyBytes(low, inverseEven, inverseOdd);
        PrefixSum(low);
        low += (ByteLanes)((DwordLanes){} + (h & 0xFF) * 0x01010101u);
        MultiplyBytes(low, powerEven, powerOdd);
        sumH += low;
        xorH ^= low;

        uint64_t first, second;
        std::memcpy(&first, bytes, sizeof(first));
        std::memcpy(&second, bytes + sizeof(first), sizeof(second));
        h = h * Power(kChecksumMultiplier, 16) +
            (FoldEightBytes(first) * Power(kChecksumMultiplier, 8) + FoldEightBytes(second));
    }

    state->h = h;
    for (uint32_t lane = 0; lane < kBlockSize; ++lane) {
        state->sumH = static_cast<uint8_t>(state->sumH + sumH[lane]);
        state->xorH = static_cast<uint8_t>(state->xorH ^ xorH[lane]);
        state->sumBytes = static_cast<uint8_t>(state->sumBytes + sumBytes[lane]);
        state->xorBytes = static_cast<uint8_t>(state->xorBytes ^ xorBytes[lane]);
    }
}

void FoldBytes(FileChecksum* state, const unsigned char* bytes, uint32_t length) {
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

}  // namespace

void UpdateChecksum(FileChecksum* state, const void* data, uint32_t length) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    uint32_t blocks = length / kBlockSize;
    if (blocks > 0) FoldBlocks(state, bytes, blocks);
    FoldBytes(state, bytes + blocks * kBlockSize, length % kBlockSize);
}

bool ChecksumsEqual(const FileChecksum& a, const FileChecksum& b) {
    return std::memcmp(&a, &b, sizeof(FileChecksum)) == 0;
}
