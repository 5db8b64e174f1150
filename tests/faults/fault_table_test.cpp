// The table of faults: one row per fault that an updater run can meet, each run through a real
// updater process (the apply_self stub with a package appended by the writer). A row is state,
// run, state: the install folder before, the run with the fault in place and its result code,
// the folder and "uninst.lst" after. Then the fault is taken away and the updater runs again:
// the install must come out complete, and nothing the folder held may be lost beyond what the
// update replaces by design. Recovery is a rerun.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "install/uninstall_list.h"
#include "package/package_format.h"
#include "package/update_result.h"
#include "tests/faults/limited_run.h"
#include "tests/support/child_process.h"
#include "tests/support/test_files.h"
#include "tools/package_writer.h"

namespace {

using faults::Limit;
using package_writer::Bytes;
using package_writer::Member;
using test_support::ToBytes;

// ---- the packages

// Members in directory order; the hash list is always the last one, as mkupdate writes it.
enum class Shape {
    kStandard,    // a new archive, a replaced program, the hash list
    kShortNames,  // the same with names of at most 8 bytes, for the list path's limit
    kBigMember,   // a 16 MiB archive between the two small members
    kBigHashList, // a hash list of 16 MiB (262144 names), the two small members verified by it
};

constexpr uint32_t kMiB = 1024 * 1024;
constexpr uint32_t kBigSize = 16 * kMiB;

Bytes Pattern(size_t size, uint32_t seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

struct Package {
    std::vector<Member> members;  // hash list included
    Bytes file;                   // the intact updater file
    std::vector<size_t> starts;   // file position of each member's bytes

    size_t HashListAt() const { return starts.back(); }
};

Package MakePackage(const Bytes& stub, Shape shape) {
    const char* archive = shape == Shape::kShortNames ? "d1.arc" : "data01.arc";
    Package package;
    package.members = {{archive, Pattern(5000, 1)}, {"game.exe", Pattern(300, 2)}};
    if (shape == Shape::kBigMember) package.members.insert(package.members.begin() + 1, {"big.arc", Pattern(kBigSize, 3)});
    std::vector<package_writer::HashedFile> hashed;
    for (const Member& m : package.members) hashed.push_back({m.name, package_writer::ChecksumOf(m.data)});
    if (shape == Shape::kBigHashList) {
        // Files of the game that this update does not carry: they only make the table large.
        char name[32];
        while (hashed.size() * sizeof(HashListEntry) + sizeof(HashListHeader) < kBigSize) {
            std::snprintf(name, sizeof(name), "other%06zu.dat", hashed.size());
            hashed.push_back({name, package_writer::ChecksumOf(Bytes{1})});
        }
    }
    package.members.push_back({"CVN.hvl", package_writer::BuildHashList(hashed)});
    package.file = package_writer::LayOutUpdater(stub, package.members);
    size_t at = kDirectoryOffset + package.members.size() * sizeof(PackageEntry);
    for (const Member& m : package.members) {
        package.starts.push_back(at);
        at += m.data.size();
    }
    return package;
}

// ---- the install folder

const char kSaveName[] = "save.dat";  // the player's own file: no update may touch it

// What a folder holds: name to bytes; exists is false for a missing folder.
struct FolderState {
    bool exists = false;
    std::map<std::string, Bytes> files;
    bool operator==(const FolderState& other) const { return exists == other.exists && files == other.files; }
};

FolderState ReadFolder(const std::string& folder) {
    FolderState state;
    state.exists = test_support::FileExists(folder);
    for (const std::string& name : test_support::ListFolder(folder)) {
        test_support::ReadFileBytes(folder + test_support::kSeparator + name, &state.files[name]);
    }
    return state;
}

std::string Describe(const FolderState& state) {
    if (!state.exists) return "  (no folder)\n";
    std::string text;
    for (const auto& file : state.files) {
        text += "  " + file.first + ": " + std::to_string(file.second.size()) + " bytes";
        if (file.second.size() <= 40) text += " \"" + std::string(file.second.begin(), file.second.end()) + "\"";
        text += "\n";
    }
    return text;
}

// The list as the game's installer leaves it: one line per installed file, then the NUL.
std::vector<std::string> OldLines() {
    std::vector<std::string> lines = {"game.exe", kSaveName, kUninstallListName};
    // Enough lines that the list is larger than any small member (the file size limit rows).
    for (int i = 0; i < 400; ++i) lines.push_back("system\\file" + std::to_string(1000 + i) + ".dat");
    return lines;
}

Bytes ListOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    Bytes bytes = ToBytes(text);
    bytes.push_back('\0');
    return bytes;
}

// The list after a complete update: the names that it did not hold appended in member order.
Bytes CompletedList(const Bytes& list, const std::vector<Member>& members) {
    Bytes text(list.begin(), list.end() - 1);
    for (const Member& m : members) {
        if (std::search(text.begin(), text.end(), m.name.begin(), m.name.end()) != text.end()) continue;
        text.insert(text.end(), m.name.begin(), m.name.end());
        text.push_back('\n');
    }
    text.push_back('\0');
    return text;
}

// ---- the rows

enum class ListAfter { kUnchanged, kCompleted, kCompletedCut };

struct Fault {
    std::string label;
    Shape shape = Shape::kStandard;
    std::function<void(Bytes&)> damage;  // the updater file as this row runs it
    Limit limit = Limit::kNone;
    uint64_t limitBytes = 0;              // for kAddressSpace: above the updater's starting need
    std::string heldFile;                 // a file of the install folder another process holds
    std::string holdMode;
    std::string markedFile;               // a file marked read-only, hidden or system
    unsigned marks = 0;
    size_t folderLength = 0;              // an install folder of exactly this many bytes
    std::function<void(const std::string& folder)> prepare;  // more of the fault, in the folder
    std::function<void(std::string& folder)> fix;            // takes that part away again

    uint32_t result = UPDATE_OK;
    size_t written = 0;                   // members that are in place after the run, in order
    size_t partialBytes = 0;              // then the next member's first bytes, if not 0
    ListAfter list = ListAfter::kUnchanged;
    uint64_t listCut = 0;                 // for kCompletedCut: bytes of the completed list
};

// File positions of the records of the standard package.
constexpr size_t kDataBase = kDirectoryOffset + 3 * sizeof(PackageEntry);

std::function<void(Bytes&)> CutAt(size_t size) {
    return [size](Bytes& file) { file.resize(size); };
}
std::function<void(Bytes&)> FlipAt(size_t at) {
    return [at](Bytes& file) { file.at(at) ^= 0x01; };
}

void WriteList(const std::string& folder, const Bytes& list) {
    ASSERT_TRUE(test_support::WriteFileBytes(folder + test_support::kSeparator + kUninstallListName, list));
}

class FaultTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test_support::ReadFileBytes(test_support::HelperProgram("apply_self"), &stub_));
        ASSERT_LE(stub_.size(), kPackageOffset);
    }

    const Package& PackageOf(Shape shape) {
        auto found = packages_.find(shape);
        if (found == packages_.end()) found = packages_.emplace(shape, MakePackage(stub_, shape)).first;
        return found->second;
    }

    std::string WriteUpdater(const Bytes& file) {
        std::string path = scratch_.Join("setup" + std::to_string(++updaters_) + ".exe");
        EXPECT_TRUE(test_support::WriteFileBytes(path, file));
        EXPECT_TRUE(test_support::MakeExecutable(path));
        return path;
    }

    uint32_t Run(const std::string& updater, const std::string& folder, Limit limit = Limit::kNone,
                 uint64_t bytes = 0, bool quiet = false) {
        return test_support::RunProcess(faults::UnderLimit(limit, bytes, {updater, folder}, quiet), 120000);
    }

    // The smallest address space the updater starts in at all, found with a package of 25
    // entries, which it refuses before it allocates anything. Under exactly this limit its
    // first allocation, the directory, fails.
    uint64_t StartingNeed() {
        if (startingNeed_ != 0) return startingNeed_;
        Bytes file = PackageOf(Shape::kStandard).file;
        file[kPackageOffset + 12] = 25;
        std::string updater = WriteUpdater(file);
        test_support::TempFolder folder;
        auto starts = [&](uint64_t limit) {
            return Run(updater, folder.Path(), Limit::kAddressSpace, limit, true) ==
                   test_support::AsExitCode(UPDATE_E_TOO_MANY_ENTRIES);
        };
        uint64_t low = 0, high = 1024ull * kMiB;
        if (!starts(high)) return 0;
        while (high - low > 4096) {
            uint64_t middle = (low + high) / 2 / 4096 * 4096;
            (starts(middle) ? high : low) = middle;
        }
        return startingNeed_ = high;
    }

    // The install folder as the game left it: an old program, the player's file, the list.
    std::string MakeInstall(const test_support::TempFolder& base, size_t length) {
        std::string folder = length == 0 ? base.Join("game") : test_support::MakeFolderOfLength(base.Path(), length);
        if (folder.empty()) return folder;
        if (length == 0) {
            EXPECT_TRUE(test_support::MakeFolder(folder));
        }
        auto put = [&](const std::string& name, const Bytes& bytes) {
            EXPECT_TRUE(test_support::WriteFileBytes(folder + test_support::kSeparator + name, bytes));
        };
        put("game.exe", ToBytes("MZ old game"));
        put(kSaveName, ToBytes("the player's progress"));
        put(kUninstallListName, ListOf(OldLines()));
        return folder;
    }

    void RunRow(const Fault& row);

    Bytes stub_;
    std::map<Shape, Package> packages_;
    test_support::TempFolder scratch_;
    int updaters_ = 0;
    uint64_t startingNeed_ = 0;
};

void FaultTable::RunRow(const Fault& row) {
    SCOPED_TRACE(row.label);
    const Package& package = PackageOf(row.shape);
    ASSERT_FALSE(package.file.empty());
    Bytes faulty = package.file;
    if (row.damage) row.damage(faulty);

    test_support::TempFolder base;
    std::string folder = MakeInstall(base, row.folderLength);
    if (folder.empty()) {
        ADD_FAILURE() << "cannot make an install folder of " << row.folderLength << " bytes here";
        return;
    }
    auto inFolder = [&folder](const std::string& name) { return folder + test_support::kSeparator + name; };
    if (!row.markedFile.empty()) {
        ASSERT_TRUE(test_support::SetFileMarks(inFolder(row.markedFile), row.marks));
    }
    if (row.prepare) row.prepare(folder);
    const FolderState before = ReadFolder(folder);

    // The run with the fault in place.
    uint64_t limitBytes = row.limitBytes;
    if (row.limit == Limit::kAddressSpace) {
        uint64_t need = StartingNeed();
        ASSERT_NE(need, 0u) << "the updater does not start under any address-space limit";
        limitBytes += need;
    }
    std::string updater = WriteUpdater(faulty);
    uint32_t result;
    {
        test_support::HeldFile other;
        if (!row.heldFile.empty()) {
            ASSERT_TRUE(other.Hold(row.holdMode, inFolder(row.heldFile)));
        }
        result = Run(updater, folder, row.limit, limitBytes);
        if (!row.heldFile.empty()) {
            EXPECT_TRUE(other.Release());
        }
    }
    EXPECT_EQ(result, test_support::AsExitCode(row.result)) << std::hex << "result 0x" << result;

    // What the run must have left: the members up to the fault carry the bytes this updater
    // file holds for them (damaged ones included), the rest of the folder is as it was.
    FolderState expected = before;
    for (size_t i = 0; i < package.members.size() && expected.exists; ++i) {
        const Member& m = package.members[i];
        auto carried = faulty.begin() + static_cast<std::ptrdiff_t>(package.starts[i]);
        if (i < row.written) {
            expected.files[m.name] = Bytes(carried, carried + static_cast<std::ptrdiff_t>(m.data.size()));
        } else if (i == row.written && row.partialBytes != 0) {
            expected.files[m.name] = Bytes(carried, carried + static_cast<std::ptrdiff_t>(row.partialBytes));
        }
    }
    if (row.list != ListAfter::kUnchanged) {
        Bytes& list = expected.files[kUninstallListName];
        list = CompletedList(list, package.members);
        if (row.list == ListAfter::kCompletedCut) list.resize(row.listCut);
    }
    FolderState after = ReadFolder(folder);
    EXPECT_TRUE(after == expected) << "after the run:\n" << Describe(after) << "expected:\n" << Describe(expected);
    if (row.markedFile != kUninstallListName && !row.markedFile.empty() && row.written == package.members.size()) {
        EXPECT_EQ(test_support::GetFileMarks(inFolder(row.markedFile)), 0u) << "a replaced file keeps no mark";
    }

    // The fault taken away, the intact updater once more: a complete install.
    if (!row.markedFile.empty()) test_support::SetFileMarks(inFolder(row.markedFile), 0);
    if (row.fix) row.fix(folder);
    const FolderState fixedBefore = ReadFolder(folder);
    EXPECT_EQ(Run(WriteUpdater(package.file), folder), test_support::AsExitCode(UPDATE_OK)) << "the rerun";
    FolderState done = ReadFolder(folder);
    for (const Member& m : package.members) {
        EXPECT_TRUE(done.files.count(m.name) != 0 && done.files[m.name] == m.data) << m.name << " not in place";
    }
    // The list: the old lines, then every new name exactly once, and nothing else.
    std::vector<std::string> lines = OldLines();
    for (const Member& m : package.members) {
        if (std::find(lines.begin(), lines.end(), m.name) == lines.end()) lines.push_back(m.name);
    }
    Bytes list = done.files[kUninstallListName];
    EXPECT_TRUE(list == ListOf(lines)) << "the list after the rerun ends with \""
                                       << std::string(list.end() - std::min<size_t>(list.size(), 60), list.end())
                                       << "\"";
    // Everything else is as the fixed folder held it; the player's file as it ever was.
    for (const auto& file : fixedBefore.files) {
        bool isMember = std::any_of(package.members.begin(), package.members.end(),
                                    [&](const Member& m) { return m.name == file.first; });
        if (!isMember && file.first != kUninstallListName) {
            EXPECT_TRUE(done.files[file.first] == file.second) << file.first << " changed";
        }
    }
    EXPECT_TRUE(done.files[kSaveName] == ToBytes("the player's progress"));
    EXPECT_EQ(done.files.size(), package.members.size() + 2) << "after the rerun:\n" << Describe(done);
}

TEST_F(FaultTable, EachFaultThenARerun) {
    const Package& standard = PackageOf(Shape::kStandard);
    const size_t kArchiveAt = standard.starts[0], kGameAt = standard.starts[1], kListAt = standard.HashListAt();
    const size_t kEnd = standard.file.size();
    ASSERT_EQ(kArchiveAt, kDataBase);
    const size_t kCount = standard.members.size();
    const Bytes kOldList = ListOf(OldLines());
    auto restoreList = [kOldList](std::string& folder) { WriteList(folder, kOldList); };

    std::vector<Fault> rows;
    auto add = [&rows](Fault row) { rows.push_back(std::move(row)); };
    auto cut = [&](const std::string& where, size_t size, size_t written, uint32_t result = UPDATE_E_PACKAGE_READ) {
        Fault row;
        row.label = "updater file cut " + where + " (" + std::to_string(size) + " bytes)";
        row.damage = CutAt(size);
        row.result = result;
        row.written = written;
        add(row);
    };
    // Cut before the hash list is complete, the table is never loaded: the members before the
    // cut are written unverified, the first member that runs past the end stops the run.
    cut("before the package offset", kPackageOffset - 1, 0);
    cut("at the package offset", kPackageOffset, 0);
    cut("inside the header", kPackageOffset + 8, 0);
    cut("after the header", kDirectoryOffset, 0);
    for (size_t e = 0; e < kCount; ++e) {
        cut("inside entry " + std::to_string(e + 1), kDirectoryOffset + e * sizeof(PackageEntry) + 16, 0);
        if (e + 1 < kCount) cut("after entry " + std::to_string(e + 1), kDirectoryOffset + (e + 1) * sizeof(PackageEntry), 0);
    }
    cut("after the directory", kDataBase, 0);
    cut("inside the archive", kArchiveAt + 2500, 0);
    cut("after the archive", kGameAt, 1);
    cut("inside the program", kGameAt + 150, 1);
    cut("after the program", kListAt, 2);
    cut("inside the hash list header", kListAt + 8, 2);
    cut("after the hash list header", kListAt + sizeof(HashListHeader), 2);
    cut("inside the hash table", kListAt + sizeof(HashListHeader) + 64 + 10, 2);
    cut("one byte short", kEnd - 1, 2);

    auto flip = [&](const std::string& what, size_t at, uint32_t result, size_t written, ListAfter list) {
        Fault row;
        row.label = "one byte flipped in " + what;
        row.damage = FlipAt(at);
        row.result = result;
        row.written = written;
        row.list = list;
        add(row);
    };
    flip("the archive", kArchiveAt + 1234, UPDATE_E_CHECKSUM, 0, ListAfter::kUnchanged);
    flip("the program", kGameAt + 100, UPDATE_E_CHECKSUM, 1, ListAfter::kUnchanged);
    // The hash list is not named by itself: a flip there changes what is verified, not the list.
    flip("the hash list's magic", kListAt + 2, UPDATE_OK, kCount, ListAfter::kCompleted);
    flip("the hash list's reserved field", kListAt + 9, UPDATE_OK, kCount, ListAfter::kCompleted);
    // 2 entries become 3: the table would run past the end of the file, so there is none.
    flip("the hash list's count", kListAt + 12, UPDATE_OK, kCount, ListAfter::kCompleted);
    // "data01.arc" becomes "eata01.arc": the archive is no longer named, so it goes unverified.
    flip("a hash entry's name", kListAt + sizeof(HashListHeader), UPDATE_OK, kCount, ListAfter::kCompleted);
    flip("a hash entry's checksum", kListAt + sizeof(HashListHeader) + 56 + 3, UPDATE_E_CHECKSUM, 0,
         ListAfter::kUnchanged);
    flip("the package signature, which nobody tests", kPackageOffset + 3, UPDATE_OK, kCount, ListAfter::kCompleted);

    if (faults::AddressSpaceLimitsWork()) {
        Fault row;
        row.label = "no memory for the directory";
        row.limit = Limit::kAddressSpace;
        row.result = UPDATE_E_PACKAGE_READ;
        add(row);

        row = Fault();
        row.label = "no memory for a 16 MiB member";
        row.shape = Shape::kBigMember;
        row.limit = Limit::kAddressSpace;
        row.limitBytes = 8 * kMiB;
        row.result = UPDATE_E_PACKAGE_READ;
        row.written = 1;
        add(row);

        // A table the file holds but memory cannot: nothing is written, so the damaged archive
        // does not go in unverified in place of the sound one.
        row = Fault();
        row.label = "no memory for a 16 MiB hash table, the archive damaged";
        row.shape = Shape::kBigHashList;
        row.damage = FlipAt(kArchiveAt + 1234);
        row.limit = Limit::kAddressSpace;
        row.limitBytes = 8 * kMiB;
        row.result = UPDATE_E_PACKAGE_READ;
        row.written = 0;
        add(row);

        row = Fault();
        row.label = "no memory for the uninstall list's buffer";
        row.limit = Limit::kAddressSpace;
        row.limitBytes = kMiB / 2;
        row.result = UPDATE_E_UNINSTALL_LIST;
        row.written = kCount;
        add(row);
    }

    if (faults::LimitsAvailable()) {
        Fault row;
        row.label = "a member write stops part way (file size limit)";
        row.limit = Limit::kFileSize;
        row.limitBytes = 1000;
        row.result = UPDATE_E_CREATE_FILE;
        row.partialBytes = 1000;
        add(row);

        for (size_t into : {size_t{3}, size_t{11}, size_t{14}}) {
            row = Fault();
            row.label = "the list rewrite stops " + std::to_string(into) + " bytes into the new lines";
            row.limit = Limit::kFileSize;
            row.limitBytes = kOldList.size() - 1 + into;
            row.result = UPDATE_E_UNINSTALL_LIST;
            row.written = kCount;
            row.list = ListAfter::kCompletedCut;
            row.listCut = row.limitBytes;
            add(row);
        }
    }

    // Held for writing without truncating, so that the holder itself changes nothing.
    const std::pair<const char*, const char*> kHoldModes[] = {{"read", "reading"}, {"rewrite", "writing"}};
    for (const auto& mode : kHoldModes) {
        Fault row;
        row.label = std::string("the program held open for ") + mode.second + " by another process";
        row.heldFile = "game.exe";
        row.holdMode = mode.first;
        row.result = UPDATE_E_CREATE_FILE;
        row.written = 1;
        add(row);

        row = Fault();
        row.label = std::string("uninst.lst held open for ") + mode.second + " by another process";
        row.heldFile = kUninstallListName;
        row.holdMode = mode.first;
        row.result = UPDATE_E_UNINSTALL_LIST;
        row.written = kCount;
        add(row);
    }

    const char* const kMarkNames[] = {"", "read-only", "hidden", "", "system"};
    for (unsigned marks : test_support::SupportedMarkSets()) {
        if (marks != test_support::kMarkReadOnly && marks != test_support::kMarkHidden &&
            marks != test_support::kMarkSystem) {
            continue;
        }
        Fault row;
        row.label = std::string("the program marked ") + kMarkNames[marks];
        row.markedFile = "game.exe";
        row.marks = marks;
        row.written = kCount;
        row.list = ListAfter::kCompleted;
        add(row);

        // The list is rewritten in place and its marks are left alone: hidden and system refuse
        // the rewrite always, read-only where the system enforces it.
        bool refused = marks != test_support::kMarkReadOnly || test_support::MarksRefuseReplacing(marks);
        row = Fault();
        row.label = std::string("uninst.lst marked ") + kMarkNames[marks];
        row.markedFile = kUninstallListName;
        row.marks = marks;
        row.result = refused ? UPDATE_E_UNINSTALL_LIST : UPDATE_OK;
        row.written = kCount;
        row.list = refused ? ListAfter::kUnchanged : ListAfter::kCompleted;
        add(row);
    }

    {
        Fault row;
        row.label = "the install folder missing";
        // Moved aside and back again, so the fix brings back everything it held.
        row.prepare = [](const std::string& folder) {
            ASSERT_EQ(std::rename(folder.c_str(), (folder + ".away").c_str()), 0);
        };
        row.fix = [](std::string& folder) { ASSERT_EQ(std::rename((folder + ".away").c_str(), folder.c_str()), 0); };
        row.result = UPDATE_E_CREATE_FILE;
        add(row);

        // Paths are built in 260 bytes, NUL included: a folder of 248 bytes takes the longest
        // names (10 bytes, "data01.arc" and "uninst.lst"), one of 249 bytes no longer does.
        // Moving the install to a shorter folder is the fix.
        auto moveShorter = [](std::string& folder) {
            std::string shorter = folder.substr(0, folder.size() - 1);
            ASSERT_EQ(std::rename(folder.c_str(), shorter.c_str()), 0);
            folder = shorter;
        };
        row = Fault();
        row.label = "an install folder of 248 bytes: target and list paths of 259";
        row.folderLength = 248;
        row.written = kCount;
        row.list = ListAfter::kCompleted;
        add(row);

        row = Fault();
        row.label = "an install folder of 249 bytes: a target path of 260";
        row.folderLength = 249;
        row.fix = moveShorter;
        row.result = UPDATE_E_CREATE_FILE;
        add(row);

        row = Fault();
        row.label = "an install folder of 249 bytes, names of 8 bytes: a list path of 260";
        row.shape = Shape::kShortNames;
        row.folderLength = 249;
        row.fix = moveShorter;
        row.result = UPDATE_E_UNINSTALL_LIST;
        row.written = kCount;
        add(row);

        row = Fault();
        row.label = "uninst.lst missing";
        row.prepare = [](const std::string& folder) {
            std::remove((folder + test_support::kSeparator + kUninstallListName).c_str());
        };
        row.fix = restoreList;
        row.result = UPDATE_E_UNINSTALL_LIST;
        row.written = kCount;
        add(row);

        // Past the 1 MiB the list is read into, nothing of it can be kept: refused, untouched.
        row = Fault();
        row.label = "uninst.lst over 1 MiB";
        row.prepare = [kOldList](const std::string& folder) {
            Bytes big(kOldList.begin(), kOldList.end() - 1);
            while (big.size() < kUninstallBufferSize) big.insert(big.end(), kOldList.begin(), kOldList.end() - 1);
            big.push_back('\0');
            WriteList(folder, big);
        };
        row.fix = restoreList;
        row.result = UPDATE_E_UNINSTALL_LIST;
        row.written = kCount;
        add(row);
    }

    for (const Fault& row : rows) RunRow(row);
}

}  // namespace
