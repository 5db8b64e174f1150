// box_answerer: finds the message boxes another program shows, describes them and answers them.
//
//   box_answerer --title TITLE [--timeout SECONDS] [--exclude-pid PID] ANSWER...
//
// ANSWER is yes, no, ok or enter (one box each, in turn), look (describe the next box and leave
// it open, for a picture), or none: no box may appear within the timeout. Every box found is printed as UTF-8 "key: value" lines (pid, title, text, icon,
// buttons, default, rect, pressed) and ends with an empty line. Exit status: 0 when every step
// went as asked, 2 when a box was missing (or one appeared in none mode), 3 when the button
// asked for is not on the box, 4 when the box stayed open after the press, 64 for a usage error.
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNoBox = 2;
constexpr int kExitNoButton = 3;
constexpr int kExitStillOpen = 4;
constexpr int kExitUsage = 64;

// Win32 gives message boxes this dialog class on every version, Wine included.
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr DWORD kPollMs = 50;

void WriteUtf8(const std::wstring& text) {
    std::string bytes;
    if (!text.empty()) {
        int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
        bytes.resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                            n, nullptr, nullptr);
    }
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

void PrintLine(const std::wstring& key, const std::wstring& value) {
    WriteUtf8(key + L": " + value + L"\n");
}

// The text of a window of another process. GetWindowText would not ask the other process for
// a control's text; WM_GETTEXT is marshalled across processes by the system.
std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return std::wstring();
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, 2000,
                             &copied))
        return std::wstring();
    return std::wstring(buffer.data(), copied);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

struct FindRequest {
    const std::wstring* title;
    DWORD excludedPid;
    const std::vector<HWND>* seen;
    HWND found;
    int count;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    auto* request = reinterpret_cast<FindRequest*>(param);
    if (!IsWindowVisible(window) || ClassOf(window) != kDialogClass) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == request->excludedPid || WindowText(window) != *request->title) return TRUE;
    for (HWND old : *request->seen)
        if (old == window) return TRUE;
    ++request->count;
    if (!request->found) request->found = window;
    return TRUE;
}

HWND WaitForBox(const std::wstring& title, DWORD excludedPid, const std::vector<HWND>& seen,
                DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        FindRequest request{&title, excludedPid, &seen, nullptr, 0};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&request));
        if (request.found) return request.found;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(kPollMs);
    }
}

// A named CALLBACK, not a lambda: on i686 the enumeration calls it as stdcall.
BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    return TRUE;
}

std::vector<HWND> Children(HWND box) {
    std::vector<HWND> children;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

bool IsIconStatic(HWND child) {
    return ClassOf(child) == L"Static" &&
           (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// The message is the text static; Windows gives it the id 0xFFFF, which Wine copies, but any
// other non-icon static with text is taken when that id is absent.
std::wstring MessageText(HWND box) {
    std::wstring fallback;
    for (HWND child : Children(box)) {
        if (ClassOf(child) != L"Static" || IsIconStatic(child)) continue;
        if ((GetDlgCtrlID(child) & 0xFFFF) == 0xFFFF) return WindowText(child);
        if (fallback.empty()) fallback = WindowText(child);
    }
    return fallback;
}

// --- Icon kind ---------------------------------------------------------------------------------
// An icon handle belongs to the process that loaded it (Wine cannot even query another
// process's icon), so the kind is told by the pixels: the icon control's area is read from the
// screen and compared, on the icon's opaque pixels, with each system icon drawn here.

constexpr int kIconSide = 32;
using Pixels = std::vector<uint32_t>;

bool SystemIconPixels(LPCWSTR id, Pixels* pixels) {
    HICON icon = LoadIconW(nullptr, id);
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return false;
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), kIconSide, -kIconSide, 1, 32, BI_RGB, 0, 0, 0,
                        0, 0};
    pixels->assign(kIconSide * kIconSide, 0);
    HDC screen = GetDC(nullptr);
    int lines = info.hbmColor ? GetDIBits(screen, info.hbmColor, 0, kIconSide, pixels->data(),
                                          &format, DIB_RGB_COLORS)
                              : 0;
    ReleaseDC(nullptr, screen);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return lines == kIconSide;
}

bool ScreenPixels(const RECT& area, Pixels* pixels) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), kIconSide, -kIconSide, 1, 32, BI_RGB, 0, 0, 0,
                        0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, kIconSide, kIconSide, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* words = static_cast<const uint32_t*>(bits);
        pixels->assign(words, words + kIconSide * kIconSide);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

// Mean difference per opaque pixel, summed over the three colour channels (0 to 765).
double Distance(const Pixels& shown, const Pixels& icon) {
    double total = 0;
    int opaque = 0;
    for (size_t i = 0; i < icon.size(); ++i) {
        if ((icon[i] >> 24) < 250) continue;
        ++opaque;
        for (int shift = 0; shift < 24; shift += 8)
            total += std::abs(static_cast<int>((shown[i] >> shift) & 0xFF) -
                              static_cast<int>((icon[i] >> shift) & 0xFF));
    }
    return opaque ? total / opaque : 1e9;
}

std::wstring IconKind(HWND box) {
    HWND iconControl = nullptr;
    for (HWND child : Children(box))
        if (IsIconStatic(child) && IsWindowVisible(child)) iconControl = child;
    if (!iconControl) return L"none";  // Wine keeps the control, so there "unknown"
    RECT area{};
    GetWindowRect(iconControl, &area);

    struct Kind {
        const wchar_t* name;
        LPCWSTR id;
        Pixels pixels;
    };
    Kind kinds[] = {{L"question", IDI_QUESTION, {}},
                    {L"warning", IDI_WARNING, {}},
                    {L"information", IDI_INFORMATION, {}},
                    {L"error", IDI_ERROR, {}}};
    for (Kind& kind : kinds)
        if (!SystemIconPixels(kind.id, &kind.pixels)) return L"unknown";

    // The box may not have painted yet: look again for a while before giving up. The icon
    // shown is within 1 of its own picture; Wine's question and information icons, the
    // closest pair, are 27 apart, so the nearest picture decides, if it is near enough.
    constexpr double kMatch = 10;
    for (int attempt = 0; attempt < 40; ++attempt) {
        Pixels shown;
        if (ScreenPixels(area, &shown)) {
            const Kind* nearest = nullptr;
            double best = kMatch;
            for (const Kind& kind : kinds) {
                double distance = Distance(shown, kind.pixels);
                if (distance < best) {
                    best = distance;
                    nearest = &kind;
                }
            }
            if (nearest) return nearest->name;
        }
        Sleep(kPollMs);
    }
    return L"unknown";
}

// --- Buttons -----------------------------------------------------------------------------------

struct ButtonName {
    int id;
    const wchar_t* name;
};
constexpr ButtonName kButtonNames[] = {
    {IDOK, L"ok"},         {IDCANCEL, L"cancel"}, {IDABORT, L"abort"},
    {IDRETRY, L"retry"},   {IDIGNORE, L"ignore"}, {IDYES, L"yes"},
    {IDNO, L"no"},         {IDTRYAGAIN, L"tryagain"}, {IDCONTINUE, L"continue"},
};

std::wstring ButtonNameOf(int id) {
    for (const ButtonName& button : kButtonNames)
        if (button.id == id) return button.name;
    return L"id" + std::to_wstring(id);
}

int ButtonId(const std::wstring& name) {
    for (const ButtonName& button : kButtonNames)
        if (name == button.name) return button.id;
    return 0;
}

std::vector<HWND> Buttons(HWND box) {
    std::vector<HWND> buttons;
    for (HWND child : Children(box))
        if (ClassOf(child) == L"Button" && IsWindowVisible(child)) buttons.push_back(child);
    return buttons;
}

// The button that Enter presses. DM_GETDEFID is the dialog's own answer and is used when it
// names a button the box shows; Wine's box keeps the id of its template's OK button there
// and marks its default with the BS_DEFPUSHBUTTON style instead, so that style decides
// otherwise.
HWND DefaultButton(HWND box, const std::vector<HWND>& buttons) {
    DWORD_PTR reply = 0;
    if (SendMessageTimeoutW(box, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 2000, &reply) &&
        HIWORD(reply) == DC_HASDEFID) {
        for (HWND button : buttons)
            if (GetDlgCtrlID(button) == LOWORD(reply)) return button;
    }
    for (HWND button : buttons)
        if ((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return button;
    return nullptr;
}

bool WaitClosed(HWND box, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(box) && IsWindowVisible(box)) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(kPollMs);
    }
    return true;
}

void Describe(HWND box, const std::vector<HWND>& buttons, HWND defaultButton) {
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    PrintLine(L"pid", std::to_wstring(pid));
    PrintLine(L"title", WindowText(box));
    PrintLine(L"text", MessageText(box));
    PrintLine(L"icon", IconKind(box));
    std::wstring names;
    for (HWND button : buttons) {
        if (!names.empty()) names += L" ";
        names += ButtonNameOf(GetDlgCtrlID(button));
    }
    PrintLine(L"buttons", names);
    PrintLine(L"default", defaultButton ? ButtonNameOf(GetDlgCtrlID(defaultButton)) : L"none");
    RECT rect{};
    GetWindowRect(box, &rect);
    PrintLine(L"rect", std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
                           std::to_wstring(rect.right) + L" " + std::to_wstring(rect.bottom));
}

// Enter goes through the box's own keyboard handling (the dialog manager presses the focused
// push button, or the default one), just as a key press would: the key messages are posted to
// the control that has the focus in the box's thread.
void PressEnter(HWND box) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    HWND target = box;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info) && info.hwndFocus &&
        (info.hwndFocus == box || IsChild(box, info.hwndFocus)))
        target = info.hwndFocus;
    PostMessageW(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

int Usage() {
    WriteUtf8(L"usage: box_answerer --title TITLE [--timeout SECONDS] [--exclude-pid PID] "
              L"ANSWER...\n  ANSWER: yes | no | ok | enter | look | none\n");
    return kExitUsage;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring title;
    bool haveTitle = false;
    DWORD timeoutMs = 10000;
    DWORD excludedPid = 0;
    std::vector<std::wstring> answers;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--title" && i + 1 < argc) {
            title = argv[++i];
            haveTitle = true;
        } else if (arg == L"--timeout" && i + 1 < argc) {
            timeoutMs = static_cast<DWORD>(wcstod(argv[++i], nullptr) * 1000);
        } else if (arg == L"--exclude-pid" && i + 1 < argc) {
            excludedPid = static_cast<DWORD>(wcstoul(argv[++i], nullptr, 10));
        } else if (arg == L"none" || arg == L"enter" || arg == L"look" || ButtonId(arg) != 0) {
            answers.push_back(arg);
        } else {
            return Usage();
        }
    }
    if (!haveTitle || answers.empty()) return Usage();

    std::vector<HWND> answered;
    for (const std::wstring& answer : answers) {
        HWND box = WaitForBox(title, excludedPid, answered, timeoutMs);
        if (answer == L"none") {
            if (!box) {
                PrintLine(L"box", L"none");
                WriteUtf8(L"\n");
                continue;
            }
            std::vector<HWND> buttons = Buttons(box);
            Describe(box, buttons, DefaultButton(box, buttons));
            PrintLine(L"pressed", L"nothing");
            WriteUtf8(L"\n");
            return kExitNoBox;
        }
        if (!box) {
            PrintLine(L"box", L"none (timeout)");
            WriteUtf8(L"\n");
            return kExitNoBox;
        }
        std::vector<HWND> buttons = Buttons(box);
        HWND defaultButton = DefaultButton(box, buttons);
        Describe(box, buttons, defaultButton);
        if (answer == L"look") {
            PrintLine(L"pressed", L"nothing");
            WriteUtf8(L"\n");
            continue;
        }
        answered.push_back(box);
        if (answer == L"enter") {
            PressEnter(box);
            PrintLine(L"pressed", L"enter");
        } else {
            HWND target = nullptr;
            for (HWND button : buttons)
                if (GetDlgCtrlID(button) == ButtonId(answer)) target = button;
            if (!target) {
                PrintLine(L"pressed", L"nothing (no " + answer + L" button)");
                WriteUtf8(L"\n");
                return kExitNoButton;
            }
            PostMessageW(target, BM_CLICK, 0, 0);
            PrintLine(L"pressed", answer);
        }
        bool closed = WaitClosed(box, timeoutMs);
        WriteUtf8(L"\n");
        if (!closed) return kExitStillOpen;
    }
    LocalFree(argv);
    return kExitOk;
}
