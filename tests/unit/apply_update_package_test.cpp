// ApplyUpdatePackageFrom: every result code, the hash list, member names, and target files the
// install folder refuses. Fixtures are laid out by the package writer, patched where a fault
// needs bytes no writer would produce.
#include "package/apply_update_package.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "install/uninstall_list.h"
#include "package/package_format.h"
#include "tests/support/child_process.h"
#include "tests/support/test_files.h"
#include "tools/package_writer.h"

namespace {

using package_writer::BuildHashList;
using package_writer::ChecksumOf;
using package_writer::HashedFile;
using package_writer::LayOutUpdater;
using package_writer::Member;
using test_support::Bytes;
using test_support::ToBytes;

const std::string kEmptyList(1, '\0');

Member M(const std::string& name, const std::string& content) { return {name, ToBytes(content)}; }

HashedFile Hashed(const std::string& name, const std::string& content) { return {name, ChecksumOf(ToBytes(content))}; }

Member HashList(const std::string& memberName, const std::vector<HashedFile>& files) {
    return {memberName, BuildHashList(files)};
}

// File positions of the fields a test patches.
constexpr size_t kEntryCountAt = kPackageOffset + 12;
size_t EntryAt(size_t index) { return kDirectoryOffset + index * sizeof(PackageEntry); }
size_t OffsetFieldAt(size_t index) { return EntryAt(index) + 16; }
size_t SizeFieldAt(size_t index) { return EntryAt(index) + 20; }

void Put32(Bytes& file, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) file.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

using Patch = std::function<void(Bytes&)>;

class ApplyUpdatePackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(install_.Path().empty());
        ASSERT_FALSE(scratch_.Path().empty());
    }

    // Lays the members out behind a small stub, patches, writes the updater file.
    std::string WriteUpdater(const std::vector<Member>& members, const Patch& patch = nullptr) {
        Bytes file = LayOutUpdater(ToBytes("stub"), members);
        EXPECT_FALSE(file.empty());
        if (patch) patch(file);
        std::string path = scratch_.Join("updater" + std::to_string(++updaters_) + ".exe");
        EXPECT_TRUE(test_support::WriteFileBytes(path, file));
        return path;
    }

    uint32_t Apply(const std::vector<Member>& members, const Patch& patch = nullptr) {
        return ApplyUpdatePackageFrom(WriteUpdater(members, patch).c_str(), install_.Path().c_str());
    }

    std::string ListPath() const { return install_.Join(kUninstallListName); }
    void WriteInstalled(const std::string& name, const std::string& content) {
        ASSERT_TRUE(test_support::WriteFileBytes(install_.Join(name), ToBytes(content)));
    }
    std::string Installed(const std::string& name) const {
        Bytes bytes;
        if (!test_support::ReadFileBytes(install_.Join(name), &bytes)) return "<missing>";
        return std::string(bytes.begin(), bytes.end());
    }
    std::vector<std::string> Listing() const { return test_support::ListFolder(install_.Path()); }

    // Empties the install folder down to a fresh, empty uninstall list.
    void ResetInstallFolder() {
        for (const std::string& name : Listing()) {
            test_support::SetFileMarks(install_.Join(name), 0);
            std::remove(install_.Join(name).c_str());
        }
        WriteInstalled(kUninstallListName, kEmptyList);
    }

    test_support::TempFolder install_;
    test_support::TempFolder scratch_;
    int updaters_ = 0;
};

// One application from an install folder holding only an empty uninstall list: the result, the
// files the folder holds afterwards (name and content, the list aside) and the list's text.
// In place of a file's content: the file must be there, its content is not compared.
const std::string kAnyContent = "<any content>";

struct ApplyCase {
    const char* label;
    std::vector<Member> members;
    Patch patch;
    uint32_t result;
    std::vector<std::pair<std::string, std::string>> files;
    std::string listText;
};

class ApplyTable : public ApplyUpdatePackageTest {
protected:
    void Run(const std::vector<ApplyCase>& cases) {
        for (const ApplyCase& c : cases) {
            SCOPED_TRACE(c.label);
            ResetInstallFolder();
            uint32_t result = Apply(c.members, c.patch);
            EXPECT_EQ(result, c.result) << std::hex << "0x" << result << " instead of 0x" << c.result;
            std::vector<std::string> expectedNames = {kUninstallListName};
            for (const auto& file : c.files) {
                if (std::find(expectedNames.begin(), expectedNames.end(), file.first) == expectedNames.end()) {
                    expectedNames.push_back(file.first);
                }
                if (file.second != kAnyContent) {
                    EXPECT_EQ(Installed(file.first), file.second) << file.first;
                }
            }
            std::sort(expectedNames.begin(), expectedNames.end());
            EXPECT_EQ(Listing(), expectedNames);
            EXPECT_EQ(Installed(kUninstallListName), c.listText + '\0');
        }
    }
};

std::vector<Member> Members(size_t count) {
    std::vector<Member> members;
    for (size_t i = 0; i < count; ++i) members.push_back(M("m" + std::to_string(i) + ".dat", "data " + std::to_string(i)));
    return members;
}

std::vector<std::pair<std::string, std::string>> FilesOf(const std::vector<Member>& members) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const Member& m : members) files.push_back({m.name, std::string(m.data.begin(), m.data.end())});
    return files;
}

std::string ListOf(const std::vector<Member>& members) {
    std::string text;
    for (const Member& m : members) text += m.name + "\n";
    return text;
}

TEST_F(ApplyTable, PackageShapeAndDirectory) {
    const std::vector<Member> two = {M("a.dat", "alpha"), HashList("cvn.hvl", {Hashed("a.dat", "alpha")})};
    const std::vector<Member> twentyFour = Members(24);
    Run({
        {"two members, verified", two, nullptr, UPDATE_OK, FilesOf(two), "a.dat\ncvn.hvl\n"},
        {"24 members", twentyFour, nullptr, UPDATE_OK, FilesOf(twentyFour), ListOf(twentyFour)},
        {"25 members", Members(25), nullptr, UPDATE_E_TOO_MANY_ENTRIES, {}, ""},
        {"entry count 0xFFFFFFFF", two, [](Bytes& f) { Put32(f, kEntryCountAt, 0xFFFFFFFFu); },
         UPDATE_E_TOO_MANY_ENTRIES, {}, ""},
        {"no members", {}, nullptr, UPDATE_OK, {}, ""},
        {"file shorter than the package offset", two, [](Bytes& f) { f.resize(100); }, UPDATE_E_PACKAGE_READ, {}, ""},
        {"file of exactly the package offset", two, [](Bytes& f) { f.resize(kPackageOffset); }, UPDATE_E_PACKAGE_READ,
         {}, ""},
        {"header cut short", two, [](Bytes& f) { f.resize(kPackageOffset + 15); }, UPDATE_E_PACKAGE_READ, {}, ""},
        {"directory cut short", two, [](Bytes& f) { f.resize(EntryAt(1) + 31); }, UPDATE_E_PACKAGE_READ, {}, ""},
        {"entry count beyond the directory", two, [](Bytes& f) { Put32(f, kEntryCountAt, 24); },
         UPDATE_E_PACKAGE_READ, {}, ""},
        // Members before a failing one stay written; nothing after it is tried.
        {"last member runs past the end", two, [](Bytes& f) { Put32(f, SizeFieldAt(1), 81); },
         UPDATE_E_PACKAGE_READ, {{"a.dat", "alpha"}}, ""},
        {"member at 2^31", two, [](Bytes& f) { Put32(f, OffsetFieldAt(0), 0x80000000u); }, UPDATE_E_PACKAGE_READ,
         {}, ""},
        // dataBase + offset wraps to 0x40 in 32 bits, inside the stub's zero-filled gap.
        {"member position past 32 bits", two,
         [](Bytes& f) { Put32(f, OffsetFieldAt(0), static_cast<uint32_t>(0x100000040ull - (kDirectoryOffset + 64))); },
         UPDATE_E_PACKAGE_READ, {}, ""},
        {"zero-size member", {M("empty.dat", "")}, nullptr, UPDATE_OK, {{"empty.dat", ""}}, "empty.dat\n"},
        {"members out of order and overlapping",
         {M("a.dat", "alpha"), M("b.dat", "beta")},
         [](Bytes& f) {
             Put32(f, OffsetFieldAt(0), 5);
             Put32(f, SizeFieldAt(0), 4);
             Put32(f, OffsetFieldAt(1), 1);
             Put32(f, SizeFieldAt(1), 3);
         },
         UPDATE_OK, {{"a.dat", "beta"}, {"b.dat", "lph"}}, "a.dat\nb.dat\n"},
    });
}

TEST_F(ApplyTable, HashList) {
    const Member kA = M("a.dat", "alpha");
    const Member kB = M("b.dat", "beta");
    const auto wrongForA = std::vector<HashedFile>{Hashed("a.dat", "not alpha")};
    const auto rightForA = std::vector<HashedFile>{Hashed("a.dat", "alpha")};
    auto listMember = [](const std::string& name, const std::vector<HashedFile>& files) {
        Member m = HashList(name, files);
        return std::make_pair(m.name, std::string(m.data.begin(), m.data.end()));
    };
    const std::string kEmptyChecksumName = "empty.dat";
    Run({
        {"CVN.HVL is the hash list", {HashList("CVN.HVL", wrongForA), kA}, nullptr, UPDATE_E_CHECKSUM,
         {listMember("CVN.HVL", wrongForA)}, ""},
        {"Cvn.Hvl is the hash list", {kA, HashList("Cvn.Hvl", wrongForA)}, nullptr, UPDATE_E_CHECKSUM, {}, ""},
        {"cvn.hvl.bak is just a member", {HashList("cvn.hvl.bak", wrongForA), kA}, nullptr, UPDATE_OK,
         {listMember("cvn.hvl.bak", wrongForA), {"a.dat", "alpha"}}, "cvn.hvl.bak\na.dat\n"},
        {"xcvn.hvl is just a member", {kA, HashList("xcvn.hvl", wrongForA)}, nullptr, UPDATE_OK,
         {{"a.dat", "alpha"}, listMember("xcvn.hvl", wrongForA)}, "a.dat\nxcvn.hvl\n"},
        {"only the first hash list counts", {HashList("cvn.hvl", rightForA), kA, HashList("cvn.hvl", wrongForA)},
         nullptr, UPDATE_OK, {{"a.dat", "alpha"}, listMember("cvn.hvl", wrongForA)}, "cvn.hvl\na.dat\n"},
        {"the first hash list counts even when it is the wrong one",
         {HashList("cvn.hvl", wrongForA), kA, HashList("cvn.hvl", rightForA)}, nullptr, UPDATE_E_CHECKSUM,
         {listMember("cvn.hvl", wrongForA)}, ""},
        {"a first list with bad magic leaves no list",
         {HashList("cvn.hvl", rightForA), kA, HashList("cvn.hvl", wrongForA)}, [](Bytes& f) { f.at(kDirectoryOffset + 3 * sizeof(PackageEntry)) = 'X'; },
         UPDATE_OK, {{"a.dat", "alpha"}, listMember("cvn.hvl", wrongForA)}, "cvn.hvl\na.dat\n"},
        {"short hash list header", {kA, M("cvn.hvl", "ZRT_____")}, nullptr, UPDATE_OK,
         {{"a.dat", "alpha"}, {"cvn.hvl", "ZRT_____"}}, "a.dat\ncvn.hvl\n"},
        {"table past the end of the file", {kA, HashList("cvn.hvl", wrongForA)},
         [](Bytes& f) { Put32(f, f.size() - 64 - 4, 2); }, UPDATE_OK, {{"a.dat", "alpha"}, {"cvn.hvl", kAnyContent}},
         "a.dat\ncvn.hvl\n"},
        {"table size beyond 32 bits", {kA, HashList("cvn.hvl", wrongForA)},
         [](Bytes& f) { Put32(f, f.size() - 64 - 4, 0x04000001u); }, UPDATE_OK, {{"a.dat", "alpha"}, {"cvn.hvl", kAnyContent}},
         "a.dat\ncvn.hvl\n"},
        {"second of three fails", {kA, kB, M("c.dat", "gamma"),
                                   HashList("cvn.hvl", {Hashed("a.dat", "alpha"), Hashed("b.dat", "BETA")})},
         nullptr, UPDATE_E_CHECKSUM, {{"a.dat", "alpha"}}, ""},
        {"unnamed member unverified", {kB, HashList("cvn.hvl", rightForA)}, nullptr, UPDATE_OK, {{"b.dat", "beta"}, {"cvn.hvl", kAnyContent}},
         "b.dat\ncvn.hvl\n"},
        {"names compared ignoring ASCII case", {M("DATA01000.ARC", "x"), HashList("cvn.hvl", {Hashed("data01000.arc", "y")})},
         nullptr, UPDATE_E_CHECKSUM, {}, ""},
        // 0x83 0x41 and 0x83 0x61 differ in an ASCII-range trail byte, which lowercasing folds.
        {"trail bytes in ASCII range fold too", {M("\x83\x41.dat", "x"), HashList("cvn.hvl", {Hashed("\x83\x61.dat", "y")})},
         nullptr, UPDATE_E_CHECKSUM, {}, ""},
        {"bytes of 0x80 and above match exactly", {M("\x82\xA0.dat", "x"), HashList("cvn.hvl", {Hashed("\x82\xA1.dat", "y")})},
         nullptr, UPDATE_OK, {{"\x82\xA0.dat", "x"}, {"cvn.hvl", kAnyContent}}, "\x82\xA0.dat\ncvn.hvl\n"},
        {"first of two entries counts", {kA, HashList("cvn.hvl", {Hashed("a.dat", "alpha"), Hashed("a.dat", "no")})},
         nullptr, UPDATE_OK, {{"a.dat", "alpha"}, {"cvn.hvl", kAnyContent}}, "a.dat\ncvn.hvl\n"},
        {"first of two entries counts, wrong one first",
         {kA, HashList("cvn.hvl", {Hashed("a.dat", "no"), Hashed("a.dat", "alpha")})}, nullptr, UPDATE_E_CHECKSUM, {}, ""},
        {"empty member with zero checksum", {M(kEmptyChecksumName, ""), HashList("cvn.hvl", {Hashed(kEmptyChecksumName, "")})},
         nullptr, UPDATE_OK, {{kEmptyChecksumName, ""}, {"cvn.hvl", kAnyContent}}, "empty.dat\ncvn.hvl\n"},
        {"empty member, list expects content", {M(kEmptyChecksumName, ""), HashList("cvn.hvl", {Hashed(kEmptyChecksumName, "z")})},
         nullptr, UPDATE_E_CHECKSUM, {}, ""},
    });
}

TEST_F(ApplyTable, HostileNamesAreRefusedBeforeAnythingIsWritten) {
    // Each hostile name is the second member, behind a harmless one that must not be written.
    auto behindOne = [](const std::string& name) { return std::vector<Member>{M("first.dat", "1"), M(name, "x")}; };
    const char* const kRefused[] = {
        "\\evil.dat", "/evil.dat", "c:evil.dat", "evil.dat:ads", "..\\evil.dat", "../evil.dat", "..",
        "sub\\..\\..\\e", "a/../../e", ". .\\evil.dat", "...\\evil.dat", ".. \\evil.dat", "sub\\..",
        "sixteen_bytes_xx",  // fills the field with no NUL
        // A lead byte before a byte that cannot end a character is a character of its own: the
        // mark after it counts.
        "\x81:evil.dat", "\x81/../e",
    };
    std::vector<ApplyCase> cases;
    for (const char* name : kRefused) cases.push_back({name, behindOne(name), nullptr, UPDATE_E_PACKAGE_READ, {}, ""});
    Run(cases);
}

TEST_F(ApplyTable, NamesThatStayInsideAreWritten) {
    // 0x95 0x5C is one character whose second byte is a backslash's: not a separator.
    const std::string kHyo = "\x95\x5C";
    Run({
        {"dots inside a name", {M("..x", "1"), M("a..b", "2"), M(". x", "3")}, nullptr, UPDATE_OK,
         {{"..x", "1"}, {"a..b", "2"}, {". x", "3"}}, "..x\na..b\n. x\n"},
        {"trail byte 0x5C", {M(kHyo + ".txt", "hyo")}, nullptr, UPDATE_OK, {{kHyo + ".txt", "hyo"}}, kHyo + ".txt\n"},
    });
    // Read byte by byte, this would be "\x95" and a component ".." that climbs out; it is one
    // character and two dots. Where the file lands differs: Windows drops trailing dots.
    ResetInstallFolder();
    EXPECT_EQ(Apply({M(kHyo + "..", "x")}), UPDATE_OK);
    EXPECT_EQ(Installed(kUninstallListName), kHyo + "..\n" + kEmptyList);
}

TEST_F(ApplyUpdatePackageTest, FolderPartNeedsAnExistingFolder) {
    const struct {
        const char* name;
        const char* folder;
        bool folderExists;
        uint32_t result;
    } kCases[] = {
        {"sub\\a.dat", "sub", true, UPDATE_OK},
        {"sub/a.dat", "sub", true, UPDATE_OK},
        {"\x95\x5C\\a.dat", "\x95\x5C", true, UPDATE_OK},
        {"sub\\a.dat", "sub", false, UPDATE_E_CREATE_FILE},
        {"s1\\s2\\a.dat", "s1", true, UPDATE_E_CREATE_FILE},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        test_support::TempFolder install;
        ASSERT_TRUE(test_support::WriteFileBytes(install.Join(kUninstallListName), ToBytes(kEmptyList)));
        std::string folder = install.Join(c.folder);
        if (c.folderExists) {
            ASSERT_TRUE(test_support::MakeFolder(folder));
        }
        EXPECT_EQ(ApplyUpdatePackageFrom(WriteUpdater({M(c.name, "in sub")}).c_str(), install.Path().c_str()), c.result);
        Bytes bytes;
        bool written = test_support::ReadFileBytes(folder + test_support::kSeparator + "a.dat", &bytes);
        EXPECT_EQ(written, c.result == UPDATE_OK);
        Bytes list;
        ASSERT_TRUE(test_support::ReadFileBytes(install.Join(kUninstallListName), &list));
        EXPECT_EQ(list, ToBytes(c.result == UPDATE_OK ? std::string(c.name) + "\n" + kEmptyList : kEmptyList));
    }
}

TEST_F(ApplyUpdatePackageTest, MarkedTargetIsReplaced) {
    for (unsigned marks : test_support::SupportedMarkSets()) {
        SCOPED_TRACE(testing::Message() << "marks " << marks);
        ResetInstallFolder();
        WriteInstalled("game.exe", "old version");
        ASSERT_TRUE(test_support::SetFileMarks(install_.Join("game.exe"), marks));
        EXPECT_EQ(Apply({M("game.exe", "new")}), UPDATE_OK);
        EXPECT_EQ(Installed("game.exe"), "new");
        EXPECT_EQ(test_support::GetFileMarks(install_.Join("game.exe")), 0u);
    }
}

TEST_F(ApplyUpdatePackageTest, TargetThatCannotBeCreated) {
    const struct {
        const char* label;
        const char* holderMode;  // another process holds game.exe open this way, or null
        bool targetIsFolder;
    } kCases[] = {
        {"held open for reading", "read", false},
        {"held open for writing", "write", false},
        {"a folder of that name", nullptr, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        ResetInstallFolder();
        std::string target = install_.Join("game.exe");
        if (c.targetIsFolder) {
            ASSERT_TRUE(test_support::MakeFolder(target));
        } else {
            WriteInstalled("game.exe", "old");
        }
        test_support::HeldFile other;
        if (c.holderMode != nullptr) {
            ASSERT_TRUE(other.Hold(c.holderMode, target));
        }
        // The first member is written, the second fails, the third is not tried.
        EXPECT_EQ(Apply({M("a.dat", "a"), M("game.exe", "new"), M("c.dat", "c")}), UPDATE_E_CREATE_FILE);
        if (c.holderMode != nullptr) {
            EXPECT_TRUE(other.Release());
        }
        EXPECT_EQ(Installed("a.dat"), "a");
        EXPECT_FALSE(test_support::FileExists(install_.Join("c.dat")));
        EXPECT_EQ(Installed(kUninstallListName), kEmptyList);
        if (c.holderMode != nullptr && std::string(c.holderMode) == "read") {
            EXPECT_EQ(Installed("game.exe"), "old");
        }
        std::remove(target.c_str());
    }
}

TEST_F(ApplyUpdatePackageTest, UninstallListProblemsComeLastAsTheirOwnCode) {
    const std::vector<Member> members = {M("a.dat", "a")};
    // Missing list: every member is written, the list is not created.
    ASSERT_TRUE(test_support::ListFolder(install_.Path()).empty());
    EXPECT_EQ(Apply(members), UPDATE_E_UNINSTALL_LIST);
    EXPECT_EQ(Listing(), std::vector<std::string>{"a.dat"});
    EXPECT_EQ(Apply({}), UPDATE_E_UNINSTALL_LIST) << "an empty package still needs the list";

    // Read-only list: read, not rewritten.
    WriteInstalled(kUninstallListName, "old\n" + kEmptyList);
    if (test_support::MarksRefuseReplacing(test_support::kMarkReadOnly)) {
        ASSERT_TRUE(test_support::SetFileMarks(ListPath(), test_support::kMarkReadOnly));
        EXPECT_EQ(Apply({M("b.dat", "b")}), UPDATE_E_UNINSTALL_LIST);
        EXPECT_EQ(Installed("b.dat"), "b");
        EXPECT_EQ(Installed(kUninstallListName), "old\n" + kEmptyList);
        ASSERT_TRUE(test_support::SetFileMarks(ListPath(), 0));
    }

    // Held open for reading by another process: members written, list unchanged.
    test_support::HeldFile other;
    ASSERT_TRUE(other.Hold("read", ListPath()));
    EXPECT_EQ(Apply({M("c.dat", "c")}), UPDATE_E_UNINSTALL_LIST);
    EXPECT_TRUE(other.Release());
    EXPECT_EQ(Installed("c.dat"), "c");
    EXPECT_EQ(Installed(kUninstallListName), "old\n" + kEmptyList);
}

// Paths are built in 260 bytes: folder, backslash, name and NUL for a target; folder,
// backslash, "uninst.lst" and NUL for the list.
TEST_F(ApplyUpdatePackageTest, PathsMustFitTwoHundredSixtyBytes) {
    const struct {
        size_t folderLength;
        const char* name;
        uint32_t result;
    } kCases[] = {
        {248, "abcdefghij", UPDATE_OK},               // 248 + 1 + 10 = 259 bytes, list 259 bytes
        {248, "abcdefghijk", UPDATE_E_CREATE_FILE},   // target of 260 bytes
        {249, "a", UPDATE_E_UNINSTALL_LIST},          // list path of 260 bytes
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.folderLength << "-byte folder, " << c.name);
        test_support::TempFolder base;
        std::string folder = test_support::MakeFolderOfLength(base.Path(), c.folderLength);
        std::string list = folder + test_support::kSeparator + kUninstallListName;
        if (folder.empty() || !test_support::WriteFileBytes(list, ToBytes(kEmptyList))) {
            GTEST_SKIP() << "this platform cannot create a folder of " << c.folderLength << " bytes with a list in it";
        }
        EXPECT_EQ(ApplyUpdatePackageFrom(WriteUpdater({M(c.name, "x")}).c_str(), folder.c_str()), c.result);
        EXPECT_EQ(test_support::FileExists(folder + test_support::kSeparator + c.name), c.result != UPDATE_E_CREATE_FILE);
    }
}

TEST(FileChecksumTest, KnownValues) {
    const struct {
        std::string data;
        uint8_t stored[8];
    } kCases[] = {
        {"", {0, 0, 0, 0, 0, 0, 0, 0}},
        {"abc", {0x06, 0xb4, 0x50, 0x00, 0x12, 0xcc, 0x26, 0x60}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.data);
        FileChecksum state = {};
        UpdateChecksum(&state, c.data.data(), static_cast<uint32_t>(c.data.size()));
        EXPECT_EQ(0, std::memcmp(&state, c.stored, sizeof(state)));
    }
    // Folding in pieces gives the same result as at once; bytes count unsigned.
    FileChecksum whole = {}, pieces = {};
    const uint8_t kBytes[] = {0xFF, 0x80, 0x00, 0x7F, 0x01};
    UpdateChecksum(&whole, kBytes, sizeof(kBytes));
    UpdateChecksum(&pieces, kBytes, 2);
    UpdateChecksum(&pieces, kBytes + 2, 0);
    UpdateChecksum(&pieces, kBytes + 2, 3);
    EXPECT_TRUE(ChecksumsEqual(whole, pieces));
    EXPECT_EQ(whole.sumBytes, static_cast<uint8_t>(0xFF + 0x80 + 0x7F + 0x01));
}

// Updaters built from the apply_self stub, run as real processes: the own file is found by
// the operating system's own means and the result comes back as the exit code.
TEST(UpdaterProcessTest, RealUpdaterAppliesItsOwnPackage) {
    test_support::TempFolder scratch, install;
    Bytes stub;
    ASSERT_TRUE(test_support::ReadFileBytes(test_support::HelperProgram("apply_self"), &stub));
    ASSERT_LE(stub.size(), kPackageOffset);
    ASSERT_TRUE(test_support::WriteFileBytes(install.Join(kUninstallListName), ToBytes("old\n" + kEmptyList)));

    const struct {
        const char* label;
        std::vector<Member> members;
        uint32_t result;
    } kCases[] = {
        {"checksum failure", {M("a.dat", "alpha"), HashList("cvn.hvl", {Hashed("a.dat", "ALPHA")})}, UPDATE_E_CHECKSUM},
        {"success", {M("a.dat", "alpha"), HashList("CVN.hvl", {Hashed("a.dat", "alpha")})}, UPDATE_OK},
    };
    int index = 0;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        std::string updater = scratch.Join("setup" + std::to_string(index++) + ".exe");
        ASSERT_TRUE(test_support::WriteFileBytes(updater, LayOutUpdater(stub, c.members)));
        ASSERT_TRUE(test_support::MakeExecutable(updater));
        EXPECT_EQ(test_support::RunProcess({updater, install.Path()}), test_support::AsExitCode(c.result));
    }
    Bytes written;
    ASSERT_TRUE(test_support::ReadFileBytes(install.Join("a.dat"), &written));
    EXPECT_EQ(written, ToBytes("alpha"));
    Bytes list;
    ASSERT_TRUE(test_support::ReadFileBytes(install.Join(kUninstallListName), &list));
    EXPECT_EQ(list, ToBytes("old\na.dat\nCVN.hvl\n" + kEmptyList));

    // The stub alone carries no package: its file ends before the package offset.
    EXPECT_EQ(test_support::RunProcess({test_support::HelperProgram("apply_self"), install.Path()}),
              test_support::AsExitCode(UPDATE_E_PACKAGE_READ));
}

}  // namespace
