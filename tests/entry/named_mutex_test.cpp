// Named mutexes on the real platform (natively the flock stand-in): a held name is reported
// taken, and it is free again once its holder's handles are closed.
#include "platform/named_mutex.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/entry/test_platform.h"

namespace {

void CloseIfGiven(const MutexCreation& creation) {
    if (creation.handle != kNoMutex) CloseMutex(creation.handle);
}

TEST(NamedMutexTest, HeldNameIsTakenUntilClosed) {
    entry_test::TestMutexFolder folder;
    std::string name = entry_test::UniqueName("Entry test mutex");
    MutexCreation first = CreateOwnedMutex(name.c_str());
    EXPECT_EQ(0u, first.lastError);
    EXPECT_NE(kNoMutex, first.handle);

    MutexCreation second = CreateOwnedMutex(name.c_str());
    EXPECT_NE(0u, second.lastError);
    CloseIfGiven(second);
    // The second handle going does not free a name the first one holds.
    MutexCreation third = CreateOwnedMutex(name.c_str());
    EXPECT_NE(0u, third.lastError);
    CloseIfGiven(third);

    CloseMutex(first.handle);
    MutexCreation again = CreateOwnedMutex(name.c_str());
    EXPECT_EQ(0u, again.lastError);
    CloseIfGiven(again);
}

TEST(NamedMutexTest, NamesDifferingOnlyInSlashOrPercentAreDistinct) {
    entry_test::TestMutexFolder folder;
    std::string stem = entry_test::UniqueName("Entry test");
    const std::string names[] = {stem + " a/b", stem + " a%2Fb", stem + " a_b", stem + " a%b"};
    MutexCreation held[4];
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        held[i] = CreateOwnedMutex(names[i].c_str());
        EXPECT_EQ(0u, held[i].lastError);
    }
    for (const MutexCreation& creation : held) CloseIfGiven(creation);
}

}  // namespace
