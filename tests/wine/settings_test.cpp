// The communication settings: the registry store behind every serial transfer and the
// Communication Settings dialog of SetSerialCommParamDlg.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "comm_settings_res.h"
#include "link/settings.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

class Settings : public VembTest {};
class CommSettingsDialog : public VembTest {};

const char CAPTION[] = "Communication Settings";
const int kSpeedButtons[] = {IDC_BAUD_4800, IDC_BAUD_9600, IDC_BAUD_19200, IDC_BAUD_38400, IDC_BAUD_57600};
const std::pair<DWORD, DWORD> PORT_1 = {1, 1}, SPEED_4 = {4, 4};

std::string SelectedPort(HWND dialog)
{
    char text[64] = "<none>";
    LRESULT item = SendDlgItemMessageA(dialog, IDC_COMM_PORT, CB_GETCURSEL, 0, 0);
    if (item != CB_ERR)
        SendDlgItemMessageA(dialog, IDC_COMM_PORT, CB_GETLBTEXT, item, (LPARAM)text);
    return text;
}

std::vector<int> CheckedSpeeds(HWND dialog)
{
    std::vector<int> checked;
    for (int id : kSpeedButtons)
        if (IsChecked(dialog, id))
            checked.push_back(id);
    return checked;
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
    MessageBoxInfo box = u.WaitMessageBox("Setting serial communication propaties");
    EXPECT_EQ(box.text, "Failed to get the parameter.");
    EXPECT_EQ(box.style, (UINT)(MB_OK | MB_ICONHAND));
    EXPECT_EQ(box.owner, dialog);
    u.Answer(box, IDOK);
    SendMessageA(dialog, WM_NULL, 0, 0);  // let the dialog finish handling the button
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog closed";
}

// Runs the dialog with `script`; returns what SetSerialCommParamDlg returned.
BOOL RunDialog(HWND owner, const std::function<void(Ui &, HWND)> &script)
{
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(CAPTION);
        script(u, dlg);
        u.WaitGone(dlg);
    });
    BOOL result = Dll().SetSerialCommParamDlg(owner);
    ui.Join();
    return result;
}

std::vector<BYTE> Le(DWORD v, size_t size = 4)
{
    std::vector<BYTE> b(size, 0);
    for (size_t i = 0; i < 4 && i < size; ++i)
        b[i] = (BYTE)(v >> (8 * i));
    return b;
}

TEST_F(Settings, FreshProfileGivesCom1And38400AndLeavesAnEmptyTamboraKey)
{
    EXPECT_STREQ(GetComPortName(), "COM1");
    EXPECT_EQ(GetBaudRate(), 38400);
    EXPECT_TRUE(KeyExists(Key::Tambora));
    EXPECT_FALSE(RegValueExists(Key::Tambora, VALUE_COM_PORT));
    EXPECT_FALSE(RegValueExists(Key::Tambora, VALUE_BAUD_RATE));
    EXPECT_FALSE(KeyExists(Key::Brodera)) << "reading never touches the Brodera key";
}

// The same data stored as "COM Port" and as "Baud Rate", read afresh each time; the type is
// not examined, but more than four bytes read as missing.
TEST_F(Settings, StoredNumbersReadAsTheRangesAllow)
{
    struct Case {
        DWORD type;
        std::vector<BYTE> data;
        const char *port;
        int speed;
    } cases[] = {
        {REG_DWORD, Le(0), "COM1", 38400},        {REG_DWORD, Le(1), "COM1", 4800},
        {REG_DWORD, Le(2), "COM2", 9600},         {REG_DWORD, Le(3), "COM3", 19200},
        {REG_DWORD, Le(4), "COM4", 38400},        {REG_DWORD, Le(5), "COM5", 57600},
        {REG_DWORD, Le(6), "COM6", 38400},        {REG_DWORD, Le(7), "COM1", 38400},
        {REG_DWORD, Le(0x102), "COM1", 38400},    {REG_BINARY, Le(3), "COM3", 19200},
        {REG_QWORD, Le(3, 8), "COM1", 38400},     {REG_BINARY, Le(5, 5), "COM1", 38400},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.data.size()) + " bytes, first " + std::to_string(c.data[0]));
        SetRegBinary(Key::Tambora, VALUE_COM_PORT, c.data.data(), (DWORD)c.data.size(), c.type);
        SetRegBinary(Key::Tambora, VALUE_BAUD_RATE, c.data.data(), (DWORD)c.data.size(), c.type);
        EXPECT_STREQ(GetComPortName(), c.port);
        EXPECT_EQ(GetBaudRate(), c.speed);
    }
    DeleteSettingsKeys();
    SetRegDword(Key::Brodera, VALUE_COM_PORT, 4);
    EXPECT_STREQ(GetComPortName(), "COM1") << "only the Tambora key is read";
}

// A key that refuses full access counts as missing for reads; a refused Brodera write goes
// unreported, a refused Tambora write is the write's failure.
TEST_F(Settings, RefusedKeysReadAsMissingAndOnlyTheTamboraWriteCounts)
{
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 3);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 5);
    SetRegString(Key::Tambora, VALUE_RECEIVE_FOLDER, "C:\\designs");
    {
        KeyWriteBlock block(Key::Tambora);
        EXPECT_STREQ(GetComPortName(), "COM1");
        EXPECT_EQ(GetBaudRate(), 38400);
        char folder[MAX_PATH];
        EXPECT_FALSE(ReadReceiveFolder(folder));
        EXPECT_FALSE(WriteComPort(2));
        EXPECT_FALSE(WriteReceiveFolder("C:\\other"));
        EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(2), DWORD(3))) << "Brodera written first";
    }
    KeyWriteBlock block(Key::Brodera);
    EXPECT_TRUE(WriteComPort(4));
    EXPECT_TRUE(WriteReceiveFolder("C:\\fourth"));
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(2), DWORD(4)));
}

// 259 characters are stored (with the terminator) and read back; 260, and 260 bytes without
// a terminator, are too long, and neither runs past the caller's 260 bytes.
TEST_F(Settings, ReceiveFolderIsAtMost259Characters)
{
    std::string longest = "C:\\" + std::string(256, 'f');
    EXPECT_TRUE(WriteReceiveFolder(longest.c_str()));
    std::string brodera;
    ASSERT_TRUE(ReadRegString(Key::Brodera, VALUE_RECEIVE_FOLDER, &brodera));
    EXPECT_EQ(brodera, longest);
    char folder[MAX_PATH + 8];
    ASSERT_TRUE(ReadReceiveFolder(folder));
    EXPECT_EQ(std::string(folder), longest);

    std::string tooLong = longest + "g";
    for (DWORD type : {REG_SZ, REG_BINARY}) {
        SetRegBinary(Key::Tambora, VALUE_RECEIVE_FOLDER, tooLong.c_str(), type == REG_SZ ? 261 : 260, type);
        memset(folder, 'x', sizeof folder);
        EXPECT_FALSE(ReadReceiveFolder(folder)) << type;
        EXPECT_EQ(folder[MAX_PATH], 'x') << type;
    }
}

TEST_F(CommSettingsDialog, TemplateAsDesignedAndCentred)
{
    BOOL result = RunDialog(Owner(), [&](Ui &u, HWND dlg) {
        ExpectControls(dlg, {{IDC_COMM_PORT, "ComboBox", ""},
                             {-1, "Static", "COM"},
                             {-1, "Button", "Communication speed"},
                             {IDC_BAUD_4800, "Button", "4800 bps"},
                             {IDC_BAUD_9600, "Button", "9600 bps"},
                             {IDC_BAUD_19200, "Button", "19200 bps"},
                             {IDC_BAUD_38400, "Button", "38400 bps"},
                             {IDC_BAUD_57600, "Button", "57600 bps"},
                             {IDOK, "Button", "OK"},
                             {IDCANCEL, "Button", "Cancel"}});
        ASSERT_EQ(SendDlgItemMessageA(dlg, IDC_COMM_PORT, CB_GETCOUNT, 0, 0), 6);
        ChoosePort(dlg, "COM6");
        EXPECT_EQ(SelectedPort(dlg), "COM6");
        // The five speeds are one group: each click leaves only that button checked.
        for (int id : {IDC_BAUD_57600, IDC_BAUD_4800, IDC_BAUD_19200}) {
            u.Click(dlg, id);
            u.WaitUntil([&] { return IsChecked(dlg, id); }, "speed button checked");
            EXPECT_EQ(CheckedSpeeds(dlg), std::vector<int>{id});
        }
        RECT r;
        GetWindowRect(dlg, &r);
        EXPECT_NEAR((r.left + r.right) / 2.0, GetSystemMetrics(SM_CXSCREEN) / 2.0, 1.0);
        EXPECT_NEAR((r.top + r.bottom) / 2.0, GetSystemMetrics(SM_CYSCREEN) / 2.0, 1.0);
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), Owner());
        u.Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(result, 1);
}

// Opening the dialog repairs what is missing or out of range, and the repair stays when the
// user cancels (with Cancel, or with the close box).
TEST_F(CommSettingsDialog, OpeningStoresDefaultsForInvalidSettingsEvenOnCancel)
{
    struct Case {
        const char *what;
        std::vector<BYTE> port;
        DWORD portType;
        std::vector<BYTE> speed;
    } cases[] = {
        {"fresh profile", {}, REG_NONE, {}},
        {"port 0, speed 6", Le(0), REG_DWORD, Le(6)},
        {"port 7, speed 0", Le(7), REG_DWORD, Le(0)},
        {"port as an 8-byte number", Le(2, 8), REG_QWORD, Le(0xFFFFFFFF)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DeleteSettingsKeys();
        if (!c.port.empty())
            SetRegBinary(Key::Tambora, VALUE_COM_PORT, c.port.data(), (DWORD)c.port.size(), c.portType);
        if (!c.speed.empty())
            SetRegBinary(Key::Tambora, VALUE_BAUD_RATE, c.speed.data(), (DWORD)c.speed.size(), REG_DWORD);
        std::pair<DWORD, DWORD> portWhileOpen, speedWhileOpen;
        BOOL result = RunDialog(Owner(), [&](Ui &u, HWND dlg) {
            EXPECT_EQ(SelectedPort(dlg), "COM1");
            EXPECT_EQ(CheckedSpeeds(dlg), std::vector<int>{IDC_BAUD_38400});
            portWhileOpen = RegDwordBoth(VALUE_COM_PORT);
            speedWhileOpen = RegDwordBoth(VALUE_BAUD_RATE);
            if (c.portType == REG_DWORD)
                u.Close(dlg);
            else
                u.Click(dlg, IDCANCEL);
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(portWhileOpen, PORT_1);
        EXPECT_EQ(speedWhileOpen, SPEED_4);
        EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), PORT_1);
        EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), SPEED_4);
    }
}

// Valid settings are shown as they are; what the user changes is dropped by Escape.
TEST_F(CommSettingsDialog, ValidSettingsAreShownAndNotRewritten)
{
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 6);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 2);
    BOOL result = RunDialog(Owner(), [&](Ui &u, HWND dlg) {
        EXPECT_EQ(SelectedPort(dlg), "COM6");
        EXPECT_EQ(CheckedSpeeds(dlg), std::vector<int>{IDC_BAUD_9600});
        ChoosePort(dlg, "COM4");
        u.Click(dlg, IDC_BAUD_4800);
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(KeyExists(Key::Brodera)) << "nothing was written";
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(NO_VALUE, DWORD(6)));
    EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(NO_VALUE, DWORD(2)));
}

// OK stores the choice in the Brodera key, then in the Tambora key; a Brodera key that
// refuses writes does not make OK fail.
TEST_F(CommSettingsDialog, OkStoresTheChosenPortAndSpeed)
{
    for (bool broderaRefuses : {false, true}) {
        SCOPED_TRACE(broderaRefuses ? "Brodera refuses" : "both writable");
        DeleteSettingsKeys();
        SetRegDword(Key::Tambora, VALUE_COM_PORT, 2);
        std::unique_ptr<KeyWriteBlock> block(broderaRefuses ? new KeyWriteBlock(Key::Brodera) : nullptr);
        BOOL result = RunDialog(Owner(), [&](Ui &u, HWND dlg) {
            ChoosePort(dlg, "COM3");
            u.Click(dlg, IDC_BAUD_57600);
            u.Click(dlg, IDOK);
        });
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(RecordedMessageBoxes().empty());
        DWORD brodera3 = broderaRefuses ? NO_VALUE : 3, brodera5 = broderaRefuses ? NO_VALUE : 5;
        EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(brodera3, DWORD(3)));
        EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(brodera5, DWORD(5)));
        EXPECT_STREQ(GetComPortName(), "COM3");
        EXPECT_EQ(GetBaudRate(), 57600);
    }
}

// The Tambora key refuses writes: the dialog shows the defaults, and OK fails at the port,
// which the Brodera key has received by then; the speed is not stored at all.
TEST_F(CommSettingsDialog, RefusedTamboraWriteIsReportedAndTheDialogStays)
{
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 5);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 5);
    KeyWriteBlock block(Key::Tambora);
    BOOL result = RunDialog(Owner(), [&](Ui &u, HWND dlg) {
        EXPECT_EQ(SelectedPort(dlg), "COM1");
        EXPECT_EQ(CheckedSpeeds(dlg), std::vector<int>{IDC_BAUD_38400});
        ChoosePort(dlg, "COM3");
        u.Click(dlg, IDC_BAUD_19200);
        OkFails(u, dlg);
        u.Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(3), DWORD(5)));
    EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(DWORD(4), DWORD(5)));
}

// OK without a speed stores the new port, then fails; without a port it fails at once.
TEST_F(CommSettingsDialog, OkWithoutAChoiceFailsAfterStoringWhatCameFirst)
{
    BOOL result = RunDialog(Owner(), [&](Ui &u, HWND dlg) {
        ChoosePort(dlg, "COM5");
        for (int id : kSpeedButtons)
            SendDlgItemMessageA(dlg, id, BM_SETCHECK, BST_UNCHECKED, 0);
        OkFails(u, dlg);
        EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(5), DWORD(5)));
        u.Click(dlg, IDC_BAUD_4800);
        SendDlgItemMessageA(dlg, IDC_COMM_PORT, CB_SETCURSEL, (WPARAM)-1, 0);
        OkFails(u, dlg);
        EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), SPEED_4);
        ChoosePort(dlg, "COM2");
        u.Click(dlg, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(2), DWORD(2)));
    EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(DWORD(1), DWORD(1)));
}

TEST_F(CommSettingsDialog, ReturnsZeroWhenTheDialogCannotOpen)
{
    HWND gone = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    DestroyWindow(gone);
    DialogWatch watch({CAPTION});
    EXPECT_EQ(Dll().SetSerialCommParamDlg(gone), 0);
    EXPECT_EQ(watch.Stop(), 0) << "the dialog opened";
}

}  // namespace
