// UpdateChecksum against the byte-at-a-time loop: every length up to a few blocks, cut into
// pieces at random places and started from random states, byte patterns that push the block
// step's fields to their limits, and 1 MiB.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "package/checksum.h"
#include "tests/bench/plain_checksum.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Describe(const FileChecksum& c) {
    char text[64];
    std::snprintf(text, sizeof(text), "h=%08x sumH=%02x xorH=%02x sumBytes=%02x xorBytes=%02x", c.h, c.sumH, c.xorH,
                  c.sumBytes, c.xorBytes);
    return text;
}

// Feeds data to UpdateChecksum in pieces ending at the given cut positions (sorted, repeats
// allowed, so empty pieces occur) and compares with one run of the plain loop.
testing::AssertionResult MatchesPlainLoop(const FileChecksum& start, const uint8_t* data, uint32_t length,
                                          const std::vector<uint32_t>& cuts) {
    FileChecksum expected = start, actual = start;
    bench::PlainChecksum(&expected, data, length);
    uint32_t from = 0;
    for (uint32_t cut : cuts) {
        UpdateChecksum(&actual, data + from, cut - from);
        from = cut;
    }
    UpdateChecksum(&actual, data + from, length - from);
    if (ChecksumsEqual(expected, actual)) return testing::AssertionSuccess();
    std::string pieces;
    for (uint32_t cut : cuts) pieces += " " + std::to_string(cut);
    return testing::AssertionFailure() << "length " << length << ", cuts at" << (pieces.empty() ? " none" : pieces)
                                       << ", start " << Describe(start) << "\n  expected " << Describe(expected)
                                       << "\n  actual   " << Describe(actual);
}

Bytes RandomBytes(std::mt19937& random, size_t size) {
    Bytes bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

FileChecksum RandomState(std::mt19937& random) {
    uint32_t low = random();
    return {static_cast<uint32_t>(random()), static_cast<uint8_t>(low), static_cast<uint8_t>(low >> 8),
            static_cast<uint8_t>(low >> 16), static_cast<uint8_t>(low >> 24)};
}

std::vector<uint32_t> RandomCuts(std::mt19937& random, uint32_t length, uint32_t maxCuts) {
    std::vector<uint32_t> cuts(random() % (maxCuts + 1));
    for (uint32_t& cut : cuts) cut = random() % (length + 1);
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

TEST(ChecksumEquivalence, KnownValuesOfTheReference) {
    // The plain loop is the yardstick, so it is held to the stored bytes of the format first.
    const uint8_t abc[] = {'a', 'b', 'c'};
    const uint8_t expected[8] = {0x06, 0xb4, 0x50, 0x00, 0x12, 0xcc, 0x26, 0x60};
    FileChecksum plain = {}, fast = {};
    bench::PlainChecksum(&plain, abc, 3);
    UpdateChecksum(&fast, abc, 3);
    EXPECT_EQ(0, std::memcmp(&plain, expected, 8)) << Describe(plain);
    EXPECT_EQ(0, std::memcmp(&fast, expected, 8)) << Describe(fast);

    FileChecksum empty = {};
    UpdateChecksum(&empty, abc, 0);
    EXPECT_EQ(Describe(FileChecksum{}), Describe(empty));
}

TEST(ChecksumEquivalence, EveryLengthUpTo300InRandomPiecesFromRandomStates) {
    std::mt19937 random(20240611);
    // Room behind the data for starting at every offset within a block.
    const Bytes pool = RandomBytes(random, 300 + 16);
    for (uint32_t length = 0; length <= 300; ++length) {
        for (int trial = 0; trial < 12; ++trial) {
            // The first trial is what the updater does: a zeroed state and one call.
            FileChecksum start = trial == 0 ? FileChecksum{} : RandomState(random);
            std::vector<uint32_t> cuts = trial == 0 ? std::vector<uint32_t>{} : RandomCuts(random, length, 5);
            const uint8_t* data = pool.data() + (trial == 0 ? 0 : random() % 16);
            ASSERT_TRUE(MatchesPlainLoop(start, data, length, cuts));
        }
    }
}

// Bytes that make the block step's intermediate sums largest (all 0xFF) or that single out the
// even or the odd bytes of every word, where a wrong field mask or carry would show.
TEST(ChecksumEquivalence, BytePatterns) {
    struct Pattern {
        const char* name;
        uint8_t (*byteAt)(size_t);
    };
    const Pattern kPatterns[] = {
        {"all 0x00", [](size_t) -> uint8_t { return 0x00; }},
        {"all 0xFF", [](size_t) -> uint8_t { return 0xFF; }},
        {"0xFF on even positions", [](size_t i) -> uint8_t { return i % 2 == 0 ? 0xFF : 0x00; }},
        {"0xFF on odd positions", [](size_t i) -> uint8_t { return i % 2 == 1 ? 0xFF : 0x00; }},
        {"0xFF in every fourth", [](size_t i) -> uint8_t { return i % 4 == 3 ? 0xFF : 0x00; }},
        {"ramp", [](size_t i) -> uint8_t { return static_cast<uint8_t>(i); }},
    };
    for (const Pattern& pattern : kPatterns) {
        SCOPED_TRACE(pattern.name);
        Bytes data(4096);
        for (size_t i = 0; i < data.size(); ++i) data[i] = pattern.byteAt(i);
        const FileChecksum kStates[] = {{}, {0xFFFFFFFFu, 0xFF, 0xFF, 0xFF, 0xFF}};
        for (const FileChecksum& start : kStates) {
            EXPECT_TRUE(MatchesPlainLoop(start, data.data(), static_cast<uint32_t>(data.size()), {}));
            EXPECT_TRUE(MatchesPlainLoop(start, data.data(), static_cast<uint32_t>(data.size()), {1, 17, 33, 2049}));
        }
    }
}

TEST(ChecksumEquivalence, OneMebibyteWholeAndInRandomPieces) {
    std::mt19937 random(7);
    const Bytes data = RandomBytes(random, 1 << 20);
    const uint32_t length = static_cast<uint32_t>(data.size());
    EXPECT_TRUE(MatchesPlainLoop({}, data.data(), length, {}));
    for (int trial = 0; trial < 4; ++trial) {
        EXPECT_TRUE(MatchesPlainLoop(RandomState(random), data.data(), length, RandomCuts(random, length, 40)));
    }
}

}  // namespace
