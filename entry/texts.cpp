// The compiled-in texts. This file is compiled with -fexec-charset=CP932: the literals below are
// UTF-8 in the source and code page 932 in the program. The runs of "　" are ideographic spaces
// (U+3000) that fill each message up to 26 characters; their count is in the comment.
#include "entry/texts.h"

const char kUpdaterMutexName[] = "Updater for ValneaTale is executing.";
const char kGameMutexName[] = "Corvane for ValneaTale is executing.";

const char kPublisher[] = "Quillmere";
const char kGameTitle[] = "ヴァルネア・テイル";
// Full-width corner brackets, then ASCII spaces.
const char kBoxTitle[] = "「ヴァルネア・テイル」 Updater ver 1.00";

// 43 characters, no filling.
const char kBusyWarning[] = "ゲーム、ランチャー、アンインストーラーのいずれかが実行中なのでアップデートを行えません";
// 9 spaces.
const char kNotInstalledWarning[] = "ゲームがインストールされていません" "　　　　　　　　　";
// 13 spaces.
const char kConfirmationQuestion[] = "アップデートを行いますか？" "　　　　　　　　　　　　　";
// 13 spaces.
const char kCompletionNotice[] = "アップデートが完了しました" "　　　　　　　　　　　　　";
// 26 characters, no filling.
const char kDamageWarning[] = "アップデートプログラムが破損している可能性があります";
// 5 spaces.
const char kFailureWarning[] = "何らかの要因によりアップデートが行えません" "　　　　　";
// 1 space.
const char kListWarning[] = "アンインストレーションファイルの更新に失敗しました" "　";
