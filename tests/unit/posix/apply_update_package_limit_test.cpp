// ApplyUpdatePackageFrom under a real file size limit: a member write that stores fewer bytes
// than the member holds is a failure, not a written file.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "install/uninstall_list.h"
#include "package/apply_update_package.h"
#include "tests/support/test_files.h"
#include "tools/package_writer.h"

namespace {

using test_support::Bytes;

TEST(ApplyUpdatePackageLimitTest, ShortMemberWriteIsCreateFileFailure) {
    test_support::TempFolder scratch, install;
    std::string updater = scratch.Join("updater.exe");
    std::string list = install.Join(kUninstallListName);
    ASSERT_TRUE(test_support::WriteFileBytes(list, {'\0'}));
    ASSERT_TRUE(test_support::WriteFileBytes(
        updater, package_writer::LayOutUpdater(test_support::ToBytes("stub"),
                                               {{"small.dat", Bytes(100, 's')}, {"big.dat", Bytes(5000, 'b')},
                                                {"after.dat", Bytes(10, 'a')}})));
    pid_t pid = fork();
    if (pid == 0) {
        // SIGXFSZ ignored: the write comes back short instead of ending the process.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit cap = {1000, 1000};
        if (setrlimit(RLIMIT_FSIZE, &cap) != 0) _exit(100);
        _exit(static_cast<int>(ApplyUpdatePackageFrom(updater.c_str(), install.Path().c_str()) & 0xFF));
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(static_cast<uint32_t>(WEXITSTATUS(status)), UPDATE_E_CREATE_FILE & 0xFF);
    Bytes bytes;
    ASSERT_TRUE(test_support::ReadFileBytes(install.Join("small.dat"), &bytes));
    EXPECT_EQ(bytes.size(), 100u);
    ASSERT_TRUE(test_support::ReadFileBytes(install.Join("big.dat"), &bytes));
    EXPECT_EQ(bytes.size(), 1000u) << "the write stopped at the limit";
    EXPECT_FALSE(test_support::FileExists(install.Join("after.dat")));
    ASSERT_TRUE(test_support::ReadFileBytes(list, &bytes));
    EXPECT_EQ(bytes, Bytes{'\0'}) << "the list is not touched after a failure";
}

}  // namespace
