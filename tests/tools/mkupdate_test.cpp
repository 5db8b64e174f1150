// The mkupdate command: what build writes and refuses, what inspect finds in good and damaged
// files, checksum, usage and help; in process for the many cases, as a real process for the
// command line itself.
#include "tools/mkupdate_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "package/apply_update_package.h"
#include "package/package_format.h"
#include "platform/codepage.h"
#include "tests/support/test_files.h"
#include "tests/tools/tool_process.h"
#include "tools/package_writer.h"

namespace {

namespace fs = std::filesystem;
using package_writer::Bytes;

Bytes B(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string Cp932(const std::string& utf8) {
    std::string bytes;
    EXPECT_TRUE(Utf8ToCp932(utf8, &bytes)) << utf8;
    return bytes;
}

struct Result {
    int code;
    std::string out;
    std::string err;
};

class MkupdateTest : public testing::Test {
protected:
    // "@name" in an argument stands for the file name in the test's folder.
    std::string P(const std::string& name) const { return folder_.Join(name); }

    std::string Expand(const std::string& argument) const {
        std::string text;
        for (char c : argument) text += c == '@' ? P("") : std::string(1, c);
        return text;
    }

    void Write(const std::string& name, const Bytes& data) const {
        fs::path path = fs::u8path(P(name));
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        ASSERT_TRUE(out.good()) << name;
    }

    Bytes Read(const std::string& name) const {
        std::ifstream in(fs::u8path(P(name)), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    bool Exists(const std::string& name) const { return fs::exists(fs::u8path(P(name))); }

    // Every name in the test's folder, subfolders included, to see that nothing was left behind.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(folder_.Path()))) {
            names.push_back(entry.path().u8string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    Result Run(const std::vector<std::string>& arguments) const {
        std::vector<std::string> expanded;
        for (const std::string& argument : arguments) expanded.push_back(Expand(argument));
        CommandOutput output;
        int code = RunMkupdate(expanded, &output);
        return {code, output.out, output.err};
    }

    // A stub, two member files, and a reference folder like a complete game folder.
    void WriteGameFiles() const {
        Write("stub.exe", B("MZ stub image"));
        Write("a.txt", B("abc"));
        Write("sub/q.bin", B("q"));
        Write("ref/a.txt", B("abc"));
        Write("ref/game.exe", B("game"));
        Write("ref/Zeta.dat", B("zeta"));
        Write("ref/データ.arc", B("archive"));
        Write("ref/CVN.hvl", B("an old hash list"));
        Write("ref/save/slot1.dat", B("not looked into"));
    }

    Bytes ExpectedGameUpdater() const {
        using package_writer::ChecksumOf;
        // Members in their order, then the reference files by their code page 932 bytes
        // ("Zeta" before "game": 'Z' is 0x5A); a.txt is a member and not named twice.
        Bytes hashList = package_writer::BuildHashList({{"a.txt", ChecksumOf(B("abc"))},
                                                        {Cp932("データ.bin"), ChecksumOf(B("q"))},
                                                        {"Zeta.dat", ChecksumOf(B("zeta"))},
                                                        {"game.exe", ChecksumOf(B("game"))},
                                                        {Cp932("データ.arc"), ChecksumOf(B("archive"))}});
        return package_writer::LayOutUpdater(
            B("MZ stub image"), {{"a.txt", B("abc")}, {Cp932("データ.bin"), B("q")}, {"CVN.hvl", hashList}});
    }

    std::vector<std::string> GameBuild(const std::string& output) const {
        return {"build", "--stub", "@stub.exe", "-o", output, "--reference", "@ref", "@a.txt", "データ.bin=@sub/q.bin"};
    }

    test_support::TempFolder folder_;
};

TEST_F(MkupdateTest, BuildLaysOutMembersAndTheGeneratedHashList) {
    WriteGameFiles();
    Result result = Run(GameBuild("@out.exe"));
    ASSERT_EQ(kExitOk, result.code) << result.err;
    EXPECT_EQ(ExpectedGameUpdater(), Read("out.exe"));
    EXPECT_NE(std::string::npos, result.out.find("3 members, hash list of 5 entries")) << result.out;
    EXPECT_EQ("", result.err);
}

TEST_F(MkupdateTest, BuildIsDeterministicAndReplacesAnOldOutput) {
    WriteGameFiles();
    Write("out.exe", B("an older updater"));
    ASSERT_EQ(kExitOk, Run(GameBuild("@out.exe")).code);
    ASSERT_EQ(kExitOk, Run(GameBuild("@again.exe")).code);
    EXPECT_EQ(Read("out.exe"), Read("again.exe"));
    EXPECT_EQ(ExpectedGameUpdater(), Read("out.exe"));
    for (const std::string& name : Listing()) EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
}

TEST_F(MkupdateTest, WithoutHashListTheMembersAreAllThereIs) {
    Write("stub.exe", B("MZ"));
    Write("a.txt", B("abc"));
    Write("mine.hvl", B("a hash list of one's own"));
    Write("x=y", B("xy"));
    // "@x=y" is a full path, so its '=' is part of the file name.
    ASSERT_EQ(kExitOk, Run({"build", "--no-hash-list", "--stub=@stub.exe", "--output=@out.exe", "@a.txt",
                            "cvn.hvl=@mine.hvl", "@x=y"}).code);
    EXPECT_EQ(package_writer::LayOutUpdater(
                  B("MZ"), {{"a.txt", B("abc")}, {"cvn.hvl", B("a hash list of one's own")}, {"x=y", B("xy")}}),
              Read("out.exe"));
}

TEST_F(MkupdateTest, TheUpdaterAppliesWhatBuildWrites) {
    WriteGameFiles();
    Write("b.dat", B(std::string(3000, 'b')));
    Write("game/uninst.lst", Bytes(1, 0));
    ASSERT_EQ(kExitOk, Run({"build", "--stub", "@stub.exe", "-o", "@out.exe", "--reference", "@ref", "@a.txt", "@b.dat"}).code);
    ASSERT_EQ(UPDATE_OK, ApplyUpdatePackageFrom(P("out.exe").c_str(), P("game").c_str()));
    EXPECT_EQ(B("abc"), Read("game/a.txt"));
    EXPECT_EQ(B(std::string(3000, 'b')), Read("game/b.dat"));
    EXPECT_EQ(B(std::string("a.txt\nb.dat\nCVN.hvl\n", 21)), Read("game/uninst.lst"));
}

struct Refusal {
    const char* label;
    std::vector<std::string> arguments;  // after "build", which adds "--stub @stub.exe" and
                                         // "-o @out.exe" unless the row has its own
    std::string file;                    // the file the message names
    const char* reason;                  // a piece of the reason
    bool needsCaseSensitiveFolder = false;  // "A.txt" and "a.TXT" side by side
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.label; }

// Messages name paths as given or as joined by the platform; compared with '/' throughout.
std::string Slashed(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

class BuildRefusalTest : public MkupdateTest, public testing::WithParamInterface<Refusal> {};

TEST_P(BuildRefusalTest, NamesTheFileAndReasonAndLeavesNothing) {
    WriteGameFiles();
    Write("ref2/a.txt", B("not abc"));
    Write("ref3/" + std::string(56, 'n'), B(""));
    Write("ref4/A.txt", B("abc"));
    Write("ref4/a.TXT", B("abc"));
    if (GetParam().needsCaseSensitiveFolder &&
        std::distance(fs::directory_iterator(fs::u8path(P("ref4"))), fs::directory_iterator()) != 2) {
        GTEST_SKIP() << "this file system ignores letter case";
    }
    Write("big_stub.exe", Bytes(0x60001, 0));
    Write("out.exe", B("the last good updater"));
    std::vector<std::string> before = Listing();

    const std::vector<std::string>& own = GetParam().arguments;
    std::vector<std::string> arguments = {"build"};
    if (std::find(own.begin(), own.end(), "--stub") == own.end()) arguments.insert(arguments.end(), {"--stub", "@stub.exe"});
    if (std::find(own.begin(), own.end(), "-o") == own.end()) arguments.insert(arguments.end(), {"-o", "@out.exe"});
    arguments.insert(arguments.end(), own.begin(), own.end());
    Result result = Run(arguments);

    EXPECT_EQ(kExitFailure, result.code);
    std::string prefix = "mkupdate: " + Slashed(Expand(GetParam().file)) + ": ";
    EXPECT_EQ(0u, Slashed(result.err).find(prefix)) << result.err;
    EXPECT_NE(std::string::npos, result.err.find(GetParam().reason)) << result.err;
    EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
    EXPECT_EQ(B("the last good updater"), Read("out.exe"));
    EXPECT_EQ(before, Listing());
}

INSTANTIATE_TEST_SUITE_P(
    Build, BuildRefusalTest,
    testing::Values(
        Refusal{"unrepresentable", {"x€.txt=@a.txt"}, "@a.txt", "code page 932 cannot represent the name \"x€.txt\""},
        Refusal{"yen_sign_is_no_backslash", {"..¥x=@a.txt"}, "@a.txt", "code page 932 cannot represent"},
        Refusal{"sixteen_bytes", {"abcdefghijkl.arc=@a.txt"}, "@a.txt", "16 bytes in code page 932"},
        // Eight kana are 16 bytes in code page 932 (and 24 in UTF-8).
        Refusal{"sixteen_bytes_japanese", {"アイウエオカキク=@a.txt"}, "@a.txt", "16 bytes in code page 932"},
        Refusal{"climbs_out", {"..\\setup.exe=@a.txt"}, "@a.txt", "updater refuses"},
        Refusal{"stream", {"@sub/q.bin:s"}, "@sub/q.bin:s", "updater refuses"},
        Refusal{"device", {"aux.txt=@a.txt"}, "@a.txt", "device"},
        Refusal{"empty_name", {"=@a.txt"}, "@a.txt", "empty"},
        Refusal{"case_clash", {"@a.txt", "A.TXT=@sub/q.bin"}, "@sub/q.bin", "letter case"},
        Refusal{"clash_with_hash_list", {"@a.txt", "Cvn.Hvl=@sub/q.bin"}, "@sub/q.bin", "hash list"},
        Refusal{"missing_member", {"@nothing.bin"}, "@nothing.bin", "no such file"},
        Refusal{"member_is_folder", {"x=@sub"}, "@sub", "folder"},
        Refusal{"missing_stub", {"--stub", "@nostub.exe", "@a.txt"}, "@nostub.exe", "no such file"},
        Refusal{"stub_too_large", {"--stub", "@big_stub.exe", "@a.txt"}, "@big_stub.exe", "too large: 393217 bytes"},
        Refusal{"reference_differs", {"--reference", "@ref2", "@a.txt"}, "@ref2/a.txt", "differs from the member"},
        Refusal{"reference_name_too_long", {"--reference", "@ref3", "@a.txt"}, "@ref3/" + std::string(56, 'n'), "at most 55"},
        Refusal{"reference_case_clash", {"--reference", "@ref4", "@sub/q.bin"}, "@ref4/a.TXT", "letter case", true},
        Refusal{"missing_reference", {"--reference", "@noref", "@a.txt"}, "@noref", "no such folder"},
        Refusal{"output_folder_missing", {"-o", "@nowhere/out.exe", "@a.txt"}, "@nowhere/out.exe", "cannot create"}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.label); });

TEST_F(MkupdateTest, TwentyFourMembersAtMostTheHashListAmongThem) {
    Write("stub.exe", B("MZ"));
    std::vector<std::string> members;
    for (int i = 1; i <= 24; ++i) {
        Write("m" + std::to_string(i), B(std::to_string(i)));
        members.push_back("@m" + std::to_string(i));
    }
    std::vector<std::string> arguments = {"build", "--stub", "@stub.exe", "-o", "@out.exe"};
    arguments.insert(arguments.end(), members.begin(), members.end());

    Result result = Run(arguments);
    EXPECT_EQ(kExitFailure, result.code);
    EXPECT_EQ(0u, result.err.find("mkupdate: " + P("m24") + ": a package holds at most 24 members")) << result.err;
    EXPECT_FALSE(Exists("out.exe"));

    arguments.push_back("--no-hash-list");
    ASSERT_EQ(kExitOk, Run(arguments).code);
    EXPECT_EQ(24u, Read("out.exe")[0x6000c]);
}

TEST_F(MkupdateTest, RefusesAMemberTooLargeForTheUpdaterWithoutReadingIt) {
    Write("stub.exe", B("MZ"));
    Write("huge.arc", B(""));
    std::error_code error;
    // Sparse where the file system allows: nothing of it is read.
    fs::resize_file(fs::u8path(P("huge.arc")), 0x80000000u, error);
    if (error) GTEST_SKIP() << "cannot make a 2 GiB file here";
    Result result = Run({"build", "--stub", "@stub.exe", "-o", "@out.exe", "@huge.arc"});
    EXPECT_EQ(kExitFailure, result.code);
    EXPECT_EQ(0u, result.err.find("mkupdate: " + P("huge.arc") + ": too large")) << result.err;
    EXPECT_FALSE(Exists("out.exe"));
}

// ---- inspect

struct Damage {
    const char* label;
    std::function<void(Bytes&)> apply;
    const char* problem;
};

void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.label; }

// The updater of these cases: "a.txt" ("abc") and "CVN.hvl" naming it, data area at 0x60050.
constexpr size_t kDataBase = 0x60050;

void Put32(Bytes& file, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

class InspectDamageTest : public MkupdateTest, public testing::WithParamInterface<Damage> {};

TEST_P(InspectDamageTest, NamesTheProblem) {
    Write("stub.exe", B("MZ"));
    Write("a.txt", B("abc"));
    ASSERT_EQ(kExitOk, Run({"build", "--stub", "@stub.exe", "-o", "@good.exe", "@a.txt"}).code);
    Bytes file = Read("good.exe");
    GetParam().apply(file);
    Write("bad.exe", file);

    Result result = Run({"inspect", "@bad.exe"});
    EXPECT_EQ(kExitFailure, result.code);
    EXPECT_EQ(0u, result.err.find("mkupdate: " + P("bad.exe") + ": ")) << result.err;
    EXPECT_NE(std::string::npos, result.err.find(GetParam().problem)) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Inspect, InspectDamageTest,
    testing::Values(
        Damage{"short_file", [](Bytes& f) { f.resize(0x5ffff); }, "short file: 393215 bytes"},
        Damage{"no_header", [](Bytes& f) { f.resize(0x60000); }, "short package header"},
        Damage{"short_header", [](Bytes& f) { f.resize(0x60008); }, "short package header"},
        Damage{"entry_count_25", [](Bytes& f) { Put32(f, 0x6000c, 25); }, "entry count 25 is over 24"},
        Damage{"short_directory", [](Bytes& f) { f.resize(0x60030); }, "short directory"},
        Damage{"signature", [](Bytes& f) { f[0x60000] = 'X'; }, "signature"},
        Damage{"truncated_member", [](Bytes& f) { f.resize(f.size() - 1); }, "member 2 \"CVN.hvl\": its data"},
        Damage{"member_beyond_end", [](Bytes& f) { Put32(f, 0x60010 + 16, 0x1000); }, "member 1 \"a.txt\": its data"},
        Damage{"unterminated_name", [](Bytes& f) { std::memset(&f[0x60010], 'n', 16); }, "not NUL-terminated"},
        Damage{"unsafe_name", [](Bytes& f) { std::memcpy(&f[0x60010], "..\\a.txt", 9); }, "updater refuses this name"},
        Damage{"hash_list_magic", [](Bytes& f) { f[kDataBase + 3] = 'z'; }, "magic"},
        Damage{"hash_count", [](Bytes& f) { Put32(f, kDataBase + 3 + 12, 2); }, "2 entries take 144 bytes"},
        Damage{"failing_checksum", [](Bytes& f) { f[kDataBase + 1] = 'B'; },
               "member 1 \"a.txt\": checksum e6965000d20c0640 differs from the hash list's 06b4500012cc2660"}),
    [](const testing::TestParamInfo<Damage>& info) { return std::string(info.param.label); });

TEST_F(MkupdateTest, InspectShowsMembersChecksumsAndTheHashList) {
    WriteGameFiles();
    ASSERT_EQ(kExitOk, Run(GameBuild("@out.exe")).code);
    Result result = Run({"inspect", "@out.exe"});
    ASSERT_EQ(kExitOk, result.code) << result.err;
    EXPECT_EQ("", result.err);
    const char* const lines[] = {
        "package: signature \"PackFile    \", 3 entries, data area at 0x60070",
        "  1   a.txt       0           3           06b4500012cc2660  verified",
        "  2   データ.bin  3           1           7100000071717171  verified",
        "  3   CVN.hvl     4           336 ",
        "unverified: not in the hash list",
        "hash list: member 3, 5 entries",
        "  データ.arc  ",
        "summary: 2 verified, 1 unverified, 0 failed",
    };
    for (const char* line : lines) EXPECT_NE(std::string::npos, result.out.find(line)) << line << "\n" << result.out;
}

TEST_F(MkupdateTest, InspectTellsUnverifiedMembersFromVerifiedOnes) {
    Write("stub.exe", B("MZ"));
    Write("a.txt", B("abc"));
    Write("empty", B(""));
    // The empty member ends the file: its data starts right at the end.
    ASSERT_EQ(kExitOk, Run({"build", "--no-hash-list", "--stub", "@stub.exe", "-o", "@out.exe", "@a.txt", "@empty"}).code);
    Result result = Run({"inspect", "@out.exe"});
    EXPECT_EQ(kExitOk, result.code);
    EXPECT_NE(std::string::npos, result.out.find("unverified: no hash list")) << result.out;
    EXPECT_NE(std::string::npos, result.out.find("0000000000000000  unverified")) << result.out;
    EXPECT_NE(std::string::npos, result.out.find("summary: 0 verified, 2 unverified, 0 failed")) << result.out;
}

// ---- checksum, usage, help

TEST_F(MkupdateTest, ChecksumPrintsStoredByteOrderAndGoesOnPastAMissingFile) {
    Write("abc", B("abc"));
    Write("empty", B(""));
    Result result = Run({"checksum", "@abc", "@missing", "@empty"});
    EXPECT_EQ(kExitFailure, result.code);
    EXPECT_EQ("06b4500012cc2660  " + P("abc") + "\n0000000000000000  " + P("empty") + "\n", result.out);
    EXPECT_EQ("mkupdate: " + P("missing") + ": no such file\n", result.err);
}

TEST_F(MkupdateTest, UsageErrorsExitWithTwoAndSayWhatIsWrong) {
    Write("a.txt", B("abc"));
    const std::vector<std::pair<std::vector<std::string>, const char*>> cases = {
        {{}, "usage: mkupdate"},
        {{"pack"}, "unknown command \"pack\""},
        {{"build", "-o", "@o", "@a.txt"}, "--stub"},
        {{"build", "--stub", "@a.txt", "@a.txt"}, "-o OUT"},
        {{"build", "--stub", "@a.txt", "-o", "@o"}, "at least one member"},
        {{"build", "--stub", "@a.txt", "-o"}, "-o needs a value"},
        {{"build", "--stub", "@a.txt", "--stub", "@a.txt", "-o", "@o", "@a.txt"}, "twice"},
        {{"build", "--stub", "@a.txt", "-o", "@o", "--fast", "@a.txt"}, "unknown option \"--fast\""},
        {{"build", "--stub", "@a.txt", "-o", "@o", "--no-hash-list", "--reference", "@", "@a.txt"}, "--reference"},
        {{"inspect"}, "one file"},
        {{"inspect", "@a.txt", "@a.txt"}, "one file"},
        {{"checksum"}, "at least one file"},
    };
    for (const auto& usage : cases) {
        Result result = Run(usage.first);
        EXPECT_EQ(kExitUsage, result.code) << usage.second;
        EXPECT_NE(std::string::npos, result.err.find(usage.second)) << result.err;
        EXPECT_FALSE(Exists("o"));
    }
}

TEST_F(MkupdateTest, HelpForTheCommandAndEachVerb) {
    const std::vector<std::vector<std::string>> cases = {
        {"--help"}, {"-h"}, {"build", "--help"}, {"build", "--stub", "x", "-h"}, {"inspect", "-h"}, {"checksum", "--help"}};
    for (const auto& arguments : cases) {
        Result result = Run(arguments);
        EXPECT_EQ(kExitOk, result.code);
        EXPECT_EQ(0u, result.out.find("usage: mkupdate")) << arguments.back();
        EXPECT_EQ("", result.err);
    }
    EXPECT_EQ(0u, Run({"build", "-h"}).out.find("usage: mkupdate build"));
}

// ---- the command as a process

TEST_F(MkupdateTest, ProcessTakesNonAsciiFileNamesFromItsCommandLine) {
    WriteGameFiles();
    Write("データ.bin", B("q"));
    tools_test::ToolRun run = tools_test::RunTool(
        tools_test::MkupdatePath(),
        {"build", "--stub", P("stub.exe"), "-o", P("出力.exe"), "--reference", P("ref"), P("a.txt"), P("データ.bin")},
        folder_.Path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(ExpectedGameUpdater(), Read("出力.exe"));

    run = tools_test::RunTool(tools_test::MkupdatePath(), {"inspect", P("出力.exe")}, folder_.Path());
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("データ.bin  3 ")) << run.out;
}

TEST_F(MkupdateTest, ProcessExitCodesAndMessages) {
    Write("abc", B("abc"));
    tools_test::ToolRun run = tools_test::RunTool(tools_test::MkupdatePath(), {"checksum", P("abc")}, folder_.Path());
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ("06b4500012cc2660  " + P("abc") + "\n", run.out);

    run = tools_test::RunTool(tools_test::MkupdatePath(), {"inspect", P("abc")}, folder_.Path());
    EXPECT_EQ(1, run.exitCode);
    EXPECT_EQ("mkupdate: " + P("abc") + ": short file: 3 bytes, but the package starts at offset 0x60000 (393216)\n", run.err);

    run = tools_test::RunTool(tools_test::MkupdatePath(), {"frobnicate"}, folder_.Path());
    EXPECT_EQ(2, run.exitCode);
    EXPECT_EQ(0u, run.err.find("mkupdate: unknown command \"frobnicate\"")) << run.err;
}

}  // namespace
