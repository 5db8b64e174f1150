// The updater's run over scripted stand-ins: for every outcome of the guards, the lookup, the
// question and the update, the calls in their order, the boxes shown and the exit code.
#include "entry/updater_flow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "entry/exit_code.h"
#include "entry/installed_folder.h"
#include "entry/texts.h"
#include "platform/message_box.h"

namespace {

constexpr MutexHandle kUpdaterHandle = 11;
constexpr MutexHandle kGameHandle = 22;
constexpr uint32_t kAlreadyExists = 183;  // ERROR_ALREADY_EXISTS
constexpr uint32_t kAccessDenied = 5;     // ERROR_ACCESS_DENIED
constexpr char kFolder[] = "D:\\Games\\Valnea";

struct Script {
    MutexCreation updaterMutex = {kUpdaterHandle, 0};
    MutexCreation gameMutex = {kGameHandle, 0};
    bool folderFound = true;
    int answer = kAnswerYes;
    uint32_t result = UPDATE_OK;
};

// What one run did, one line per call.
const Script* g_script = nullptr;
std::vector<std::string>* g_calls = nullptr;

std::string TextLabel(const char* text) {
    struct Label {
        const char* text;
        const char* label;
    };
    const Label labels[] = {
        {kBusyWarning, "busy"},         {kNotInstalledWarning, "not installed"},
        {kConfirmationQuestion, "ask"}, {kCompletionNotice, "complete"},
        {kDamageWarning, "damaged"},    {kFailureWarning, "failed"},
        {kListWarning, "list failed"},
    };
    for (const Label& l : labels) {
        if (std::strcmp(text, l.text) == 0) return l.label;
    }
    return "unknown text";
}

std::string StyleLabel(uint32_t style) {
    switch (style) {
        case kBoxInformation: return "information";
        case kBoxWarning: return "warning";
        case kBoxQuestion: return "question";
        default: return "style " + std::to_string(style);
    }
}

MutexCreation ScriptedCreateMutex(const char* name) {
    if (std::strcmp(name, kUpdaterMutexName) == 0) {
        g_calls->push_back("create updater mutex");
        return g_script->updaterMutex;
    }
    if (std::strcmp(name, kGameMutexName) == 0) {
        g_calls->push_back("create game mutex");
        return g_script->gameMutex;
    }
    g_calls->push_back(std::string("create mutex ") + name);
    return {kNoMutex, kAccessDenied};
}

void ScriptedCloseMutex(MutexHandle handle) {
    g_calls->push_back(handle == kUpdaterHandle ? "close updater mutex"
                       : handle == kGameHandle  ? "close game mutex"
                                                : "close handle " + std::to_string(handle));
}

bool ScriptedGetInstalledFolder(char* buffer, const char* publisher, const char* title) {
    bool rightKey = std::strcmp(publisher, kPublisher) == 0 && std::strcmp(title, kGameTitle) == 0;
    g_calls->push_back(rightKey ? "lookup" : "lookup of another key");
    if (!g_script->folderFound) return false;
    std::memcpy(buffer, kFolder, sizeof(kFolder));
    return true;
}

int ScriptedMessageBox(const char* text, const char* title, uint32_t style) {
    std::string call = StyleLabel(style) + ": " + TextLabel(text);
    if (std::strcmp(title, kBoxTitle) != 0) call += " (wrong title)";
    g_calls->push_back(call);
    return style == kBoxQuestion ? g_script->answer : kAnswerOk;
}

uint32_t ScriptedApply(const char* installFolder) {
    g_calls->push_back(std::string("apply to ") + installFolder);
    return g_script->result;
}

constexpr UpdaterPlatform kScripted = {
    ScriptedCreateMutex, ScriptedCloseMutex, ScriptedGetInstalledFolder, ScriptedMessageBox, ScriptedApply,
};

struct RunCase {
    const char* label;
    Script script;
    uint32_t exitCode;
    std::vector<std::string> calls;
};

Script With(void (*change)(Script&)) {
    Script script;
    change(script);
    return script;
}

const std::vector<std::string> kUpToQuestion = {
    "create updater mutex", "create game mutex", "lookup", "question: ask",
};

std::vector<std::string> Then(std::vector<std::string> calls, std::initializer_list<std::string> more) {
    calls.insert(calls.end(), more);
    return calls;
}

const std::string kApply = std::string("apply to ") + kFolder;

const RunCase kRunCases[] = {
    {"update applied", Script(), UPDATE_OK,
     Then(kUpToQuestion, {kApply, "information: complete", "close game mutex", "close updater mutex"})},
    {"another updater holds its name", With([](Script& s) { s.updaterMutex = {kUpdaterHandle, kAlreadyExists}; }),
     EXIT_ALREADY_RUNNING, {"create updater mutex", "close updater mutex"}},
    {"updater mutex not created", With([](Script& s) { s.updaterMutex = {kNoMutex, kAccessDenied}; }),
     EXIT_ALREADY_RUNNING, {"create updater mutex"}},
    // Before the lookup: the game running and not installed gives only the busy warning.
    {"game running", With([](Script& s) { s.gameMutex = {kGameHandle, kAlreadyExists}; s.folderFound = false; }),
     EXIT_BUSY, {"create updater mutex", "create game mutex", "warning: busy", "close game mutex", "close updater mutex"}},
    {"game mutex not created", With([](Script& s) { s.gameMutex = {kNoMutex, kAccessDenied}; }),
     EXIT_BUSY, {"create updater mutex", "create game mutex", "warning: busy", "close updater mutex"}},
    // The handle plays no part: a new name with no handle is not busy, and nothing is closed for it.
    {"game mutex new without handle", With([](Script& s) { s.gameMutex = {kNoMutex, 0}; }),
     UPDATE_OK, Then(kUpToQuestion, {kApply, "information: complete", "close updater mutex"})},
    {"not installed", With([](Script& s) { s.folderFound = false; }), EXIT_NOT_INSTALLED,
     {"create updater mutex", "create game mutex", "lookup", "warning: not installed", "close game mutex",
      "close updater mutex"}},
    {"answered No", With([](Script& s) { s.answer = kAnswerNo; }), EXIT_DECLINED,
     Then(kUpToQuestion, {"close game mutex", "close updater mutex"})},
    {"box failed", With([](Script& s) { s.answer = 0; }), EXIT_DECLINED,
     Then(kUpToQuestion, {"close game mutex", "close updater mutex"})},
    {"answered OK", With([](Script& s) { s.answer = kAnswerOk; }), EXIT_DECLINED,
     Then(kUpToQuestion, {"close game mutex", "close updater mutex"})},
    {"package unreadable", With([](Script& s) { s.result = UPDATE_E_PACKAGE_READ; }), UPDATE_E_PACKAGE_READ,
     Then(kUpToQuestion, {kApply, "warning: damaged", "close game mutex", "close updater mutex"})},
    {"too many entries", With([](Script& s) { s.result = UPDATE_E_TOO_MANY_ENTRIES; }), UPDATE_E_TOO_MANY_ENTRIES,
     Then(kUpToQuestion, {kApply, "warning: damaged", "close game mutex", "close updater mutex"})},
    {"checksum mismatch", With([](Script& s) { s.result = UPDATE_E_CHECKSUM; }), UPDATE_E_CHECKSUM,
     Then(kUpToQuestion, {kApply, "warning: damaged", "close game mutex", "close updater mutex"})},
    {"file not written", With([](Script& s) { s.result = UPDATE_E_CREATE_FILE; }), UPDATE_E_CREATE_FILE,
     Then(kUpToQuestion, {kApply, "warning: failed", "close game mutex", "close updater mutex"})},
    {"uninstall list not updated", With([](Script& s) { s.result = UPDATE_E_UNINSTALL_LIST; }),
     UPDATE_E_UNINSTALL_LIST,
     Then(kUpToQuestion, {kApply, "warning: list failed", "close game mutex", "close updater mutex"})},
    {"unknown failure code", With([](Script& s) { s.result = 0x80000006u; }), 0x80000006u,
     Then(kUpToQuestion, {kApply, "close game mutex", "close updater mutex"})},
    {"unknown small code", With([](Script& s) { s.result = 1; }), 1u,
     Then(kUpToQuestion, {kApply, "close game mutex", "close updater mutex"})},
};

TEST(RunUpdaterTest, EveryOutcomeGivesItsCallsBoxAndExitCode) {
    for (const RunCase& c : kRunCases) {
        SCOPED_TRACE(c.label);
        std::vector<std::string> calls;
        g_script = &c.script;
        g_calls = &calls;
        EXPECT_EQ(c.exitCode, RunUpdater(kScripted));
        EXPECT_EQ(c.calls, calls);
    }
    g_script = nullptr;
    g_calls = nullptr;
}

TEST(RunUpdaterTest, ExitCodesKeepTheirNumbers) {
    EXPECT_EQ(-1, static_cast<int>(EXIT_NOT_INSTALLED));
    EXPECT_EQ(-2, static_cast<int>(EXIT_BUSY));
    EXPECT_EQ(-3, static_cast<int>(EXIT_DECLINED));
    EXPECT_EQ(-4, static_cast<int>(EXIT_ALREADY_RUNNING));
}

}  // namespace
