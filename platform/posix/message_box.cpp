// Message boxes on POSIX, on the terminal: the title and text in UTF-8 on standard output, a
// Yes/No question answered with a line on standard input. Enter alone takes the default
// button, No; no input at all (closed, /dev/null, end of input) answers No like a box that
// could not be shown.
#include "platform/message_box.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/posix/cp932_to_utf8.h"

namespace {

constexpr uint32_t kButtonMask = 0x0F;
constexpr uint32_t kButtonsYesNo = 0x04;  // MB_YESNO
constexpr uint32_t kIconMask = 0xF0;

// Text that is not valid code page 932 is shown as its raw bytes rather than not at all.
void PrintText(const char* text) {
    char utf8[4096];
    std::fputs(Cp932ToUtf8Into(text, utf8, sizeof(utf8)) ? utf8 : text, stdout);
}

const char* IconLabel(uint32_t style) {
    switch (style & kIconMask) {
        case 0x10: return "error";
        case 0x20: return "question";
        case 0x30: return "warning";
        case 0x40: return "information";
        default: return "message";
    }
}

bool Matches(const char* answer, const char* a, const char* b) {
    return std::strcmp(answer, a) == 0 || std::strcmp(answer, b) == 0;
}

}  // namespace

int ShowMessageBox(const char* text, const char* title, uint32_t style) {
    std::printf("[%s] ", IconLabel(style));
    PrintText(title);
    std::fputc('\n', stdout);
    PrintText(text);
    std::fputc('\n', stdout);
    if ((style & kButtonMask) != kButtonsYesNo) {
        std::fflush(stdout);
        return kAnswerOk;
    }
    for (;;) {
        std::fputs("(y/N) ", stdout);
        std::fflush(stdout);
        char line[256];
        if (std::fgets(line, sizeof(line), stdin) == nullptr) {
            std::fputc('\n', stdout);
            return kAnswerNo;
        }
        line[std::strcspn(line, "\r\n")] = '\0';
        // A terminal shows what was typed; a piped answer is echoed so the output reads the same.
        if (!isatty(STDIN_FILENO)) std::printf("%s\n", line);
        if (Matches(line, "y", "Y") || Matches(line, "yes", "Yes")) return kAnswerYes;
        if (line[0] == '\0' || Matches(line, "n", "N") || Matches(line, "no", "No")) return kAnswerNo;
    }
}
