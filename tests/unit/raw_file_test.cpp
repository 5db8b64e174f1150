// RawFile: opening, sharing with another process, read-only files, positions and the closed state.
#include "platform/raw_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/test_files.h"

namespace {

using test_support::Bytes;
using test_support::ToBytes;

class RawFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder_.Path().empty()); }

    // A file with the given content in the test's folder.
    std::string Existing(const std::string& name, const std::string& content) {
        std::string path = folder_.Join(name);
        EXPECT_TRUE(test_support::WriteFileBytes(path, ToBytes(content)));
        return path;
    }

    std::string Content(const std::string& path) {
        Bytes bytes;
        if (!test_support::ReadFileBytes(path, &bytes)) return "<unreadable>";
        return std::string(bytes.begin(), bytes.end());
    }

    test_support::TempFolder folder_;
};

void ExpectClosedResults(RawFile& file) {
    char buffer[4] = {};
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(file.Write("abcd", 4), 0u);
    EXPECT_FALSE(file.Seek(0));
    EXPECT_EQ(file.Size(), RawFile::kInvalidSize);
}

TEST_F(RawFileTest, NeverOpenedAndClosedObjectsFailEveryCall) {
    RawFile never;
    ExpectClosedResults(never);
    never.Close();
    ExpectClosedResults(never);

    RawFile closed;
    ASSERT_TRUE(closed.OpenRead(Existing("f", "data").c_str()));
    closed.Close();
    closed.Close();
    ExpectClosedResults(closed);
}

TEST_F(RawFileTest, MissingFileLeavesTheObjectClosedAndReusable) {
    std::string missing = folder_.Join("missing");
    RawFile file;
    EXPECT_FALSE(file.OpenRead(missing.c_str()));
    ExpectClosedResults(file);
    EXPECT_FALSE(file.OpenRewrite(missing.c_str()));
    EXPECT_FALSE(test_support::FileExists(missing)) << "OpenRewrite must not create the file";

    ASSERT_TRUE(file.OpenRead(Existing("there", "12345").c_str()));
    EXPECT_EQ(file.Size(), 5u);
}

TEST_F(RawFileTest, OpenOnAnOpenObjectFailsAndTouchesNeitherFile) {
    std::string first = Existing("first", "first content");
    std::string second = Existing("second", "second content");
    std::string absent = folder_.Join("absent");
    RawFile file;
    ASSERT_TRUE(file.OpenRead(first.c_str()));
    EXPECT_FALSE(file.OpenRead(second.c_str()));
    EXPECT_FALSE(file.OpenWrite(second.c_str()));
    EXPECT_FALSE(file.OpenRewrite(second.c_str()));
    EXPECT_FALSE(file.OpenWrite(absent.c_str()));
    // Still the first file.
    char buffer[32] = {};
    EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 13u);
    EXPECT_EQ(std::string(buffer), "first content");
    file.Close();
    EXPECT_EQ(Content(first), "first content");
    EXPECT_EQ(Content(second), "second content");
    EXPECT_FALSE(test_support::FileExists(absent));
}

TEST_F(RawFileTest, WriteCreatesOrTruncatesRewriteKeepsTheTail) {
    RawFile file;
    std::string created = folder_.Join("created");
    ASSERT_TRUE(file.OpenWrite(created.c_str()));
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_EQ(file.Write("new", 3), 3u);
    file.Close();
    EXPECT_EQ(Content(created), "new");

    std::string truncated = Existing("truncated", "old and long");
    ASSERT_TRUE(file.OpenWrite(truncated.c_str()));
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_EQ(file.Write("xy", 2), 2u);
    file.Close();
    EXPECT_EQ(Content(truncated), "xy");

    std::string rewritten = Existing("rewritten", "old and long");
    ASSERT_TRUE(file.OpenRewrite(rewritten.c_str()));
    EXPECT_EQ(file.Size(), 12u);
    EXPECT_EQ(file.Write("NEW", 3), 3u);
    file.Close();
    EXPECT_EQ(Content(rewritten), "NEW and long");
}

TEST_F(RawFileTest, ReadPassesAShortCountBack) {
    RawFile file;
    ASSERT_TRUE(file.OpenRead(Existing("f", "0123456789").c_str()));
    char buffer[64] = {};
    EXPECT_EQ(file.Read(buffer, 4), 4u);
    EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 6u);
    EXPECT_EQ(std::string(buffer, 6), "456789");
    EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 0u);
}

TEST_F(RawFileTest, SeekTakesPositionsBelowTwoToTheThirtyFirst) {
    struct Case {
        uint32_t position;
        bool succeeds;
        uint32_t bytesReadThere;
    };
    const Case kCases[] = {
        {0, true, 10},          {7, true, 3},           {10, true, 0},  // the end
        {11, true, 0},          {0x7FFFFFFFu, true, 0},                  // past the end
        {0x80000000u, false, 0}, {0xFFFFFFFEu, false, 0}, {0xFFFFFFFFu, false, 0},
    };
    std::string path = Existing("f", "0123456789");
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "position 0x" << std::hex << c.position);
        RawFile file;
        ASSERT_TRUE(file.OpenRead(path.c_str()));
        EXPECT_EQ(file.Seek(c.position), c.succeeds);
        if (!c.succeeds) continue;
        char buffer[16];
        EXPECT_EQ(file.Read(buffer, sizeof(buffer)), c.bytesReadThere);
    }
}

TEST_F(RawFileTest, MarkedFileCannotBeReplacedButCanBeRead) {
    std::vector<unsigned> unchecked;
    for (unsigned marks : test_support::SupportedMarkSets()) {
        SCOPED_TRACE(testing::Message() << "marks " << marks);
        std::string path = Existing("marked" + std::to_string(marks), "kept");
        ASSERT_TRUE(test_support::SetFileMarks(path, marks));
        ASSERT_EQ(test_support::GetFileMarks(path), marks);
        RawFile file;
        bool enforced = test_support::MarksRefuseReplacing(marks);
        if (enforced) {
            EXPECT_FALSE(file.OpenWrite(path.c_str()));
            EXPECT_FALSE(file.IsOpen());
        } else {
            unchecked.push_back(marks);
        }
        // A rewrite in place refuses hidden and system files itself, on any system, and a
        // read-only one where the system enforces the mark.
        bool hiddenOrSystem = (marks & (test_support::kMarkHidden | test_support::kMarkSystem)) != 0;
        EXPECT_EQ(file.OpenRewrite(path.c_str()), !(hiddenOrSystem || enforced));
        file.Close();
        ASSERT_TRUE(file.OpenRead(path.c_str()));
        EXPECT_EQ(file.Size(), 4u);
        file.Close();
        EXPECT_EQ(Content(path), "kept");
        EXPECT_EQ(test_support::GetFileMarks(path), marks);
    }
    if (!unchecked.empty()) {
        GTEST_SKIP() << unchecked.size() << " mark set(s) not checked against replacing: this system lets such files be replaced";
    }
}

TEST_F(RawFileTest, AFolderIsNotAFile) {
    std::string sub = folder_.Join("sub");
    ASSERT_TRUE(test_support::MakeFolder(sub));
    RawFile file;
    EXPECT_FALSE(file.OpenRead(sub.c_str()));
    EXPECT_FALSE(file.OpenWrite(sub.c_str()));
    EXPECT_FALSE(file.OpenRewrite(sub.c_str()));
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(RawFileTest, BackslashPathsReachTheFileAndTrailBytesAreNotSeparators) {
    // 0x95 0x5C is one code page 932 character whose second byte is the backslash's.
    const std::string kHyo = "\x95\x5C";
    ASSERT_TRUE(test_support::MakeFolder(folder_.Join("sub")));
    ASSERT_TRUE(test_support::MakeFolder(folder_.Join(kHyo)));
    Existing(std::string("sub") + test_support::kSeparator + "f", "in sub");
    Existing(kHyo + ".txt", "hyo dot txt");
    Existing(kHyo + test_support::kSeparator + "f", "in hyo");
    const struct {
        std::string relative;
        std::string content;
    } kCases[] = {
        {"sub\\f", "in sub"},
        {kHyo + ".txt", "hyo dot txt"},
        {kHyo + "\\f", "in hyo"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.content);
        RawFile file;
        ASSERT_TRUE(file.OpenRead((folder_.Path() + "\\" + c.relative).c_str()));
        char buffer[32] = {};
        EXPECT_EQ(std::string(buffer, file.Read(buffer, sizeof(buffer))), c.content);
    }
}

// Who opens the file first, how, and whether the second open succeeds. "self" openers are a
// second RawFile of this process; the rules are the same as between processes.
struct ShareCase {
    const char* firstMode;
    bool firstInOtherProcess;
    const char* secondMode;
    bool secondSucceeds;
};

bool OpenWithMode(RawFile& file, const std::string& mode, const std::string& path) {
    if (mode == "read") return file.OpenRead(path.c_str());
    if (mode == "write") return file.OpenWrite(path.c_str());
    return file.OpenRewrite(path.c_str());
}

TEST_F(RawFileTest, SharingRulesBetweenProcesses) {
    const ShareCase kCases[] = {
        {"read", true, "read", true},      {"read", true, "write", false},     {"read", true, "rewrite", false},
        {"write", true, "read", false},    {"write", true, "write", false},    {"write", true, "rewrite", false},
        {"rewrite", true, "read", false},  {"rewrite", true, "write", false},  {"rewrite", true, "rewrite", false},
        {"read", false, "read", true},     {"read", false, "write", false},    {"write", false, "read", false},
        {"rewrite", false, "read", false},
    };
    int index = 0;
    for (const ShareCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.firstMode << (c.firstInOtherProcess ? " (other process)" : " (this one)")
                                        << " then " << c.secondMode);
        std::string path = Existing("shared" + std::to_string(index++), "content");
        test_support::HeldFile other;
        RawFile first;
        if (c.firstInOtherProcess) {
            ASSERT_TRUE(other.Hold(c.firstMode, path));
        } else {
            ASSERT_TRUE(OpenWithMode(first, c.firstMode, path));
        }
        RawFile second;
        EXPECT_EQ(OpenWithMode(second, c.secondMode, path), c.secondSucceeds);
        EXPECT_EQ(second.IsOpen(), c.secondSucceeds);
        second.Close();
        if (c.firstInOtherProcess) {
            EXPECT_TRUE(other.Release());
        }
        first.Close();
        // A refused open for writing truncates nothing; an open one held by the first opener
        // did (write) or did not (read, rewrite) truncate.
        EXPECT_EQ(Content(path), std::string(c.firstMode) == "write" ? "" : "content");
    }
}

TEST_F(RawFileTest, OtherProcessIsRefusedWhileThisOneHoldsTheFile) {
    const struct {
        const char* ours;
        const char* theirs;
        bool theyOpen;
    } kCases[] = {
        {"read", "read", true}, {"read", "write", false}, {"write", "read", false}, {"rewrite", "rewrite", false},
    };
    int index = 0;
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "ours " << c.ours << ", theirs " << c.theirs);
        std::string path = Existing("held" + std::to_string(index++), "content");
        RawFile ours;
        ASSERT_TRUE(OpenWithMode(ours, c.ours, path));
        test_support::HeldFile other;
        EXPECT_EQ(other.Hold(c.theirs, path), c.theyOpen);
        if (c.theyOpen) {
            EXPECT_TRUE(other.Release());
        }
    }
}

TEST_F(RawFileTest, ReopenAfterCloseOnTheSameObject) {
    std::string path = Existing("list", "abc");
    RawFile file;
    ASSERT_TRUE(file.OpenRead(path.c_str()));
    char buffer[8] = {};
    ASSERT_EQ(file.Read(buffer, sizeof(buffer)), 3u);
    file.Close();
    // The read lock went with the close, so this process may now write the file itself.
    ASSERT_TRUE(file.OpenRewrite(path.c_str()));
    EXPECT_EQ(file.Write("xyz!", 4), 4u);
    file.Close();
    ASSERT_TRUE(file.OpenWrite(path.c_str()));
    file.Close();
    EXPECT_EQ(Content(path), "");
}

}  // namespace
