// The package writer: the layout of an updater file byte for byte, the hash list, and the
// names and member lists it refuses.
#include "tools/package_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "package/package_format.h"

namespace {

using package_writer::Bytes;

Bytes B(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Little-endian uint32 and a NUL-filled name field, written out by hand.
void Put32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void PutField(Bytes& out, const std::string& text, size_t size) {
    Bytes field(size, 0);
    std::memcpy(field.data(), text.data(), text.size());
    out.insert(out.end(), field.begin(), field.end());
}

const uint8_t kAbcChecksum[8] = {0x06, 0xb4, 0x50, 0x00, 0x12, 0xcc, 0x26, 0x60};

TEST(PackageWriter, ChecksumOfAbcAndOfNothing) {
    FileChecksum abc = package_writer::ChecksumOf(B("abc"));
    EXPECT_EQ(0, std::memcmp(&abc, kAbcChecksum, 8));
    FileChecksum none = package_writer::ChecksumOf(Bytes());
    EXPECT_EQ(Bytes(8, 0), Bytes(reinterpret_cast<uint8_t*>(&none), reinterpret_cast<uint8_t*>(&none) + 8));
}

TEST(PackageWriter, LaysOutAnUpdaterFileByteForByte) {
    FileChecksum abc = package_writer::ChecksumOf(B("abc"));
    Bytes hashList = package_writer::BuildHashList({{"a.txt", abc}});
    Bytes updater = package_writer::LayOutUpdater(B("MZ"), {{"a.txt", B("abc")}, {"CVN.hvl", hashList}});

    Bytes expected = B("MZ");
    expected.resize(0x60000, 0);
    expected.insert(expected.end(), {'P', 'a', 'c', 'k', 'F', 'i', 'l', 'e', ' ', ' ', ' ', ' '});
    Put32(expected, 2);
    PutField(expected, "a.txt", 16);
    Put32(expected, 0);
    Put32(expected, 3);
    PutField(expected, "", 8);
    PutField(expected, "CVN.hvl", 16);
    Put32(expected, 3);
    Put32(expected, 16 + 64);
    PutField(expected, "", 8);
    expected.insert(expected.end(), {'a', 'b', 'c'});
    expected.insert(expected.end(), {'Z', 'R', 'T', '_', '_', '_', '_', '_'});
    Put32(expected, 0);
    Put32(expected, 1);
    PutField(expected, "a.txt", 56);
    expected.insert(expected.end(), kAbcChecksum, kAbcChecksum + 8);

    EXPECT_EQ(expected, updater);
}

TEST(PackageWriter, StubMayFillTheGapButNotPassIt) {
    EXPECT_EQ(0x60000u + 16, package_writer::LayOutUpdater(Bytes(0x60000, 0x90), {}).size());
    EXPECT_TRUE(package_writer::LayOutUpdater(Bytes(0x60001, 0x90), {}).empty());
}

TEST(PackageWriter, HashListNamesAreCutToTheirField) {
    Bytes list = package_writer::BuildHashList({{std::string(70, 'n'), {}}});
    ASSERT_EQ(16u + 64u, list.size());
    EXPECT_EQ('n', list[16 + 54]);
    EXPECT_EQ(0, list[16 + 55]);
}

struct NameCase {
    const char* label;
    std::string name;  // code page 932 bytes
    const char* refusal;  // a piece of the reason, or null when the name is fine
};

class MemberNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(MemberNameTest, IsAcceptedOrRefusedWithItsReason) {
    std::string why = package_writer::CheckMemberName(GetParam().name);
    if (GetParam().refusal == nullptr) {
        EXPECT_EQ("", why);
    } else {
        EXPECT_NE(std::string::npos, why.find(GetParam().refusal)) << why;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, MemberNameTest,
    testing::Values(NameCase{"plain", "data01000.arc", nullptr},
                    NameCase{"fifteen_bytes", "abcdefghijk.arc", nullptr},
                    NameCase{"folder_part", "data\\a.arc", nullptr},
                    // Trail bytes 0x5C and 0x7C are halves of characters, not '\' or '|'.
                    NameCase{"trail_byte_backslash", "\x95\x5c.txt", nullptr},
                    NameCase{"trail_byte_bar", "\x83\x7c.txt", nullptr},
                    NameCase{"device_lookalike", "console.txt", nullptr},
                    NameCase{"empty", "", "empty"},
                    NameCase{"sixteen_bytes", "abcdefghijkl.arc", "at most 15"},
                    NameCase{"nul_byte", std::string("a\0b", 3), "NUL"},
                    NameCase{"climbs_out", "..\\setup.exe", "updater refuses"},
                    NameCase{"dots_and_spaces", ". .\\x", "updater refuses"},
                    NameCase{"absolute", "\\windows", "updater refuses"},
                    NameCase{"drive", "c:x.dll", "updater refuses"},
                    NameCase{"stream", "a.txt:s", "updater refuses"},
                    NameCase{"device", "NUL", "device"},
                    NameCase{"device_with_extension", "com1.txt", "device"},
                    NameCase{"question_mark", "a?.txt", "'?'"},
                    NameCase{"bar", "a|b", "'|'"},
                    NameCase{"control", "a\tb", "control"},
                    NameCase{"trailing_dot", "readme.", "dot or a space"},
                    NameCase{"trailing_space_in_folder", "data \\a.arc", "dot or a space"},
                    NameCase{"dot_part", "data\\.\\a.arc", "dot or a space"},
                    NameCase{"empty_part", "data\\\\a.arc", "empty part"},
                    NameCase{"folder_only", "data\\", "empty part"}),
    [](const testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST(PackageWriter, HashedNamesHoldUpTo55Bytes) {
    EXPECT_EQ("", package_writer::CheckHashedName(std::string(55, 'x')));
    EXPECT_NE("", package_writer::CheckHashedName(std::string(56, 'x')));
    EXPECT_NE("", package_writer::CheckHashedName(""));
}

TEST(PackageWriter, RefusesTheTwentyFifthMember) {
    std::vector<package_writer::Member> members;
    for (int i = 0; i < 24; ++i) members.push_back({"m" + std::to_string(i), B("x")});
    EXPECT_FALSE(package_writer::FindRefusal(members));
    members.push_back({"m24", B("x")});
    package_writer::MemberRefusal refusal = package_writer::FindRefusal(members);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(24u, refusal.index);
    EXPECT_EQ("m24: " + refusal.reason, package_writer::CheckMembers(members));
}

TEST(PackageWriter, RefusesNamesEqualWhenCaseIsIgnored) {
    // The updater's lowercasing also raises a trail byte: 0x83 0x41 and 0x83 0x61 collide.
    const std::vector<std::pair<std::string, std::string>> clashes = {
        {"Data.ARC", "data.arc"}, {"CVN.hvl", "cvn.HVL"}, {"\x83\x41", "\x83\x61"}};
    for (const auto& clash : clashes) {
        package_writer::MemberRefusal refusal =
            package_writer::FindRefusal({{"other", B("")}, {clash.first, B("1")}, {clash.second, B("2")}});
        ASSERT_TRUE(refusal) << clash.first;
        EXPECT_EQ(2u, refusal.index);
        EXPECT_EQ(1u, refusal.clashesWith);
    }
    EXPECT_FALSE(package_writer::FindRefusal({{"\x83\x41", B("")}, {"\x83\x42", B("")}}));
}

}  // namespace
