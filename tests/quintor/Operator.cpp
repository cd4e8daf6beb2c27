#include "Operator.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "fmuMainIds.h"

namespace quintor {

namespace {

const DWORD kHandled = 60000; // a board operation ends long before this
const int kMessageBoxText = 0xFFFF;
const int kMessageBoxIcon = 0x0440;

std::wstring WindowText(HWND window) {
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const auto n =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(n));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

INPUT Key(WORD key, WORD scan, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    return input;
}

INPUT Mouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

struct TSearch {
    DWORD ProcessId;
    const wchar_t* ClassName;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM search) {
    auto& s = *reinterpret_cast<TSearch*>(search);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == s.ProcessId && IsWindowVisible(window) && ClassOf(window) == s.ClassName)
        s.Found.push_back(window);
    return TRUE;
}

struct TChildSearch {
    int Id;
    HWND Found;
};

BOOL CALLBACK FindChild(HWND window, LPARAM search) {
    auto& s = *reinterpret_cast<TChildSearch*>(search);
    if (GetDlgCtrlID(window) != s.Id)
        return TRUE;
    s.Found = window;
    return FALSE;
}

} // namespace

Operator::Operator(const std::wstring& program) {
    const std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
    std::wstring command = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &FProcess))
        throw std::runtime_error("cannot start " + expected::Cp1251(program) + ": error " +
                                 std::to_string(GetLastError()));
    FThread = FProcess.dwThreadId;
    const bool shown = WaitFor([this] {
        std::vector<HWND> mains = TopLevelWindows(ctl::kMainWindowClass);
        FMain = mains.empty() ? nullptr : mains.front();
        return FMain || !TopLevelWindows(L"#32770").empty() || !Running();
    });
    if (!shown)
        throw std::runtime_error("the program showed no window");
    // Ready for input once a control has the focus.
    if (FMain && !WaitFor([this] { return Focus() != nullptr; }))
        throw std::runtime_error("the window took no focus");
}

Operator::~Operator() {
    if (Running()) {
        for (HWND box : TopLevelWindows(L"#32770"))
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        if (FMain)
            PostMessageW(FMain, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(FProcess.hProcess, 20000) != WAIT_OBJECT_0)
            TerminateProcess(FProcess.hProcess, 99);
    }
    CloseHandle(FProcess.hThread);
    CloseHandle(FProcess.hProcess);
}

std::vector<HWND> Operator::TopLevelWindows(const wchar_t* className) const {
    TSearch search{FProcess.dwProcessId, className, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND Operator::Control(int id) const {
    TChildSearch search{id, nullptr};
    EnumChildWindows(FMain, FindChild, reinterpret_cast<LPARAM>(&search));
    if (!search.Found)
        throw std::runtime_error("no control " + std::to_string(id));
    return search.Found;
}

std::string Operator::Text(int id) const {
    return expected::Cp1251(WindowText(Control(id)));
}

bool Operator::Enabled(int id) const {
    return IsWindowEnabled(Control(id)) != FALSE;
}

int Operator::PortIndex() const {
    return static_cast<int>(SendMessageW(Control(ctl::cbPortNumber), CB_GETCURSEL, 0, 0));
}

int Operator::Selected() const {
    return static_cast<int>(SendMessageW(Control(ctl::ListBox), LB_GETCURSEL, 0, 0));
}

std::vector<std::string> Operator::Entries() const {
    HWND list = Control(ctl::ListBox);
    std::vector<std::string> entries;
    const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring entry(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        entry.resize(static_cast<size_t>(
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&entry[0]))));
        entries.push_back(expected::Cp1251(entry));
    }
    return entries;
}

HWND Operator::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(FThread, &info);
    return info.hwndFocus;
}

void Operator::Click(int id) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(Control(id), BM_CLICK, 0, 0, SMTO_NORMAL, kHandled, &result))
        throw std::runtime_error("the click on " + std::to_string(id) + " was not handled");
}

void Operator::PostClick(int id) {
    PostMessageW(Control(id), BM_CLICK, 0, 0);
}

void Operator::ChoosePort(int index) {
    SendMessageW(Control(ctl::cbPortNumber), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Operator::SelectEntry(int index) {
    HWND list = Control(ctl::ListBox);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(GetParent(list), WM_COMMAND, MAKEWPARAM(ctl::ListBox, LBN_SELCHANGE),
                             reinterpret_cast<LPARAM>(list), SMTO_NORMAL, kHandled, &result))
        throw std::runtime_error("the list click was not handled");
}

void Operator::SetText(int id, const std::string& text) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(Control(id), WM_SETTEXT, 0,
                             reinterpret_cast<LPARAM>(expected::Wide(text).c_str()), SMTO_NORMAL,
                             kHandled, &result))
        throw std::runtime_error("the text change was not handled");
}

void Operator::Send(const std::vector<INPUT>& inputs) {
    // Input goes to the foreground window: the program's own, unless a box of it shows.
    DWORD process = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &process);
    if (process != FProcess.dwProcessId)
        SetForegroundWindow(FMain);
    SendInput(static_cast<UINT>(inputs.size()), const_cast<INPUT*>(inputs.data()), sizeof(INPUT));
}

void Operator::MouseMove(HWND control, int x, int y) {
    POINT point{x, y};
    ClientToScreen(control, &point);
    SetCursorPos(point.x, point.y);
    Send({Mouse(MOUSEEVENTF_MOVE)});
}

void Operator::MouseClick(HWND control, int x, int y) {
    MouseMove(control, x, y);
    Send({Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP)});
}

void Operator::Type(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        if (c == L'\b') {
            inputs.push_back(Key(VK_BACK, 0, 0));
            inputs.push_back(Key(VK_BACK, 0, KEYEVENTF_KEYUP));
            continue;
        }
        inputs.push_back(Key(0, c, KEYEVENTF_UNICODE));
        inputs.push_back(Key(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
    }
    Send(inputs);
}

void Operator::Press(WORD key, bool shift, bool alt) {
    std::vector<INPUT> inputs;
    if (shift)
        inputs.push_back(Key(VK_SHIFT, 0, 0));
    if (alt)
        inputs.push_back(Key(VK_MENU, 0, 0));
    inputs.push_back(Key(key, 0, 0));
    inputs.push_back(Key(key, 0, KEYEVENTF_KEYUP));
    if (alt)
        inputs.push_back(Key(VK_MENU, 0, KEYEVENTF_KEYUP));
    if (shift)
        inputs.push_back(Key(VK_SHIFT, 0, KEYEVENTF_KEYUP));
    Send(inputs);
}

TMessageBox Operator::WaitForMessageBox() {
    TMessageBox box;
    if (!WaitFor([&] {
            std::vector<HWND> boxes = TopLevelWindows(L"#32770");
            box.Window = boxes.empty() ? nullptr : boxes.front();
            return box.Window != nullptr;
        }))
        throw std::runtime_error("no message box showed");
    box.Owner = GetWindow(box.Window, GW_OWNER);
    box.Caption = expected::Cp1251(WindowText(box.Window));
    box.Text = expected::Cp1251(WindowText(GetDlgItem(box.Window, kMessageBoxText)));
    HWND icon = GetDlgItem(box.Window, kMessageBoxIcon);
    box.HasIcon = icon && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
    for (HWND child = GetWindow(box.Window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == L"Button" && IsWindowVisible(child))
            box.Buttons.push_back(GetDlgCtrlID(child));
    return box;
}

void Operator::CloseMessageBox(const TMessageBox& box) {
    PostMessageW(box.Window, WM_COMMAND, IDOK, 0);
    if (!WaitFor([&] { return !IsWindow(box.Window); }))
        throw std::runtime_error("the message box did not close");
}

std::string Operator::WaitForTooltip() {
    std::wstring text;
    if (!WaitFor([&] {
            for (HWND tip : TopLevelWindows(L"tooltips_class32"))
                if (!(text = WindowText(tip)).empty())
                    return true;
            return false;
        }))
        throw std::runtime_error("no tooltip showed");
    return expected::Cp1251(text);
}

DWORD Operator::Close() {
    Click(ctl::btnClose);
    return WaitForExit();
}

DWORD Operator::WaitForExit() {
    if (WaitForSingleObject(FProcess.hProcess, 30000) != WAIT_OBJECT_0)
        throw std::runtime_error("the program did not end");
    DWORD code = 0;
    GetExitCodeProcess(FProcess.hProcess, &code);
    return code;
}

bool Operator::Running() const {
    return WaitForSingleObject(FProcess.hProcess, 0) == WAIT_TIMEOUT;
}

void Operator::SaveScreenshot(const std::string& path) const {
    RECT rect;
    GetWindowRect(FMain, &rect);
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height; // bottom-up rows, as a .bmp file holds them
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD rowSize = static_cast<DWORD>((width * 3 + 3) & ~3);
    header.biSizeImage = rowSize * static_cast<DWORD>(height);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
    if (out) {
        std::fwrite(&file, sizeof file, 1, out.get());
        std::fwrite(&header, sizeof header, 1, out.get());
        std::fwrite(bits, header.biSizeImage, 1, out.get());
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

} // namespace quintor
