// e2e_helper: the Windows side of the end-to-end tests, the things a test must do from inside
// Windows (under Wine) around a run of setup.exe.
//
//   e2e_helper run TIMEOUT_SECONDS PROGRAM    run PROGRAM, print "pid: N" and then its full
//                                             32-bit exit code as "exit: 0xXXXXXXXX"
//   e2e_helper hold-mutex NAME                hold a named mutex until standard input ends
//   e2e_helper hold-file PATH                 hold a file open, sharing nothing, likewise
//   e2e_helper reg VIEW CLEAR KEY VALUE STATE [DATA]
//                                             delete HKLM\CLEAR in both registry views, then
//                                             in VIEW (32 or 64) leave STATE: absent (no key),
//                                             key (key without the value), sz or expand_sz
//                                             (VALUE of that type holding DATA)
//   e2e_helper attrib PATH [FLAGS]            set the attributes FLAGS (letters R H S A, or N
//                                             for normal), then print the attributes
//
// The holders print "holding" once they hold. Arguments are read as UTF-16 from the command
// line, so Japanese names arrive intact; output is UTF-8. Exit status 0 on success, 1 on
// failure (with a message), 64 for a usage error.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int kExitUsage = 64;

void WriteUtf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

int Fail(const std::wstring& what) {
    WriteUtf8(L"error: " + what + L" (Win32 error " + std::to_wstring(GetLastError()) + L")\n");
    return 1;
}

std::wstring Hex32(DWORD value) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(value));
    return text;
}

// Blocks until the test harness closes our standard input: the holders' release signal.
void WaitForEndOfInput() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
}

// Under Wine the exit status a Linux parent sees is only the low 8 bits; this is the whole
// code, which setup.exe's negative and 0x8000000N results need.
int Run(DWORD timeoutMs, const wchar_t* program) {
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return Fail(L"cannot start " + std::wstring(program));
    WriteUtf8(L"pid: " + std::to_wstring(process.dwProcessId) + L"\n");
    int status = 0;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        WriteUtf8(L"exit: " + Hex32(code) + L"\n");
    } else {
        TerminateProcess(process.hProcess, 1);
        WriteUtf8(L"exit: timeout\n");
        status = 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

int HoldMutex(const wchar_t* name) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, name);
    if (!mutex) return Fail(L"cannot create the mutex");
    WriteUtf8(L"holding\n");
    WaitForEndOfInput();
    CloseHandle(mutex);
    return 0;
}

int HoldFile(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail(L"cannot open " + std::wstring(path));
    WriteUtf8(L"holding\n");
    WaitForEndOfInput();
    CloseHandle(file);
    return 0;
}

REGSAM ViewFlag(const std::wstring& view) {
    return view == L"32" ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

// Deletes HKLM\path in one view. The parent is opened in that view because RegDeleteTree
// itself takes no view.
bool DeleteTree(const std::wstring& path, REGSAM view) {
    size_t cut = path.rfind(L'\\');
    std::wstring parent = cut == std::wstring::npos ? L"" : path.substr(0, cut);
    std::wstring leaf = cut == std::wstring::npos ? path : path.substr(cut + 1);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parent.c_str(), 0, KEY_ALL_ACCESS | view, &key) !=
        ERROR_SUCCESS)
        return true;
    LONG status = RegDeleteTreeW(key, leaf.c_str());
    RegCloseKey(key);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

int Registry(const std::wstring& view, const std::wstring& clear, const std::wstring& keyPath,
             const wchar_t* valueName, const std::wstring& state, const wchar_t* data) {
    if (view != L"32" && view != L"64") return kExitUsage;
    if (!DeleteTree(clear, KEY_WOW64_32KEY) || !DeleteTree(clear, KEY_WOW64_64KEY))
        return Fail(L"cannot delete HKLM\\" + clear);
    if (state == L"absent") return 0;
    DWORD type = REG_NONE;
    if (state == L"sz") type = REG_SZ;
    else if (state == L"expand_sz") type = REG_EXPAND_SZ;
    else if (state != L"key") return kExitUsage;
    if (type != REG_NONE && !data) return kExitUsage;

    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | ViewFlag(view), nullptr, &key, nullptr) != ERROR_SUCCESS)
        return Fail(L"cannot create HKLM\\" + keyPath);
    LONG status = ERROR_SUCCESS;
    if (type != REG_NONE) {
        DWORD bytes = static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t));
        status = RegSetValueExW(key, valueName, 0, type, reinterpret_cast<const BYTE*>(data),
                                bytes);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return Fail(L"cannot set the value");
    return 0;
}

int Attributes(const wchar_t* path, const wchar_t* flags) {
    if (flags) {
        DWORD wanted = 0;
        for (const wchar_t* p = flags; *p; ++p) {
            switch (*p) {
                case L'R': wanted |= FILE_ATTRIBUTE_READONLY; break;
                case L'H': wanted |= FILE_ATTRIBUTE_HIDDEN; break;
                case L'S': wanted |= FILE_ATTRIBUTE_SYSTEM; break;
                case L'A': wanted |= FILE_ATTRIBUTE_ARCHIVE; break;
                case L'N': wanted |= FILE_ATTRIBUTE_NORMAL; break;
                default: return kExitUsage;
            }
        }
        if (!SetFileAttributesW(path, wanted)) return Fail(L"cannot set the attributes");
    }
    DWORD now = GetFileAttributesW(path);
    if (now == INVALID_FILE_ATTRIBUTES) return Fail(L"cannot read the attributes");
    WriteUtf8(L"attributes: " + Hex32(now) + L"\n");
    return 0;
}

int Usage() {
    WriteUtf8(
        L"usage: e2e_helper run TIMEOUT_SECONDS PROGRAM\n"
        L"       e2e_helper hold-mutex NAME\n"
        L"       e2e_helper hold-file PATH\n"
        L"       e2e_helper reg 32|64 CLEAR KEY VALUE absent|key|sz|expand_sz [DATA]\n"
        L"       e2e_helper attrib PATH [RHSAN]\n");
    return kExitUsage;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3) return Usage();
    std::wstring command = argv[1];
    int status = kExitUsage;
    if (command == L"run" && argc == 4) {
        status = Run(static_cast<DWORD>(wcstod(argv[2], nullptr) * 1000), argv[3]);
    } else if (command == L"hold-mutex" && argc == 3) {
        status = HoldMutex(argv[2]);
    } else if (command == L"hold-file" && argc == 3) {
        status = HoldFile(argv[2]);
    } else if (command == L"reg" && (argc == 7 || argc == 8)) {
        status = Registry(argv[2], argv[3], argv[4], argv[5], argv[6], argc == 8 ? argv[7] : nullptr);
    } else if (command == L"attrib" && (argc == 3 || argc == 4)) {
        status = Attributes(argv[2], argc == 4 ? argv[3] : nullptr);
    }
    LocalFree(argv);
    return status == kExitUsage ? Usage() : status;
}
