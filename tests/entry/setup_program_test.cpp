// The native setup program as a user meets it: a real process over the stand-ins, with the
// registry and mutex folders of the test, answers on standard input and boxes on standard output.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "entry/exit_code.h"
#include "entry/texts.h"
#include "platform/named_mutex.h"
#include "platform/registry.h"
#include "tests/entry/test_platform.h"

namespace {

struct SetupRun {
    int status = -1;  // exit status, or -1 when the program did not end normally
    std::string output;
};

// Runs setup with input on standard input (none at all: standard input closed).
SetupRun RunSetup(const std::string* input) {
    int inPipe[2];
    int outPipe[2];
    SetupRun run;
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0) return run;
    pid_t child = fork();
    if (child == 0) {
        if (input != nullptr) {
            dup2(inPipe[0], STDIN_FILENO);
        } else {
            close(STDIN_FILENO);
        }
        dup2(outPipe[1], STDOUT_FILENO);
        close(inPipe[0]);
        close(inPipe[1]);
        close(outPipe[0]);
        close(outPipe[1]);
        execl(UPDATER_SETUP_PROGRAM, UPDATER_SETUP_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    if (input != nullptr && !input->empty()) {
        ssize_t written = write(inPipe[1], input->data(), input->size());
        (void)written;
    }
    close(inPipe[1]);
    char buffer[4096];
    for (ssize_t got; (got = read(outPipe[0], buffer, sizeof(buffer))) > 0;) run.output.append(buffer, got);
    close(outPipe[0]);
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}

int AsStatus(uint32_t exitCode) { return static_cast<int>(exitCode & 0xFF); }

const std::string kGameKey = "Software\\Quillmere\\ヴァルネア・テイル";
const std::string kTitleLine = "「ヴァルネア・テイル」 Updater ver 1.00";
const std::string kQuestion = "アップデートを行いますか？";

class SetupProgramTest : public ::testing::Test {
protected:
    void InstallGame() {
        ASSERT_TRUE(registry_.SetValue(kGameKey, "InstalledFolder", kRegSz, folder_.Path() + std::string(1, '\0')));
    }

    entry_test::TestRegistry registry_{"Software\\Quillmere"};
    entry_test::TestMutexFolder mutexes_;
    test_support::TempFolder folder_;
};

TEST_F(SetupProgramTest, NotInstalledShowsTheWarningInUtf8) {
    std::string none;
    SetupRun run = RunSetup(&none);
    EXPECT_EQ(AsStatus(EXIT_NOT_INSTALLED), run.status);
    EXPECT_NE(std::string::npos, run.output.find("[warning] " + kTitleLine + "\n"));
    EXPECT_NE(std::string::npos, run.output.find("ゲームがインストールされていません　　　　　　　　　\n"));
}

TEST_F(SetupProgramTest, AnythingButYesDeclines) {
    InstallGame();
    struct AnswerCase {
        const char* label;
        const char* input;  // null: standard input closed
    } const cases[] = {
        {"n", "n\n"}, {"Enter takes the default", "\n"}, {"end of input", ""}, {"no input at all", nullptr},
        {"unclear, then no", "maybe\nno\n"},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::string input = c.input != nullptr ? c.input : "";
        SetupRun run = RunSetup(c.input != nullptr ? &input : nullptr);
        EXPECT_EQ(AsStatus(EXIT_DECLINED), run.status);
        EXPECT_NE(std::string::npos, run.output.find("[question] " + kTitleLine + "\n" + kQuestion));
        // No box after the question.
        EXPECT_EQ(1u, std::count(run.output.begin(), run.output.end(), '['));
    }
}

TEST_F(SetupProgramTest, HeldNamesStopTheRun) {
    InstallGame();
    {
        MutexCreation updater = CreateOwnedMutex(kUpdaterMutexName);
        ASSERT_EQ(0u, updater.lastError);
        std::string yes = "y\n";
        SetupRun run = RunSetup(&yes);
        EXPECT_EQ(AsStatus(EXIT_ALREADY_RUNNING), run.status);
        EXPECT_EQ("", run.output);
        CloseMutex(updater.handle);
    }
    {
        MutexCreation game = CreateOwnedMutex(kGameMutexName);
        ASSERT_EQ(0u, game.lastError);
        std::string yes = "y\n";
        SetupRun run = RunSetup(&yes);
        EXPECT_EQ(AsStatus(EXIT_BUSY), run.status);
        EXPECT_NE(std::string::npos, run.output.find("[warning] " + kTitleLine + "\nゲーム、ランチャー"));
        CloseMutex(game.handle);
    }
}

}  // namespace
