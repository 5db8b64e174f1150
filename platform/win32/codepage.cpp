// Code page conversion on Windows, through UTF-16 with the system's own code page 932 table.
#include "platform/codepage.h"

#include <windows.h>

namespace {

constexpr UINT kCodePage932 = 932;

bool ToWide(UINT codePage, const std::string& text, std::wstring* wide) {
    wide->clear();
    if (text.empty()) return true;
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return false;
    wide->resize(length);
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &(*wide)[0],
                               length) == length;
}

// usedDefault is only accepted for code pages other than UTF-8, so it is passed only there.
bool FromWide(UINT codePage, const std::wstring& wide, std::string* text) {
    text->clear();
    if (wide.empty()) return true;
    DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = codePage == CP_UTF8 ? nullptr : &usedDefault;
    int length = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                     usedDefaultOut);
    if (length <= 0 || usedDefault) return false;
    text->resize(length);
    return WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), &(*text)[0], length, nullptr,
                               usedDefaultOut) == length &&
           !usedDefault;
}

}  // namespace

bool Utf8ToCp932(const std::string& utf8, std::string* cp932) {
    std::wstring wide;
    std::string result;
    if (!ToWide(CP_UTF8, utf8, &wide) || !FromWide(kCodePage932, wide, &result)) return false;
    *cp932 = result;
    return true;
}

bool Cp932ToUtf8(const std::string& cp932, std::string* utf8) {
    std::wstring wide;
    std::string result;
    if (!ToWide(kCodePage932, cp932, &wide) || !FromWide(CP_UTF8, wide, &result)) return false;
    *utf8 = result;
    return true;
}
