// Running a tool on Windows: CreateProcessW with a UTF-16 command line, output into files.
#include "tests/tools/tool_process.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace tools_test {

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
    return wide;
}

// The quoting CommandLineToArgvW undoes: backslashes double only before a quote.
void AppendQuoted(std::wstring* line, const std::wstring& argument) {
    *line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line->append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        *line += c;
    }
    line->append(backslashes * 2, L'\\');
    *line += L'"';
}

HANDLE CreateOutput(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Slurp(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string bytes = text.str();
    // Text written by the C runtime ends its lines with CR LF.
    std::string lines;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        lines += bytes[i];
    }
    return lines;
}

}  // namespace

ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments, const std::string& scratchFolder) {
    ToolRun run;
    std::wstring outPath = Wide(scratchFolder + "\\tool.out"), errPath = Wide(scratchFolder + "\\tool.err");
    std::wstring line;
    AppendQuoted(&line, Wide(program));
    for (const std::string& argument : arguments) {
        line += L' ';
        AppendQuoted(&line, Wide(argument));
    }
    HANDLE out = CreateOutput(outPath), err = CreateOutput(errPath);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info = {};
    bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                   CreateProcessW(Wide(program).c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    if (started) {
        DWORD code = 0;
        if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0 && GetExitCodeProcess(info.hProcess, &code)) {
            run.exitCode = static_cast<int>(code);
        } else {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, INFINITE);
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    DeleteFileW(outPath.c_str());
    DeleteFileW(errPath.c_str());
    return run;
}

std::string MkupdatePath() {
    // The build directory is a host path; under Wine the host's root is drive Z:.
    std::string path = MKUPDATE_PATH;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    return path;
}

}  // namespace tools_test
