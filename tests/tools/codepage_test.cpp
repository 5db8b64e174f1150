// UTF-8 and code page 932: the bytes of known names, and the characters that must be refused
// rather than replaced by a look-alike.
#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(Codepage, ConvertsJapaneseNamesBothWays) {
    const std::pair<std::string, std::string> names[] = {
        {"data01000.arc", "data01000.arc"},
        {"データ.arc", "\x83\x66\x81\x5b\x83\x5e.arc"},
        {"ヴァルネア・テイル", "\x83\x94\x83\x40\x83\x8b\x83\x6c\x83\x41\x81\x45\x83\x65\x83\x43\x83\x8b"},
        {"表ポ", "\x95\x5c\x83\x7c"},
        {"ｱｲ", "\xb1\xb2"},
        {"～", "\x81\x60"},
        {"", ""},
    };
    for (const auto& name : names) {
        std::string cp932, utf8;
        ASSERT_TRUE(Utf8ToCp932(name.first, &cp932)) << name.first;
        EXPECT_EQ(name.second, cp932) << name.first;
        ASSERT_TRUE(Cp932ToUtf8(name.second, &utf8)) << name.first;
        EXPECT_EQ(name.first, utf8);
    }
}

TEST(Codepage, RefusesWhatCodePage932CannotHoldExactly) {
    // "¥" and "‾" must not turn into '\' and '~', nor U+301C into the full-width tilde.
    const char* const refused[] = {"€.txt", "é", "😀", "a¥b", "‾", "〜", "\xff\xfe", "\xe3\x83"};
    for (const char* text : refused) {
        std::string cp932 = "untouched";
        EXPECT_FALSE(Utf8ToCp932(text, &cp932)) << text;
        EXPECT_EQ("untouched", cp932);
    }
}

TEST(Codepage, RefusesBrokenCodePage932) {
    std::string utf8;
    EXPECT_FALSE(Cp932ToUtf8("a\x83", &utf8));  // a lead byte with no trail byte
}

}  // namespace
