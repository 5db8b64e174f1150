// GetInstalledFolder on the real registry (natively the file stand-in): which values count as
// an install folder, and that the folder always ends within its 260 bytes.
#include "entry/installed_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "entry/texts.h"
#include "platform/registry.h"
#include "tests/entry/test_platform.h"

namespace {

constexpr char kTestPublisher[] = "QuillmereEntryTest";
const std::string kOwnedKey = std::string("Software\\") + kTestPublisher;
// The game's key in UTF-8; the lookup gets the title in code page 932 (kGameTitle), so finding
// the value also proves the two spellings name the same key.
const std::string kGameKey = kOwnedKey + "\\ヴァルネア・テイル";
constexpr char kValueName[] = "InstalledFolder";

const std::string kNul(1, '\0');
const std::string kFolder = "C:\\Games\\Valnea Tale";

struct FolderCase {
    const char* label;
    uint32_t type;
    std::string data;
    bool found;
    std::string folder;  // when found
};

const FolderCase kFolderCases[] = {
    {"string with terminator", kRegSz, kFolder + kNul, true, kFolder},
    {"string without terminator", kRegSz, kFolder, true, kFolder},
    {"empty string", kRegSz, kNul, true, ""},
    {"260 bytes with terminator", kRegSz, std::string(259, 'a') + kNul, true, std::string(259, 'a')},
    {"261 bytes with terminator", kRegSz, std::string(260, 'a') + kNul, false, ""},
    {"259 bytes without terminator", kRegSz, std::string(259, 'a'), true, std::string(259, 'a')},
    // Terminating it would need a 261st byte: refused like any longer value.
    {"260 bytes without terminator", kRegSz, std::string(260, 'a'), false, ""},
    {"expandable string", kRegExpandSz, kFolder + kNul, false, ""},
    {"multi string", kRegMultiSz, kFolder + kNul + kNul, false, ""},
    {"binary", kRegBinary, kFolder + kNul, false, ""},
    {"dword", kRegDword, std::string("\x01\x00\x00\x00", 4), false, ""},
};

// A buffer full of a visible byte, so a folder left without its terminator shows.
struct FolderBuffer {
    FolderBuffer() { std::memset(bytes, 'X', sizeof(bytes)); }
    // The folder, or "<unterminated>" when no NUL lies within the 260 bytes.
    std::string Text() const {
        size_t length = strnlen(bytes, kInstallFolderSize);
        return length < kInstallFolderSize ? std::string(bytes, length) : "<unterminated>";
    }
    char bytes[kInstallFolderSize];
};

TEST(GetInstalledFolderTest, AcceptsOnlyStringValuesThatFit) {
    for (const FolderCase& c : kFolderCases) {
        SCOPED_TRACE(c.label);
        entry_test::TestRegistry registry(kOwnedKey);
        ASSERT_TRUE(registry.SetValue(kGameKey, kValueName, c.type, c.data));
        FolderBuffer buffer;
        EXPECT_EQ(c.found, GetInstalledFolder(buffer.bytes, kTestPublisher, kGameTitle));
        if (c.found) {
            EXPECT_EQ(c.folder, buffer.Text());
        }
    }
}

TEST(GetInstalledFolderTest, MissingKeyOrValueIsNotInstalled) {
    entry_test::TestRegistry registry(kOwnedKey);
    FolderBuffer buffer;
    EXPECT_FALSE(GetInstalledFolder(buffer.bytes, kTestPublisher, kGameTitle));
    ASSERT_TRUE(registry.SetValue(kGameKey, "InstalledFolderOld", kRegSz, kFolder + kNul));
    EXPECT_FALSE(GetInstalledFolder(buffer.bytes, kTestPublisher, kGameTitle));
    // The value one key too high is not the game's.
    ASSERT_TRUE(registry.SetValue(kOwnedKey, kValueName, kRegSz, kFolder + kNul));
    EXPECT_FALSE(GetInstalledFolder(buffer.bytes, kTestPublisher, kGameTitle));
}

TEST(GetInstalledFolderTest, RefusesMissingOrOverlongKeyComponents) {
    entry_test::TestRegistry registry(kOwnedKey);
    ASSERT_TRUE(registry.SetValue(kGameKey, kValueName, kRegSz, kFolder + kNul));
    FolderBuffer buffer;
    EXPECT_FALSE(GetInstalledFolder(buffer.bytes, nullptr, kGameTitle));
    EXPECT_FALSE(GetInstalledFolder(buffer.bytes, kTestPublisher, nullptr));
    // Longer than the 4096-byte key buffer: no key, and nothing written past the buffer.
    std::string longTitle(5000, 'x');
    EXPECT_FALSE(GetInstalledFolder(buffer.bytes, kTestPublisher, longTitle.c_str()));
    EXPECT_TRUE(GetInstalledFolder(buffer.bytes, kTestPublisher, kGameTitle));
    EXPECT_EQ(kFolder, buffer.Text());
}

}  // namespace
