// The settings in the registry: port, speed, receive folder and machine version, with the
// Communication Settings dialog (SetSerialCommParamDlg) and the version dialog (CheckVersionDlg).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include "comm_settings_res.h"
#include "link/settings.h"
#include "machine_version_res.h"
#include "vemb_helpers.h"

using namespace vt;
using Script = std::function<void(Ui &, HWND)>;

namespace {

const char COMM[] = "Communication Settings", CONFIRM[] = "Confirm Machine's Version",
           SELECT[] = "Select Machine's Version", PROPATIES[] = "Setting serial communication propaties";
const char REOPEN_NOTE[] = "* Click [Loomstar] - [Select Machine's Version] \n   to open this dialog again.";
const int kSpeedButtons[] = {IDC_BAUD_4800, IDC_BAUD_9600, IDC_BAUD_19200, IDC_BAUD_38400, IDC_BAUD_57600};

// Runs an export's dialog (found by its caption) with `script` and checks its result.
void RunDialog(const std::function<int()> &open, const char *caption, const Script &script, int result = 1)
{
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(caption);
        script(u, dlg);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(open(), result);
    ui.Join();
}

class Settings : public VembTest {};
class CommSettingsDialog : public VembTest {
protected:
    void Run(const Script &script) { RunDialog([&] { return Dll().SetSerialCommParamDlg(Owner()); }, COMM, script); }
};
class VersionDialog : public VembTest {
protected:
    void Run(int force, const char *caption, const Script &script, int result)
    {
        RunDialog([&] { return Dll().CheckVersionDlg(Owner(), force); }, caption, script, result);
    }
};

// What the dialog shows: the selected port and the checked speeds.
std::string ShownSettings(HWND dialog)
{
    char text[64] = "<none>";
    LRESULT item = SendDlgItemMessageA(dialog, IDC_COMM_PORT, CB_GETCURSEL, 0, 0);
    if (item != CB_ERR)
        SendDlgItemMessageA(dialog, IDC_COMM_PORT, CB_GETLBTEXT, item, (LPARAM)text);
    std::string shown = text;
    for (int id : kSpeedButtons)
        if (IsChecked(dialog, id))
            shown += " " + ControlText(dialog, id);
    return shown;
}

// "COM Port" and "Baud Rate" in the Brodera and the Tambora key: "B/T B/T", "-" where absent.
std::string Stored()
{
    std::string text;
    auto show = [](DWORD v) { return v == NO_VALUE ? std::string("-") : std::to_string(v); };
    for (const char *name : {VALUE_COM_PORT, VALUE_BAUD_RATE}) {
        std::pair<DWORD, DWORD> both = RegDwordBoth(name);
        text += (text.empty() ? "" : " ") + show(both.first) + "/" + show(both.second);
    }
    return text;
}

std::string Read()
{
    return GetComPortName() + (" " + std::to_string(GetBaudRate())) + " v" + std::to_string(Dll().GetVersionCode());
}

// Picks a port as the user does: the selection changes and the combo box tells its dialog.
void ChoosePort(HWND dialog, const char *name)
{
    HWND combo = GetDlgItem(dialog, IDC_COMM_PORT);
    SendMessageA(combo, CB_SETCURSEL, SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)name), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_COMM_PORT, CBN_SELCHANGE), (LPARAM)combo);
}

// Presses OK, answers the failure message and checks that the dialog stays.
void OkFails(Ui &u, HWND dialog)
{
    u.Click(dialog, IDOK);
    MessageBoxInfo box = u.WaitMessageBox(PROPATIES);
    EXPECT_EQ(box.owner, dialog);
    u.Answer(box, IDOK);
    Settle(dialog);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog closed";
}

std::vector<BYTE> Le(DWORD v, size_t size = 4)
{
    std::vector<BYTE> b(size, 0);
    for (size_t i = 0; i < 4 && i < size; ++i)
        b[i] = (BYTE)(v >> (8 * i));
    return b;
}

// The same data stored as port, speed and version, read afresh each time: the type is not
// examined, more than four bytes read as missing, the version counts only when positive. A
// fresh profile reads the defaults and leaves the Tambora key, empty; the Brodera key is never read.
TEST_F(Settings, StoredNumbersReadAsTheRangesAllow)
{
    EXPECT_EQ(Read(), "COM1 38400 v-1");
    EXPECT_TRUE(KeyExists(Key::Tambora));
    EXPECT_FALSE(RegValueExists(Key::Tambora, VALUE_COM_PORT) || RegValueExists(Key::Tambora, VALUE_BAUD_RATE));
    EXPECT_FALSE(KeyExists(Key::Brodera)) << "reading never touches the Brodera key";
    const struct {
        DWORD type;
        std::vector<BYTE> data;
        const char *read;
    } cases[] = {
        {REG_DWORD, Le(0), "COM1 38400 v-1"},       {REG_DWORD, Le(1), "COM1 4800 v1"},
        {REG_DWORD, Le(2), "COM2 9600 v2"},         {REG_DWORD, Le(4), "COM4 38400 v4"},
        {REG_DWORD, Le(5), "COM5 57600 v5"},        {REG_DWORD, Le(6), "COM6 38400 v6"},
        {REG_DWORD, Le(7), "COM1 38400 v7"},        {REG_DWORD, Le(0x102), "COM1 38400 v258"},
        {REG_BINARY, Le(3), "COM3 19200 v3"},       {REG_QWORD, Le(3, 8), "COM1 38400 v-1"},
        {REG_BINARY, Le(5, 5), "COM1 38400 v-1"},   {REG_DWORD, Le(0xFFFFFFFF), "COM1 38400 v-1"},
        {REG_DWORD, Le(0x80000000), "COM1 38400 v-1"},
    };
    for (const auto &c : cases) {
        for (const char *name : {VALUE_COM_PORT, VALUE_BAUD_RATE, VALUE_MACHINE_VERSION})
            SetRegBinary(Key::Tambora, name, c.data.data(), (DWORD)c.data.size(), c.type);
        EXPECT_EQ(Read(), c.read) << c.data.size() << " bytes, first " << (int)c.data[0];
    }
    DeleteSettingsKeys();
    SetRegDword(Key::Brodera, VALUE_COM_PORT, 4);
    SetRegDword(Key::Brodera, VALUE_MACHINE_VERSION, 2);
    EXPECT_EQ(Read(), "COM1 38400 v-1") << "only the Tambora key is read";
}

// A key that refuses full access counts as missing for reads; a refused Brodera write goes
// unreported, a refused Tambora write is the write's failure. The receive folder holds at
// most 259 characters; longer data, or 260 bytes without a terminator, never run past 260 bytes.
TEST_F(Settings, RefusedKeysAndTheReceiveFolder)
{
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 3);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 5);
    SetRegString(Key::Tambora, VALUE_RECEIVE_FOLDER, "C:\\designs");
    char folder[MAX_PATH + 8];
    {
        KeyWriteBlock block(Key::Tambora);
        EXPECT_EQ(Read(), "COM1 38400 v-1");
        EXPECT_FALSE(ReadReceiveFolder(folder));
        EXPECT_FALSE(WriteComPort(2));
        EXPECT_FALSE(WriteReceiveFolder("C:\\other"));
        EXPECT_EQ(Stored(), "2/3 -/5") << "Brodera written first";
    }
    {
        KeyWriteBlock block(Key::Brodera);
        EXPECT_TRUE(WriteComPort(4));
        EXPECT_EQ(Stored(), "2/4 -/5");
    }
    std::string longest = "C:\\" + std::string(256, 'f'), brodera, tooLong = longest + "g";
    EXPECT_TRUE(WriteReceiveFolder(longest.c_str()));
    EXPECT_TRUE(ReadRegString(Key::Brodera, VALUE_RECEIVE_FOLDER, &brodera) && brodera == longest);
    ASSERT_TRUE(ReadReceiveFolder(folder));
    EXPECT_EQ(std::string(folder), longest);
    for (DWORD type : {REG_SZ, REG_BINARY}) {
        SetRegBinary(Key::Tambora, VALUE_RECEIVE_FOLDER, tooLong.c_str(), type == REG_SZ ? 261 : 260, type);
        memset(folder, 'x', sizeof folder);
        EXPECT_FALSE(ReadReceiveFolder(folder)) << type;
        EXPECT_EQ(folder[MAX_PATH], 'x') << type;
    }
}

// Valid settings are shown as they are and nothing is written; what is missing or out of
// range is shown as COM1 and 38400 and stored as 1 and 4 in both keys at opening, and stays
// when the user cancels (with Escape or the close box).
TEST_F(CommSettingsDialog, OpeningShowsValidSettingsAndRepairsTheOthersEvenOnCancel)
{
    const struct {
        std::vector<BYTE> port;
        DWORD portType;
        std::vector<BYTE> speed;
        const char *shown, *stored;
    } cases[] = {
        {{}, REG_NONE, {}, "COM1 38400 bps", "1/1 4/4"},  // a fresh profile
        {Le(7), REG_DWORD, Le(0), "COM1 38400 bps", "1/1 4/4"},
        {Le(2, 8), REG_QWORD, Le(6), "COM1 38400 bps", "1/1 4/4"},
        {Le(6), REG_DWORD, Le(2), "COM6 9600 bps", "-/6 -/2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored);
        DeleteSettingsKeys();
        if (!c.port.empty())
            SetRegBinary(Key::Tambora, VALUE_COM_PORT, c.port.data(), (DWORD)c.port.size(), c.portType);
        if (!c.speed.empty())
            SetRegBinary(Key::Tambora, VALUE_BAUD_RATE, c.speed.data(), (DWORD)c.speed.size(), REG_DWORD);
        std::string whileOpen;
        Run([&](Ui &u, HWND dlg) {
            whileOpen = ShownSettings(dlg) + ", " + Stored();
            ChoosePort(dlg, "COM4");
            u.Click(dlg, IDC_BAUD_4800);
            if (c.portType == REG_DWORD)
                u.Close(dlg);
            else
                PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);  // Escape
        });
        EXPECT_EQ(whileOpen, std::string(c.shown) + ", " + c.stored);
        EXPECT_EQ(Stored(), c.stored);
    }
}

// OK stores the choice in the Brodera key, then in the Tambora key; a Brodera key that
// refuses writes does not make OK fail. Centred on the screen, six ports, the speeds one group.
TEST_F(CommSettingsDialog, OkStoresTheChosenPortAndSpeed)
{
    for (bool broderaRefuses : {false, true}) {
        SCOPED_TRACE(broderaRefuses ? "Brodera refuses" : "both writable");
        DeleteSettingsKeys();
        SetRegDword(Key::Tambora, VALUE_COM_PORT, 2);
        std::unique_ptr<KeyWriteBlock> block(broderaRefuses ? new KeyWriteBlock(Key::Brodera) : nullptr);
        Run([&](Ui &u, HWND dlg) {
            EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_COMM_PORT, CB_GETCOUNT, 0, 0), 6);
            for (int id : {IDC_BAUD_4800, IDC_BAUD_19200, IDC_BAUD_57600}) {
                u.Click(dlg, id);
                u.WaitUntil([&] { return ShownSettings(dlg) == "COM2 " + ControlText(dlg, id); }, "only that speed");
            }
            RECT r;
            GetWindowRect(dlg, &r);
            EXPECT_NEAR((r.left + r.right) / 2.0, GetSystemMetrics(SM_CXSCREEN) / 2.0, 1.0);
            EXPECT_NEAR((r.top + r.bottom) / 2.0, GetSystemMetrics(SM_CYSCREEN) / 2.0, 1.0);
            ChoosePort(dlg, "COM3");
            u.Click(dlg, IDOK);
        });
        EXPECT_TRUE(RecordedMessageBoxes().empty());
        EXPECT_EQ(Stored(), broderaRefuses ? "-/3 -/5" : "3/3 5/5");
        EXPECT_EQ(GetComPortName() + std::string(" ") + std::to_string(GetBaudRate()), "COM3 57600");
    }
}

// VembDlg.dll's registry writes in order, "<key> <value>": the key named by the product in its path.
Names g_regWrites;
std::map<HKEY, std::string> g_regKeyNames;
LONG WINAPI RecordingCreateKey(HKEY root, LPCSTR path, DWORD reserved, LPSTR kind, DWORD options, REGSAM access,
                               LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition)
{
    LONG e = RegCreateKeyExA(root, path, reserved, kind, options, access, security, key, disposition);
    if (e == ERROR_SUCCESS)
        g_regKeyNames[*key] = strstr(path, "Brodera") ? "Brodera" : strstr(path, "Tambora") ? "Tambora" : path;
    return e;
}
LONG WINAPI RecordingSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    g_regWrites.push_back(g_regKeyNames[key] + " " + name);
    return RegSetValueExA(key, name, reserved, type, data, size);
}

// Every write goes to the Brodera key first, then to the Tambora key: the defaults that opening on a fresh
// profile stores, then the choice of OK.
TEST_F(CommSettingsDialog, WritesGoToTheBroderaKeyBeforeTheTamboraKey)
{
    DeleteSettingsKeys();
    ASSERT_TRUE(uidrive::PatchImport(Dll().module, "advapi32.dll", "RegCreateKeyExA", (void *)RecordingCreateKey));
    ASSERT_TRUE(uidrive::PatchImport(Dll().module, "advapi32.dll", "RegSetValueExA", (void *)RecordingSetValue));
    g_regWrites.clear();
    Run([&](Ui &u, HWND dlg) {
        ChoosePort(dlg, "COM3");
        u.Click(dlg, IDC_BAUD_57600);
        u.Click(dlg, IDOK);
    });
    const Names pair = {"Brodera COM Port", "Tambora COM Port", "Brodera Baud Rate", "Tambora Baud Rate"};
    Names twice = pair;
    twice.insert(twice.end(), pair.begin(), pair.end());
    EXPECT_EQ(g_regWrites, twice);
    EXPECT_EQ(Stored(), "3/3 5/5");
}

// OK that cannot store: the Tambora key refuses writes (the dialog shows the defaults, the
// port reaches the Brodera key, the speed nowhere), or no speed or no port is chosen. The
// message, and the dialog stays.
TEST_F(CommSettingsDialog, OkThatCannotStoreIsReportedAndTheDialogStays)
{
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 5);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 5);
    std::unique_ptr<KeyWriteBlock> block(new KeyWriteBlock(Key::Tambora));
    std::string shown;
    Run([&](Ui &u, HWND dlg) {
        shown = ShownSettings(dlg);
        ChoosePort(dlg, "COM3");
        u.Click(dlg, IDC_BAUD_19200);
        OkFails(u, dlg);
        u.Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(shown, "COM1 38400 bps");
    block.reset();
    EXPECT_EQ(Stored(), "3/5 4/5");
    DeleteSettingsKeys();
    Names stored;
    Run([&](Ui &u, HWND dlg) {
        ChoosePort(dlg, "COM5");
        for (int id : kSpeedButtons)
            SendDlgItemMessageA(dlg, id, BM_SETCHECK, BST_UNCHECKED, 0);
        OkFails(u, dlg);  // the port is stored first
        stored.push_back(Stored());
        u.Click(dlg, IDC_BAUD_4800);
        SendDlgItemMessageA(dlg, IDC_COMM_PORT, CB_SETCURSEL, (WPARAM)-1, 0);
        OkFails(u, dlg);
        stored.push_back(Stored());
        ChoosePort(dlg, "COM2");
        u.Click(dlg, IDOK);
    });
    EXPECT_EQ(stored, (Names{"5/5 4/4", "5/5 4/4"}));
    EXPECT_EQ(Stored(), "2/2 1/1");
    const Shown failed = {PROPATIES, "Failed to get the parameter.", MB_ICONHAND};
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{failed, failed, failed}));
}

// An owner that is no window: SetSerialCommParamDlg returns 0, CheckVersionDlg -1, no dialog tried.
TEST_F(CommSettingsDialog, ExportsWhoseDialogCannotOpen)
{
    HWND gone = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    DestroyWindow(gone);
    DialogRefusal refusal("");
    EXPECT_EQ(Dll().SetSerialCommParamDlg(gone), 0);
    EXPECT_EQ(Dll().CheckVersionDlg(gone, 1), -1);
    EXPECT_EQ(DialogRefusal::Refused(), 0);
}

// The version 2.1 note: the update advice around the web address.
bool IsUpdateNote(const std::string &note)
{
    const std::string head = "* We recomend you to update LS9000's program.\n* Visit our website at  ",
                      tail = "\n    to download new program.";
    return note.size() > head.size() + tail.size() && note.compare(0, head.size(), head) == 0 &&
           note.compare(note.size() - tail.size(), tail.size(), tail) == 0 &&
           note.find("loomstar.example", head.size()) != std::string::npos;
}

// What the dialog shows for each stored version and force flag; the note follows the
// clicks; Cancel, also after a click, stores nothing and returns 2. Not centred: its client
// area starts where the owner's does.
TEST_F(VersionDialog, ShowsTheStoredVersion)
{
    const struct {
        DWORD stored;  // NO_VALUE: nothing
        int force;
        const char *caption;
        int checked;
    } cases[] = {{1, 0, CONFIRM, IDC_VERSION_21}, {NO_VALUE, 0, SELECT, 0}, {2, 1, SELECT, IDC_VERSION_22},
                 {1, 1, SELECT, IDC_VERSION_21},  {7, 0, CONFIRM, IDC_VERSION_21}, {0, 0, SELECT, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.stored) + ", force " + std::to_string(c.force));
        DeleteSettingsKeys();
        if (c.stored != NO_VALUE)
            SetRegDword(Key::Tambora, VALUE_MACHINE_VERSION, c.stored);
        Run(c.force, c.caption, [&](Ui &u, HWND dlg) {
            EXPECT_EQ(IsChecked(dlg, IDC_VERSION_21), c.checked == IDC_VERSION_21);
            EXPECT_EQ(IsChecked(dlg, IDC_VERSION_22), c.checked == IDC_VERSION_22);
            std::string note = ControlText(dlg, IDC_VERSION_NOTE);
            EXPECT_TRUE(c.checked == IDC_VERSION_21 ? IsUpdateNote(note) : note == REOPEN_NOTE) << note;
            POINT origin = {0, 0}, dialogOrigin = {0, 0};
            ClientToScreen(Owner(), &origin);
            ClientToScreen(dlg, &dialogOrigin);
            EXPECT_TRUE(origin.x == dialogOrigin.x && origin.y == dialogOrigin.y && GetWindow(dlg, GW_OWNER) == Owner());
            for (int id : {IDC_VERSION_22, IDC_VERSION_21, IDC_VERSION_22}) {
                u.Click(dlg, id);
                u.WaitUntil([&] {
                    std::string now = ControlText(dlg, IDC_VERSION_NOTE);
                    return id == IDC_VERSION_22 ? now == REOPEN_NOTE && !IsChecked(dlg, IDC_VERSION_21) : IsUpdateNote(now);
                }, "the note of the version clicked");
            }
            u.Click(dlg, IDCANCEL);
        }, 2);
        EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(NO_VALUE, c.stored));
    }
}

// OK stores the checked version in both keys, -1 without a choice; a refused write is not
// reported. With 2.2 stored the next unforced call returns 1 at once, without a dialog.
TEST_F(VersionDialog, OkStoresTheCheckedVersionInBothKeys)
{
    const struct {
        int force, button, refused;  // refused: 0 none, 1 Brodera, 2 Tambora
        DWORD brodera, tambora;
    } cases[] = {{0, IDC_VERSION_22, 0, 2, 2}, {1, IDC_VERSION_21, 0, 1, 1}, {1, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF},
                 {0, IDC_VERSION_22, 1, NO_VALUE, 2}, {0, IDC_VERSION_22, 2, 2, NO_VALUE}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.button) + " refused " + std::to_string(c.refused));
        if (c.refused || !c.button)
            DeleteSettingsKeys();
        std::unique_ptr<KeyWriteBlock> block(c.refused ? new KeyWriteBlock(c.refused == 1 ? Key::Brodera : Key::Tambora)
                                                       : nullptr);
        Run(c.force, SELECT, [&](Ui &u, HWND dlg) {
            if (c.button)
                u.Click(dlg, c.button);
            u.Click(dlg, IDOK);
        }, 1);
        EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(c.brodera, c.tambora));
        EXPECT_TRUE(c.button || Dll().GetVersionCode() == -1);
    }
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    DeleteSettingsKeys();
    SetRegDword(Key::Tambora, VALUE_MACHINE_VERSION, 2);
    DialogRefusal refusal("Confirm Machine's Version");
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 0), 1);
    EXPECT_EQ(DialogRefusal::Refused(), 0) << "a dialog opened";
}

}  // namespace
