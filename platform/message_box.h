// Modal message boxes without an owner window: the updater's only way of talking to the user.
#pragma once

#include <cstdint>

// Box styles, with the numbers of the Win32 flags they stand for.
constexpr uint32_t kBoxInformation = 0x40;  // MB_OK | MB_ICONINFORMATION
constexpr uint32_t kBoxWarning = 0x30;      // MB_OK | MB_ICONWARNING
constexpr uint32_t kBoxQuestion = 0x124;    // MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2

// Answers, numbered as Win32 numbers them. A box that could not be shown answers 0.
constexpr int kAnswerOk = 1;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

// Shows text under title (both code page 932) and waits for the user's answer.
int ShowMessageBox(const char* text, const char* title, uint32_t style);
