#include "ui_drive.h"

#include "message_box_log.h"

namespace uidrive {

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

namespace {

struct FindState {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window))
        reinterpret_cast<FindState *>(param)->windows.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChildren(HWND window, LPARAM param)
{
    reinterpret_cast<FindState *>(param)->windows.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> Descendants(HWND parent)
{
    FindState state;
    EnumChildWindows(parent, CollectChildren, reinterpret_cast<LPARAM>(&state));
    return state.windows;
}

bool LooksLikeMessageBox(HWND window)
{
    if (ClassOf(window) != "#32770")
        return false;
    bool hasText = false, hasButton = false;
    for (HWND child : Descendants(window)) {
        if (GetParent(child) != window)
            continue;
        int id = GetDlgCtrlID(child);
        std::string cls = ClassOf(child);
        if (id == 0xFFFF && cls == "Static")
            hasText = true;
        else if (id >= IDOK && id <= 11 && cls == "Button")
            hasButton = true;
        else if (!(cls == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON))
            return false;
    }
    return hasText && hasButton;
}

namespace {

UINT IconStyle(HWND box)
{
    for (HWND child : Descendants(box)) {
        if (ClassOf(child) != "Static" || (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
            continue;
        HICON icon = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
        if (!icon)
            return 0;
        if (icon == LoadIconA(NULL, (LPCSTR)IDI_HAND))
            return MB_ICONHAND;
        if (icon == LoadIconA(NULL, (LPCSTR)IDI_EXCLAMATION))
            return MB_ICONEXCLAMATION;
        if (icon == LoadIconA(NULL, (LPCSTR)IDI_ASTERISK))
            return MB_ICONINFORMATION;
        if (icon == LoadIconA(NULL, (LPCSTR)IDI_QUESTION))
            return MB_ICONQUESTION;
    }
    return 0;
}

UINT ButtonStyle(HWND box)
{
    auto has = [box](int id) {
        HWND b = GetDlgItem(box, id);
        return b && IsWindowVisible(b);
    };
    if (has(IDABORT))
        return MB_ABORTRETRYIGNORE;
    if (has(IDYES))
        return has(IDCANCEL) ? MB_YESNOCANCEL : MB_YESNO;
    if (has(IDRETRY))
        return MB_RETRYCANCEL;
    if (has(IDCANCEL))
        return MB_OKCANCEL;
    return MB_OK;
}

void Throw(const std::string &what)
{
    throw UiTimeout{what};
}

}  // namespace

void Rescue()
{
    for (int round = 0; round < 40; ++round) {
        std::vector<HWND> windows = TopLevelWindows();
        if (windows.empty())
            return;
        for (HWND w : windows) {
            if (LooksLikeMessageBox(w)) {
                int button = GetDlgItem(w, IDCANCEL) ? IDCANCEL : GetDlgItem(w, IDNO) ? IDNO : IDOK;
                PostMessageA(GetDlgItem(w, button), BM_CLICK, 0, 0);
            } else if (ClassOf(w) == "#32770") {
                PostMessageA(w, WM_CLOSE, 0, 0);
            }
        }
        ::Sleep(250);
    }
}


std::string ExeDir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string WindowText(HWND window)
{
    char text[4096] = "";
    // WM_GETTEXT works across threads; GetWindowText would not read a control of
    // another thread's window.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 5000, NULL);
    return text;
}

std::string ControlText(HWND dialog, int controlId)
{
    return WindowText(GetDlgItem(dialog, controlId));
}

bool IsChecked(HWND dialog, int controlId)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, controlId), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
}

bool IsControlEnabled(HWND dialog, int controlId)
{
    return IsWindowEnabled(GetDlgItem(dialog, controlId)) != FALSE;
}

bool IsControlVisible(HWND dialog, int controlId)
{
    return IsWindowVisible(GetDlgItem(dialog, controlId)) != FALSE;
}

std::vector<HWND> TopLevelWindows()
{
    FindState state;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&state));
    return state.windows;
}

std::string DescribeWindows()
{
    std::string out;
    for (HWND w : TopLevelWindows()) {
        out += "  [" + ClassOf(w) + "] \"" + WindowText(w) + "\"";
        for (HWND child : Descendants(w)) {
            if (GetParent(child) != w)
                continue;
            std::string text = WindowText(child);
            if (!text.empty())
                out += " {" + std::to_string(GetDlgCtrlID(child)) + ":" + text + "}";
        }
        out += "\n";
    }
    return out.empty() ? "  (no windows)\n" : out;
}

MessageBoxInfo ReadMessageBox(HWND box)
{
    MessageBoxInfo info;
    info.hwnd = box;
    info.owner = GetWindow(box, GW_OWNER);
    info.caption = WindowText(box);
    info.text = ControlText(box, 0xFFFF);
    info.style = IconStyle(box) | ButtonStyle(box);
    // The style as the module asked for it (MB_TOPMOST cannot be read off the screen).
    UINT recorded;
    if (RecordedMessageBoxStyle(info.caption, info.text, &recorded))
        info.style = recorded;
    return info;
}

namespace {

// Waits for a visible top-level dialog, not a message box, whose caption `matches`.
HWND WaitTopDialog(Ui &ui, const std::function<bool(const std::string &)> &matches, const std::string &what,
                   DWORD timeoutMs)
{
    HWND found = NULL;
    ui.WaitUntil(
        [&] {
            for (HWND w : TopLevelWindows())
                if (ClassOf(w) == "#32770" && matches(WindowText(w)) && !LooksLikeMessageBox(w)) {
                    found = w;
                    return true;
                }
            return false;
        },
        what, timeoutMs);
    return found;
}

}  // namespace

HWND Ui::WaitDialog(const std::string &caption, DWORD timeoutMs)
{
    return WaitTopDialog(
        *this, [&](const std::string &text) { return text == caption; }, "dialog \"" + caption + "\"", timeoutMs);
}

HWND Ui::WaitDialogPrefix(const std::string &prefix, DWORD timeoutMs)
{
    return WaitTopDialog(
        *this, [&](const std::string &text) { return text.rfind(prefix, 0) == 0; }, "dialog \"" + prefix + "...\"",
        timeoutMs);
}

MessageBoxInfo Ui::WaitMessageBox(const std::string &caption, DWORD timeoutMs)
{
    HWND found = NULL;
    WaitUntil(
        [&] {
            for (HWND w : TopLevelWindows())
                if (LooksLikeMessageBox(w) && !answered_.count(w) &&
                    (caption.empty() || WindowText(w) == caption)) {
                    found = w;
                    return true;
                }
            return false;
        },
        caption.empty() ? "a message box" : "message box \"" + caption + "\"", timeoutMs);
    // Let the box finish initialising its text and icon.
    ::Sleep(50);
    return ReadMessageBox(found);
}

void Ui::Answer(const MessageBoxInfo &box, int buttonId, DWORD timeoutMs)
{
    HWND button = GetDlgItem(box.hwnd, buttonId);
    if (!button)
        Throw("message box \"" + box.caption + "\" has no button " + std::to_string(buttonId));
    answered_.insert(box.hwnd);
    PostMessageA(button, BM_CLICK, 0, 0);
    WaitGone(box.hwnd, timeoutMs);
    answered_.erase(box.hwnd);
}

void Ui::WaitGone(HWND window, DWORD timeoutMs)
{
    WaitUntil([&] { return !IsWindow(window); }, "window \"" + WindowText(window) + "\" to close",
              timeoutMs);
}

void Ui::WaitUntil(const std::function<bool()> &condition, const std::string &what, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return;
        if (GetTickCount() - start >= timeoutMs)
            Throw("timed out after " + std::to_string(timeoutMs) + " ms waiting for " + what);
        ::Sleep(20);
    }
}

void Ui::Sleep(DWORD ms)
{
    ::Sleep(ms);
}

void Ui::Click(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    if (!control)
        Throw("no control " + std::to_string(controlId) + " in \"" + WindowText(dialog) + "\"");
    PostMessageA(control, BM_CLICK, 0, 0);
}

void Ui::Close(HWND window)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
}

void Ui::SetText(HWND dialog, int controlId, const std::string &text)
{
    SendMessageTimeoutA(GetDlgItem(dialog, controlId), WM_SETTEXT, 0, (LPARAM)text.c_str(),
                        SMTO_ABORTIFHUNG, 5000, NULL);
}

}  // namespace uidrive

#include "png_writer.h"

#include <commctrl.h>

namespace uidrive {

int SelectListItemsByText(HWND listView, const std::vector<std::string> &texts)
{
    int selected = 0;
    int count = (int)SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        char text[MAX_PATH] = "";
        LVITEMA lv = {};
        lv.pszText = text;
        lv.cchTextMax = sizeof text;
        SendMessageA(listView, LVM_GETITEMTEXTA, i, (LPARAM)&lv);
        for (const std::string &wanted : texts)
            if (wanted == text) {
                lv.stateMask = lv.state = LVIS_SELECTED | LVIS_FOCUSED;
                SendMessageA(listView, LVM_SETITEMSTATE, i, (LPARAM)&lv);
                ++selected;
            }
    }
    return selected;
}

void TickListItem(HWND listView, int item)
{
    LVITEMA lv = {};
    lv.stateMask = LVIS_STATEIMAGEMASK;
    lv.state = INDEXTOSTATEIMAGEMASK(2);
    SendMessageTimeoutA(listView, LVM_SETITEMSTATE, item, (LPARAM)&lv, SMTO_ABORTIFHUNG, 5000, NULL);
}

PickerWindows FindPickerWindows(HWND common)
{
    PickerWindows p;
    p.common = common;
    for (HWND w : Descendants(common)) {
        if (ClassOf(w) == "#32770" && GetParent(w) == common && GetDlgItem(w, 1001))
            p.child = w;
        if (ClassOf(w) == "SysListView32" && GetDlgCtrlID(w) != 1001 && IsWindowVisible(w))
            p.files = w;
    }
    return p;
}

bool CaptureWindow(HWND window, std::vector<uint8_t> *rgb, int *width, int *height)
{
    RECT r;
    if (!GetWindowRect(window, &r))
        return false;
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return false;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
        if (ok) {
            rgb->resize((size_t)w * h * 3);
            const uint8_t *src = (const uint8_t *)bits;
            for (size_t i = 0; i < (size_t)w * h; ++i) {
                (*rgb)[i * 3] = src[i * 4 + 2];
                (*rgb)[i * 3 + 1] = src[i * 4 + 1];
                (*rgb)[i * 3 + 2] = src[i * 4];
            }
            *width = w;
            *height = h;
        }
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return ok;
}

bool SaveWindowPng(HWND window, const std::string &path)
{
    std::vector<uint8_t> rgb;
    int width, height;
    return CaptureWindow(window, &rgb, &width, &height) && WritePng(path, rgb, width, height);
}

int DarkPixelsOf(HWND control)
{
    HWND top = GetAncestor(control, GA_ROOT);
    std::vector<uint8_t> rgb;
    int width, height;
    if (!CaptureWindow(top, &rgb, &width, &height))
        return -1;
    RECT outer, inner;
    GetWindowRect(top, &outer);
    GetWindowRect(control, &inner);
    int dark = 0;
    for (int y = inner.top - outer.top; y < inner.bottom - outer.top && y < height; ++y)
        for (int x = inner.left - outer.left; x < inner.right - outer.left && x < width; ++x) {
            const uint8_t *p = &rgb[((size_t)y * width + x) * 3];
            if (y >= 0 && x >= 0 && p[0] < 80 && p[1] < 80 && p[2] < 80)
                ++dark;
        }
    return dark;
}

}  // namespace uidrive
