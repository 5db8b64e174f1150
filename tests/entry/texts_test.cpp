// The compiled-in texts, byte for byte, against iconv's code page 932 conversion of the same
// texts written here in UTF-8.
#include "entry/texts.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>

namespace {

// Empty when iconv cannot convert the whole text.
std::string ToCp932(const std::string& utf8) {
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) return "";
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* next = &out[0];
    size_t outLeft = out.size();
    bool ok = iconv(converter, &in, &inLeft, &next, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
    iconv_close(converter);
    return ok ? out.substr(0, out.size() - outLeft) : "";
}

std::string IdeographicSpaces(int count) {
    std::string spaces;
    for (int i = 0; i < count; ++i) spaces += "\u3000";
    return spaces;
}

struct TextCase {
    const char* label;
    const char* compiled;
    std::string utf8;
    size_t bytes;  // 0: not a fixed-width message
};

const TextCase kTextCases[] = {
    {"updater mutex", kUpdaterMutexName, "Updater for ValneaTale is executing.", 0},
    {"game mutex", kGameMutexName, "Corvane for ValneaTale is executing.", 0},
    {"publisher", kPublisher, "Quillmere", 0},
    {"game title", kGameTitle, "ヴァルネア・テイル", 18},
    {"box title", kBoxTitle, "「ヴァルネア・テイル」 Updater ver 1.00", 0},
    {"busy warning", kBusyWarning,
     "ゲーム、ランチャー、アンインストーラーのいずれかが実行中なのでアップデートを行えません", 86},
    {"not-installed warning", kNotInstalledWarning, "ゲームがインストールされていません" + IdeographicSpaces(9), 52},
    {"confirmation question", kConfirmationQuestion, "アップデートを行いますか？" + IdeographicSpaces(13), 52},
    {"completion notice", kCompletionNotice, "アップデートが完了しました" + IdeographicSpaces(13), 52},
    {"damage warning", kDamageWarning, "アップデートプログラムが破損している可能性があります", 52},
    {"failure warning", kFailureWarning, "何らかの要因によりアップデートが行えません" + IdeographicSpaces(5), 52},
    {"list warning", kListWarning, "アンインストレーションファイルの更新に失敗しました" + IdeographicSpaces(1), 52},
};

TEST(TextsTest, AreCodePage932OfTheirUtf8Spelling) {
    for (const TextCase& c : kTextCases) {
        SCOPED_TRACE(c.label);
        std::string expected = ToCp932(c.utf8);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(expected, std::string(c.compiled));
        if (c.bytes != 0) {
            EXPECT_EQ(c.bytes, std::strlen(c.compiled));
        }
    }
}

// The title's first and last bytes, as a check on the conversion table itself: 「 is 81 75,
// ル is 83 8B.
TEST(TextsTest, TitleStartsAndEndsWithKnownBytes) {
    EXPECT_EQ(std::string("\x81\x75\x83\x94", 4), std::string(kBoxTitle, 4));
    EXPECT_EQ(std::string("\x83\x8B", 2), std::string(kGameTitle + 16, 2));
}

}  // namespace
