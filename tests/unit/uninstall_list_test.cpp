// AddToUninstallList: which names are appended, the odd file shapes, the 1 MiB bound, and lists
// that cannot be read or rewritten.
#include "install/uninstall_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/test_files.h"

namespace {

using test_support::Bytes;

// Spelled out with explicit lengths, as the texts hold NUL bytes.
std::string S(const char* text, size_t length) { return std::string(text, length); }

class UninstallListTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder_.Path().empty()); }

    std::string ListPath() const { return folder_.Join(kUninstallListName); }

    void WriteList(const std::string& content) {
        ASSERT_TRUE(test_support::WriteFileBytes(ListPath(), Bytes(content.begin(), content.end())));
    }

    std::string ListContent() const {
        Bytes bytes;
        if (!test_support::ReadFileBytes(ListPath(), &bytes)) return "<unreadable>";
        return std::string(bytes.begin(), bytes.end());
    }

    bool Add(const std::vector<const char*>& names) {
        std::vector<const char*> list(names);
        list.push_back(nullptr);
        return AddToUninstallList(folder_.Path().c_str(), list.data());
    }

    test_support::TempFolder folder_;
};

struct MergeCase {
    const char* label;
    std::string before;
    std::vector<const char*> names;
    std::string after;
};

TEST_F(UninstallListTest, AppendsExactlyTheNamesTheTextLacks) {
    const MergeCase kCases[] = {
        {"new name appended", S("a.txt\n\0", 7), {"b.txt"}, S("a.txt\nb.txt\n\0", 13)},
        {"names in given order", S("\0", 1), {"b", "a"}, S("b\na\n\0", 5)},
        {"listed on an inner line", S("x\ndata01000.arc\ny\n\0", 19), {"data01000.arc"}, S("x\ndata01000.arc\ny\n\0", 19)},
        {"substring of a longer line", S("data01000.arc.old\n\0", 19), {"data01000.arc"}, S("data01000.arc.old\n\0", 19)},
        {"suffix of a longer line", S("xdata01000.arc\n\0", 16), {"data01000.arc"}, S("xdata01000.arc\n\0", 16)},
        {"case matters", S("cvn.hvl\n\0", 9), {"CVN.hvl"}, S("cvn.hvl\nCVN.hvl\n\0", 17)},
        {"double-byte names match byte for byte", S("\x83\x41.dat\n\0", 8), {"\x83\x61.dat", "\x83\x41.dat"},
         S("\x83\x41.dat\n\x83\x61.dat\n\0", 15)},
        {"duplicate in one call", S("\0", 1), {"n.dat", "n.dat"}, S("n.dat\n\0", 7)},
        {"covered by a name appended earlier", S("\0", 1), {"data.arc", "ata"}, S("data.arc\n\0", 10)},
        {"empty name never appended", S("a\n\0", 3), {""}, S("a\n\0", 3)},
        {"no names rewrites unchanged", S("a\nb\n\0", 5), {}, S("a\nb\n\0", 5)},
        {"only the NUL byte", S("\0", 1), {"a"}, S("a\n\0", 3)},
        // The shapes below break the text-plus-NUL form; nothing they hold is lost.
        {"empty file, no names", "", {}, S("\0", 1)},
        {"empty file", "", {"a"}, S("a\n\0", 3)},
        {"no final NUL", "a.txt\n", {"b"}, S("a.txt\nb\n\0", 9)},
        {"no final NUL nor line feed", "a.txt", {"b"}, S("a.txt\nb\n\0", 9)},
        {"no final line feed", S("a.txt\0", 6), {"b"}, S("a.txt\nb\n\0", 9)},
        {"no final NUL, no names", "a.txt", {}, S("a.txt\0", 6)},
        {"inner NUL searched past", S("a\0b.dat\n\0", 9), {"b.dat"}, S("a\0b.dat\n\0", 9)},
        {"inner NUL kept", S("a\0b.dat\n\0", 9), {"c"}, S("a\0b.dat\nc\n\0", 11)},
        {"two NULs at the end", S("a\n\0\0", 4), {"b"}, S("a\n\0\nb\n\0", 7)},
    };
    for (const MergeCase& c : kCases) {
        SCOPED_TRACE(c.label);
        WriteList(c.before);
        EXPECT_TRUE(Add(c.names));
        EXPECT_EQ(ListContent(), c.after);
    }
}

TEST_F(UninstallListTest, WholeResultMustFitOneMebibyte) {
    const uint32_t kMiB = kUninstallBufferSize;
    // A list of the given size: line-feed filler, then a final NUL unless told otherwise.
    auto listOfSize = [](uint32_t size, bool finalNul) {
        std::string text(size, '\n');
        if (finalNul && size > 0) text.back() = '\0';
        return text;
    };
    const struct {
        const char* label;
        uint32_t size;
        bool finalNul;
        std::vector<const char*> names;
        bool fits;
    } kCases[] = {
        {"1 MiB list, nothing to add", kMiB, true, {}, true},
        {"1 MiB list, one name more", kMiB, true, {"a"}, false},
        {"name plus line feed fill the last bytes", kMiB - 2, true, {"a"}, true},
        {"one byte too many", kMiB - 2, true, {"ab"}, false},
        {"first name fits, second does not: neither is written", kMiB - 3, true, {"a", "b"}, false},
        {"1 MiB without final NUL leaves no room for it", kMiB, false, {}, false},
        {"over 1 MiB", kMiB + 1, true, {}, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        std::string before = listOfSize(c.size, c.finalNul);
        WriteList(before);
        EXPECT_EQ(Add(c.names), c.fits);
        std::string after = ListContent();
        if (!c.fits) {
            EXPECT_TRUE(after == before) << "a list that does not fit must be left untouched";
            continue;
        }
        std::string expected = before.substr(0, before.size() - 1);
        for (const char* name : c.names) expected += std::string(name) + "\n";
        expected += '\0';
        EXPECT_TRUE(after == expected);
        EXPECT_LE(after.size(), kMiB);
    }
}

TEST_F(UninstallListTest, MissingListIsNotCreated) {
    EXPECT_FALSE(Add({"a"}));
    EXPECT_FALSE(test_support::FileExists(ListPath()));
}

TEST_F(UninstallListTest, MarkedListIsReadButNotRewritten) {
    for (unsigned marks : test_support::SupportedMarkSets()) {
        if ((marks & test_support::kMarkReadOnly) == 0) continue;  // only the read-only mark refuses a rewrite
        SCOPED_TRACE(testing::Message() << "marks " << marks);
        if (!test_support::MarksRefuseReplacing(marks)) {
            GTEST_SKIP() << "this system lets read-only files be written";
        }
        ASSERT_TRUE(test_support::SetFileMarks(ListPath(), 0) || !test_support::FileExists(ListPath()));
        WriteList(S("a\n\0", 3));
        ASSERT_TRUE(test_support::SetFileMarks(ListPath(), marks));
        EXPECT_FALSE(Add({"b"}));
        EXPECT_EQ(ListContent(), S("a\n\0", 3));
        EXPECT_EQ(test_support::GetFileMarks(ListPath()), marks) << "the list's marks are not changed";
    }
}

TEST_F(UninstallListTest, ListHeldOpenByAnotherProcess) {
    const struct {
        const char* holderMode;
    } kCases[] = {{"read"}, {"write"}, {"rewrite"}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.holderMode);
        WriteList(S("a\n\0", 3));
        test_support::HeldFile other;
        ASSERT_TRUE(other.Hold(c.holderMode, ListPath()));
        EXPECT_FALSE(Add({"b"}));
        EXPECT_TRUE(other.Release());
        // Whatever the holder left (an open for writing truncates): nothing of the merge.
        EXPECT_EQ(ListContent(), std::string(c.holderMode) == "write" ? "" : S("a\n\0", 3));
    }
}

// The list path is the folder, a backslash and "uninst.lst" in 260 bytes: a folder of 248
// bytes fits, one of 249 does not.
TEST_F(UninstallListTest, ListPathMustFitTwoHundredSixtyBytes) {
    for (size_t folderLength : {size_t{248}, size_t{249}}) {
        SCOPED_TRACE(testing::Message() << "folder of " << folderLength << " bytes");
        std::string folder = folder_.Path();
        ASSERT_LT(folder.size() + 2, folderLength);
        while (folder.size() < folderLength) {
            size_t part = std::min<size_t>(folderLength - folder.size() - 1, 100);
            folder += test_support::kSeparator + std::string(part, 'd');
            if (!test_support::FileExists(folder)) {
                ASSERT_TRUE(test_support::MakeFolder(folder)) << folder;
            }
        }
        ASSERT_EQ(folder.size(), folderLength);
        std::string list = folder + test_support::kSeparator + kUninstallListName;
        if (!test_support::WriteFileBytes(list, {'\0'})) {
            GTEST_SKIP() << "this platform cannot create a file at a path of " << list.size() << " bytes";
        }
        const char* names[] = {"a", nullptr};
        bool fits = folderLength <= 248;
        EXPECT_EQ(AddToUninstallList(folder.c_str(), names), fits);
        Bytes after;
        ASSERT_TRUE(test_support::ReadFileBytes(list, &after));
        EXPECT_EQ(after, fits ? test_support::ToBytes(S("a\n\0", 3)) : Bytes{'\0'});
    }
}

}  // namespace
