// The tool command line on Windows: the UTF-16 command line, so that any file name arrives
// intact, and console output as UTF-16.
#include "tools/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

namespace {

bool WideToUtf8(const wchar_t* wide, std::string* utf8) {
    utf8->clear();
    if (*wide == L'\0') return true;
    int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return false;
    utf8->resize(length);
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, &(*utf8)[0], length, nullptr, nullptr) != length) {
        return false;
    }
    utf8->resize(length - 1);  // the terminator
    return true;
}

void Write(DWORD which, FILE* stream, const std::string& utf8) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    // A console shows characters, not bytes of whatever code page it is set to.
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) && !utf8.empty()) {
        int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        if (length > 0) {
            std::wstring wide(length, L'\0');
            MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
            DWORD written = 0;
            WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
            return;
        }
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

}  // namespace

bool GetUtf8Arguments(int, char**, std::vector<std::string>* arguments) {
    arguments->clear();
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return false;
    bool ok = true;
    for (int i = 1; i < count && ok; ++i) {
        std::string argument;
        ok = WideToUtf8(wide[i], &argument);
        arguments->push_back(argument);
    }
    LocalFree(wide);
    return ok;
}

void WriteStandardOutput(const std::string& utf8) { Write(STD_OUTPUT_HANDLE, stdout, utf8); }

void WriteStandardError(const std::string& utf8) { Write(STD_ERROR_HANDLE, stderr, utf8); }
