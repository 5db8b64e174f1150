// AddToUninstallList under a real file size limit: a rewrite that stops part way keeps every
// name the list held before.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "install/uninstall_list.h"
#include "tests/support/test_files.h"

namespace {

using test_support::Bytes;

constexpr int kChildAdded = 10;
constexpr int kChildRefused = 11;

// Runs the merge in a child process whose files may not grow past limit bytes; the write
// beyond it comes back short (SIGXFSZ is ignored, as the default action would end the child).
int AddUnderSizeLimit(const std::string& folder, rlim_t limit) {
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit cap = {limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &cap) != 0) _exit(1);
        const char* names[] = {"new_member_1.dat", "new_member_2.dat", nullptr};
        _exit(AddToUninstallList(folder.c_str(), names) ? kChildAdded : kChildRefused);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(UninstallListLimitTest, WriteStoppedPartWayKeepsEveryOldName) {
    const std::string kOld("old1.dat\nold2.dat\n\0", 19);
    const std::string kNew = kOld.substr(0, 18) + "new_member_1.dat\nnew_member_2.dat\n" + '\0';
    const struct {
        const char* label;
        rlim_t limit;
        std::string after;
    } kCases[] = {
        {"limit inside the old content", 10, kOld},
        {"limit inside the appended lines", 30, kNew.substr(0, 30)},
        {"limit one byte short", kNew.size() - 1, kNew.substr(0, kNew.size() - 1)},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        test_support::TempFolder folder;
        std::string list = folder.Join(kUninstallListName);
        ASSERT_TRUE(test_support::WriteFileBytes(list, test_support::ToBytes(kOld)));
        EXPECT_EQ(AddUnderSizeLimit(folder.Path(), c.limit), kChildRefused);
        Bytes after;
        ASSERT_TRUE(test_support::ReadFileBytes(list, &after));
        EXPECT_EQ(std::string(after.begin(), after.end()), c.after);
    }
    test_support::TempFolder folder;
    std::string list = folder.Join(kUninstallListName);
    ASSERT_TRUE(test_support::WriteFileBytes(list, test_support::ToBytes(kOld)));
    EXPECT_EQ(AddUnderSizeLimit(folder.Path(), kNew.size()), kChildAdded) << "a limit the list fits in";
}

}  // namespace
