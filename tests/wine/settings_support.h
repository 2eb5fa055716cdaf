#pragma once
// Shared by the settings and version tests: a registry key the module cannot write, and
// reading a dialog's layout in dialog units.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/settings.h"
#include "vemb_fixture.h"

namespace vt {

inline const char *SettingsKeyPath(Key key)
{
    return key == Key::Tambora ? TAMBORA_KEY_PATH : BRODERA_KEY_PATH;
}

// Denies KEY_SET_VALUE on one of the two keys to everyone while it lives, so that the
// module's open with full access, and with it every read and write through that key,
// fails. Puts the key's own access list back at the end.
class KeyWriteBlock {
public:
    explicit KeyWriteBlock(Key key) : key_(key)
    {
        HKEY k;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKeyPath(key), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k,
                            NULL) != ERROR_SUCCESS) {
            ADD_FAILURE() << "cannot create " << SettingsKeyPath(key);
            return;
        }
        DWORD size = 0;
        RegGetKeySecurity(k, DACL_SECURITY_INFORMATION, NULL, &size);
        original_.resize(size);
        if (size == 0 || RegGetKeySecurity(k, DACL_SECURITY_INFORMATION, original_.data(), &size) != ERROR_SUCCESS)
            original_.clear();
        PSECURITY_DESCRIPTOR denying = NULL;
        // Deny setting values, allow everything else (so that the access list can be put back).
        if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x2;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                 &denying, NULL)) {
            blocked_ = RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, denying) == ERROR_SUCCESS;
            LocalFree(denying);
        }
        RegCloseKey(k);
    }
    ~KeyWriteBlock()
    {
        if (!blocked_)
            return;
        HKEY k;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath(key_), 0, WRITE_DAC, &k) != ERROR_SUCCESS) {
            ADD_FAILURE() << "cannot restore the access list of " << SettingsKeyPath(key_);
            return;
        }
        if (!original_.empty())
            RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, original_.data());
        RegCloseKey(k);
    }
    // True when the denial is in place and really refuses what the module asks for.
    bool Holds() const
    {
        if (!blocked_)
            return false;
        HKEY k;
        LONG full = RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath(key_), 0, KEY_ALL_ACCESS, &k);
        if (full == ERROR_SUCCESS)
            RegCloseKey(k);
        LONG create = RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKeyPath(key_), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                      &k, NULL);
        if (create == ERROR_SUCCESS)
            RegCloseKey(k);
        return full == ERROR_ACCESS_DENIED && create == ERROR_ACCESS_DENIED;
    }
    KeyWriteBlock(const KeyWriteBlock &) = delete;
    KeyWriteBlock &operator=(const KeyWriteBlock &) = delete;

private:
    Key key_;
    bool blocked_ = false;
    std::vector<BYTE> original_;
};

// Whether a value of that name exists in the key, whatever its type.
inline bool RegValueExists(Key key, const char *name)
{
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath(key), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    bool exists = RegQueryValueExA(k, name, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
    RegCloseKey(k);
    return exists;
}

inline DWORD RegValueCount(Key key)
{
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath(key), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    RegQueryInfoKeyA(k, NULL, NULL, NULL, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL);
    RegCloseKey(k);
    return count;
}

// A DWORD value in both keys: `brodera` and `tambora` as read, or `missing` when absent.
inline std::pair<DWORD, DWORD> RegDwordBoth(const char *name, DWORD missing = 0xDEADBEEF)
{
    DWORD b = missing, t = missing;
    if (!ReadRegDword(Key::Brodera, name, &b))
        b = missing;
    if (!ReadRegDword(Key::Tambora, name, &t))
        t = missing;
    return {b, t};
}
const DWORD NO_VALUE = 0xDEADBEEF;

inline std::string ClassName(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Watches, while it lives, for visible dialogs with any of the captions: counts each one
// and closes it, so that a dialog that should not have opened fails the test instead of
// hanging it.
class DialogWatch {
public:
    explicit DialogWatch(std::vector<std::string> captions) : captions_(std::move(captions))
    {
        stop_ = CreateEventA(NULL, TRUE, FALSE, NULL);
        thread_ = CreateThread(NULL, 0, Run, this, 0, NULL);
    }
    ~DialogWatch() { Stop(); }
    // Ends the watch; the number of dialogs seen.
    int Stop()
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
    DialogWatch(const DialogWatch &) = delete;
    DialogWatch &operator=(const DialogWatch &) = delete;

private:
    static DWORD WINAPI Run(LPVOID param)
    {
        DialogWatch *self = static_cast<DialogWatch *>(param);
        std::vector<HWND> closed;
        while (WaitForSingleObject(self->stop_, 20) == WAIT_TIMEOUT) {
            for (HWND w : TopLevelWindows()) {
                if (ClassName(w) != "#32770")
                    continue;
                char text[256] = "";
                GetWindowTextA(w, text, sizeof text);
                bool match = false;
                for (const std::string &c : self->captions_)
                    match = match || c == text;
                if (!match || std::find(closed.begin(), closed.end(), w) != closed.end())
                    continue;
                closed.push_back(w);
                ++self->seen_;
                PostMessageA(w, WM_CLOSE, 0, 0);
            }
        }
        return 0;
    }
    std::vector<std::string> captions_;
    HANDLE stop_ = NULL;
    HANDLE thread_ = NULL;
    volatile int seen_ = 0;
};

// One control as the dialog's template should have made it.
struct ControlSpec {
    int id;
    const char *cls;  // window class as GetClassName reports it
    const char *text;
    int x, y, w, h;   // dialog units
    DWORD style;      // style bits that must be set
    DWORD typeMask;   // for BUTTON/STATIC/COMBOBOX: the type field and its value
    DWORD type;
};

// The pixel rectangle, in the dialog's client coordinates, of a dialog-unit rectangle.
// Position and size are converted each on its own, as the dialog manager does.
inline RECT DialogUnitRect(HWND dialog, int x, int y, int w, int h)
{
    RECT r = {x, y, w, h};
    MapDialogRect(dialog, &r);
    return {r.left, r.top, r.left + r.right, r.top + r.bottom};
}

inline RECT ClientRectOf(HWND dialog, HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(NULL, dialog, (POINT *)&r, 2);
    return r;
}

inline std::string RectText(const RECT &r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

// Checks the dialog's client size, font and every control in the table. A drop-down
// combo box chooses its own closed height and shows no text of its own: neither is checked.
inline void ExpectLayout(HWND dialog, int width, int height, const std::vector<ControlSpec> &controls)
{
    RECT client;
    GetClientRect(dialog, &client);
    RECT expected = DialogUnitRect(dialog, 0, 0, width, height);
    EXPECT_EQ(client.right, expected.right) << "dialog width";
    EXPECT_EQ(client.bottom, expected.bottom) << "dialog height";
    LOGFONTA font = {};
    GetObjectA((HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");

    for (const ControlSpec &c : controls) {
        SCOPED_TRACE("control " + std::to_string(c.id) + " \"" + c.text + "\"");
        HWND control = NULL;
        if (c.id != -1) {
            control = GetDlgItem(dialog, c.id);
        } else {
            // Unnamed controls are found by their text.
            for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                char text[256] = "";
                GetWindowTextA(child, text, sizeof text);
                if ((GetDlgCtrlID(child) & 0xFFFF) == 0xFFFF && std::string(text) == c.text)
                    control = child;
            }
        }
        ASSERT_NE(control, (HWND)NULL);
        EXPECT_STRCASEEQ(ClassName(control).c_str(), c.cls);
        bool combo = std::string(c.cls) == "ComboBox";
        char text[256] = "";
        GetWindowTextA(control, text, sizeof text);
        if (!combo) {
            EXPECT_EQ(std::string(text), c.text);
        }
        RECT want = DialogUnitRect(dialog, c.x, c.y, c.w, c.h);
        RECT got = ClientRectOf(dialog, control);
        EXPECT_EQ(got.left, want.left) << RectText(got) << " vs " << RectText(want);
        EXPECT_EQ(got.top, want.top) << RectText(got) << " vs " << RectText(want);
        EXPECT_EQ(got.right, want.right) << RectText(got) << " vs " << RectText(want);
        if (!combo) {
            EXPECT_EQ(got.bottom, want.bottom) << RectText(got) << " vs " << RectText(want);
        }
        DWORD style = (DWORD)GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(style & c.style, c.style) << std::hex << "style 0x" << style;
        EXPECT_EQ(style & c.typeMask, c.type) << std::hex << "style 0x" << style;
    }
}

}  // namespace vt
