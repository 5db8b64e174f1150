// Message boxes on Win32: user32's MessageBoxA.
#include "platform/message_box.h"

#include <windows.h>

static_assert((MB_OK | MB_ICONINFORMATION) == kBoxInformation, "information box style");
static_assert((MB_OK | MB_ICONWARNING) == kBoxWarning, "warning box style");
static_assert((MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == kBoxQuestion, "question box style");
static_assert(IDOK == kAnswerOk && IDYES == kAnswerYes && IDNO == kAnswerNo, "answer numbers");

int ShowMessageBox(const char* text, const char* title, uint32_t style) {
    return MessageBoxA(nullptr, text, title, style);
}
