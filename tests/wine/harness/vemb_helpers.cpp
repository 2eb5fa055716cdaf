#include "vemb_helpers.h"

#include <commctrl.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <algorithm>

#include "designgen/design_writer.h"
#include "link/settings.h"
#include "ui_driver.h"

namespace vt {

std::vector<SimCall> CallsOf(const std::string &op)
{
    std::vector<SimCall> calls;
    for (const SimCall &c : ReadSimCalls())
        if (c.op == op)
            calls.push_back(c);
    return calls;
}

std::vector<char> DesignBytes(int32_t stitches, int seed, uint32_t hoop)
{
    designgen::DesignFile file;
    file.stitchCount = stitches;
    file.hoopCode = hoop;
    file.colours = {(uint16_t)(10 + seed % 3)};
    designgen::StitchData data;
    for (int i = 0; i < 24; ++i)
        data.Stitch(i % 2 ? -100 : 100, 6 + seed % 7);
    file.stitchData = data.End().Bytes();
    return designgen::AssembleDesign(file);
}

std::string WriteDesign(const std::string &path, int32_t stitches, uint32_t hoop)
{
    static int seed;
    std::vector<char> bytes = DesignBytes(stitches, ++seed, hoop);
    EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size())) << path;
    return path;
}

std::string WriteSendList(const std::string &path, const std::vector<std::string> &paths)
{
    std::vector<char> bytes(paths.size() * 260, 0);
    for (size_t i = 0; i < paths.size(); ++i)
        std::copy_n(paths[i].begin(), std::min<size_t>(paths[i].size(), 259), bytes.begin() + i * 260);
    EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size())) << path;
    return path;
}

std::string ListItemText(HWND list, int item, int column)
{
    char text[1024] = "";
    LVITEMA lv = {};
    lv.iSubItem = column;
    lv.pszText = text;
    lv.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, item, (LPARAM)&lv);
    return text;
}

std::vector<std::string> ListItemTexts(HWND list, int column)
{
    std::vector<std::string> texts;
    for (int i = 0, n = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); i < n; ++i)
        texts.push_back(ListItemText(list, i, column));
    return texts;
}

void PassPosted(Ui &u, HWND listView)
{
    COLORREF next = SendMessageA(listView, LVM_GETTEXTCOLOR, 0, 0) == RGB(0, 0, 0) ? RGB(0, 0, 1) : RGB(0, 0, 0);
    PostMessageA(listView, LVM_SETTEXTCOLOR, 0, next);
    u.WaitUntil([&] { return (COLORREF)SendMessageA(listView, LVM_GETTEXTCOLOR, 0, 0) == next; },
                "posted messages handled");
}

int HandleCount()
{
    int count = 0;
    for (UINT_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags;
        count += GetHandleInformation((HANDLE)value, &flags) != 0;
    }
    return count;
}

int ThreadCount()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return count;
}

// ---- registry ----

static const char *KeyPath(Key key)
{
    return key == Key::Tambora ? TAMBORA_KEY_PATH : BRODERA_KEY_PATH;
}

std::pair<DWORD, DWORD> RegDwordBoth(const char *name)
{
    DWORD b = NO_VALUE, t = NO_VALUE;
    if (!ReadRegDword(Key::Brodera, name, &b))
        b = NO_VALUE;
    if (!ReadRegDword(Key::Tambora, name, &t))
        t = NO_VALUE;
    return {b, t};
}

bool RegValueExists(Key key, const char *name)
{
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath(key), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    bool exists = RegQueryValueExA(k, name, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
    RegCloseKey(k);
    return exists;
}

// Puts an access list given as text on the key; false when that fails.
static bool SetKeyAccess(Key key, const char *sddl, REGSAM access)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(key), 0, NULL, 0, access, NULL, &k, NULL) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, NULL) &&
              RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(k);
    return ok;
}

// Setting values is denied, everything else allowed (so that the list can be put back).
KeyWriteBlock::KeyWriteBlock(Key key)
    : key_(key), blocked_(SetKeyAccess(key, "D:(D;;0x2;;;WD)(A;;KA;;;WD)", KEY_ALL_ACCESS))
{
    EXPECT_TRUE(blocked_) << "cannot deny writes to " << KeyPath(key);
}

KeyWriteBlock::~KeyWriteBlock()
{
    if (blocked_) {
        EXPECT_TRUE(SetKeyAccess(key_, "D:(A;;KA;;;WD)", WRITE_DAC))
            << "cannot allow writes to " << KeyPath(key_);
    }
}

// ---- dialogs ----

DialogWatch::DialogWatch(std::vector<std::string> captions) : captions_(std::move(captions))
{
    stop_ = CreateEventA(NULL, TRUE, FALSE, NULL);
    thread_ = CreateThread(NULL, 0, Run, this, 0, NULL);
}

int DialogWatch::Stop()
{
    if (thread_) {
        SetEvent(stop_);
        // The watch may be asking one of this thread's windows for its text: serve it.
        while (MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        CloseHandle(thread_);
        CloseHandle(stop_);
        thread_ = NULL;
    }
    return seen_;
}

DWORD WINAPI DialogWatch::Run(LPVOID param)
{
    DialogWatch *self = static_cast<DialogWatch *>(param);
    std::vector<HWND> closed;
    while (WaitForSingleObject(self->stop_, 20) == WAIT_TIMEOUT) {
        for (HWND w : TopLevelWindows()) {
            char cls[16] = "";
            GetClassNameA(w, cls, sizeof cls);
            const std::vector<std::string> &c = self->captions_;
            if (std::string(cls) != "#32770" || std::find(c.begin(), c.end(), WindowText(w)) == c.end() ||
                std::find(closed.begin(), closed.end(), w) != closed.end())
                continue;
            closed.push_back(w);
            InterlockedIncrement(&self->seen_);
            PostMessageA(w, WM_CLOSE, 0, 0);
        }
    }
    return 0;
}

static RECT DialogUnitRect(HWND dialog, int x, int y, int w, int h)
{
    RECT r = {x, y, w, h};
    MapDialogRect(dialog, &r);
    return {r.left, r.top, r.left + r.right, r.top + r.bottom};
}

void ExpectControls(HWND dialog, const std::vector<ControlSpec> &controls)
{
    for (const ControlSpec &c : controls) {
        SCOPED_TRACE("control " + std::to_string(c.id) + " \"" + c.text + "\"");
        HWND control = c.id != -1 ? GetDlgItem(dialog, c.id) : NULL;
        for (HWND w = GetWindow(dialog, GW_CHILD); !control && w; w = GetWindow(w, GW_HWNDNEXT))
            if ((GetDlgCtrlID(w) & 0xFFFF) == 0xFFFF && WindowText(w) == c.text)
                control = w;
        ASSERT_NE(control, (HWND)NULL);
        char cls[64] = "";
        GetClassNameA(control, cls, sizeof cls);
        EXPECT_STRCASEEQ(cls, c.cls);
        bool combo = std::string(c.cls) == "ComboBox";  // chooses its own closed height
        if (!combo) {
            EXPECT_EQ(WindowText(control), c.text);
        }
        if (c.w) {
            RECT want = DialogUnitRect(dialog, c.x, c.y, c.w, c.h), got;
            GetWindowRect(control, &got);
            MapWindowPoints(NULL, dialog, (POINT *)&got, 2);
            EXPECT_EQ(got.left, want.left);
            EXPECT_EQ(got.top, want.top);
            EXPECT_EQ(got.right, want.right);
            if (!combo) {
                EXPECT_EQ(got.bottom, want.bottom);
            }
        }
        DWORD style = (DWORD)GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(style & c.style, c.style) << std::hex << "style 0x" << style;
        EXPECT_EQ(style & c.typeMask, c.type) << std::hex << "style 0x" << style;
    }
}

void ExpectLayout(HWND dialog, int width, int height, const std::vector<ControlSpec> &controls)
{
    RECT client, expected = DialogUnitRect(dialog, 0, 0, width, height);
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, expected.right) << "dialog width";
    EXPECT_EQ(client.bottom, expected.bottom) << "dialog height";
    LOGFONTA font = {};
    GetObjectA((HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    ExpectControls(dialog, controls);
}

// ---- the clip marker ----

bool MarkerWatch::Stepped(HWND animation)
{
    const COLORREF marker = RGB(255, 196, 32);
    RECT rc;
    GetClientRect(animation, &rc);
    HDC dc = GetDC(animation);
    double sum = 0;
    int n = 0;
    for (int y = 0; y < rc.bottom; y += 2)
        for (int x = 0; x < rc.right; ++x)
            if (GetPixel(dc, x, y) == marker) {
                sum += x;
                ++n;
            }
    ReleaseDC(animation, dc);
    double x = n > 10 ? sum / n : -1, step = towardsMachine_ ? x - last_ : last_ - x;
    bool stepped = x >= 0 && last_ >= 0 && step > 0 && step < 20;
    last_ = x;
    return stepped;
}

}  // namespace vt
