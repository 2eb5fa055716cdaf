// The communication settings: the registry store behind every serial transfer and the
// Communication Settings dialog of SetSerialCommParamDlg.
#include <windows.h>

#include <gtest/gtest.h>

#include "comm_settings_res.h"
#include "link/settings.h"
#include "settings_support.h"
#include "vemb_fixture.h"

using namespace vt;

namespace {

class Settings : public VembTest {};
class CommSettingsDialog : public VembTest {};

const char CAPTION[] = "Communication Settings";
const char FAIL_CAPTION[] = "Setting serial communication propaties";
const char FAIL_TEXT[] = "Failed to get the parameter.";

const int kSpeedButtons[] = {IDC_BAUD_4800, IDC_BAUD_9600, IDC_BAUD_19200, IDC_BAUD_38400, IDC_BAUD_57600};

std::string SelectedPort(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, IDC_COMM_PORT);
    LRESULT item = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR)
        return "<none>";
    char text[64] = "";
    SendMessageA(combo, CB_GETLBTEXT, item, (LPARAM)text);
    return text;
}

// The checked speed buttons, as their ids.
std::vector<int> CheckedSpeeds(HWND dialog)
{
    std::vector<int> checked;
    for (int id : kSpeedButtons)
        if (IsChecked(dialog, id))
            checked.push_back(id);
    return checked;
}

// Picks a port as the user does: the list's selection changes and the combo box tells
// its dialog.
void ChoosePort(HWND dialog, const char *name)
{
    HWND combo = GetDlgItem(dialog, IDC_COMM_PORT);
    LRESULT item = SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)name);
    ASSERT_NE(item, CB_ERR) << name;
    SendMessageA(combo, CB_SETCURSEL, item, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_COMM_PORT, CBN_SELCHANGE), (LPARAM)combo);
}

// After a message box over the dialog has been answered: the dialog is still open.
void ExpectStillOpen(HWND dialog)
{
    SendMessageA(dialog, WM_NULL, 0, 0);  // let the dialog finish handling the button
    EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog)) << "the dialog closed";
}

void AnswerFailure(Ui &u)
{
    MessageBoxInfo box = u.WaitMessageBox(FAIL_CAPTION);
    EXPECT_EQ(box.text, FAIL_TEXT);
    EXPECT_EQ(box.style, (UINT)(MB_OK | MB_ICONHAND));
    u.Answer(box, IDOK);
}

// ---- the store ----

TEST_F(Settings, FreshProfileGivesCom1And38400AndLeavesAnEmptyTamboraKey)
{
    ASSERT_FALSE(KeyExists(Key::Tambora));
    EXPECT_STREQ(GetComPortName(), "COM1");
    EXPECT_EQ(GetBaudRate(), 38400);
    EXPECT_EQ(ReadComPort(), nullptr);
    EXPECT_EQ(ReadBaudRateCode(), -1);
    EXPECT_TRUE(KeyExists(Key::Tambora));
    EXPECT_EQ(RegValueCount(Key::Tambora), 0u);
    EXPECT_FALSE(KeyExists(Key::Brodera)) << "reading never touches the Brodera key";
}

struct StoredNumber {
    DWORD type;
    std::vector<BYTE> data;
    const char *port;  // ReadComPort, null for none
    const char *name;  // GetComPortName
    int code;          // ReadBaudRateCode
    int speed;         // GetBaudRate
};

std::vector<BYTE> Le(DWORD v, size_t size = 4)
{
    std::vector<BYTE> b(size, 0);
    for (size_t i = 0; i < 4 && i < size; ++i)
        b[i] = (BYTE)(v >> (8 * i));
    return b;
}

// The same data stored as "COM Port" and as "Baud Rate".
TEST_F(Settings, StoredNumbersReadAsTheRangesAllow)
{
    const StoredNumber cases[] = {
        {REG_DWORD, Le(0), nullptr, "COM1", -1, 38400},
        {REG_DWORD, Le(1), "COM1", "COM1", 1, 4800},
        {REG_DWORD, Le(2), "COM2", "COM2", 2, 9600},
        {REG_DWORD, Le(3), "COM3", "COM3", 3, 19200},
        {REG_DWORD, Le(4), "COM4", "COM4", 4, 38400},
        {REG_DWORD, Le(5), "COM5", "COM5", 5, 57600},
        {REG_DWORD, Le(6), "COM6", "COM6", -1, 38400},
        {REG_DWORD, Le(7), nullptr, "COM1", -1, 38400},
        {REG_DWORD, Le(0xFFFFFFFF), nullptr, "COM1", -1, 38400},
        {REG_DWORD, Le(0x100 + 2), nullptr, "COM1", -1, 38400},
        // The type is not examined: four little-endian bytes of any type count.
        {REG_BINARY, Le(3), "COM3", "COM3", 3, 19200},
        {REG_DWORD_BIG_ENDIAN, Le(2), "COM2", "COM2", 2, 9600},
        // Data longer than four bytes reads as missing.
        {REG_QWORD, Le(3, 8), nullptr, "COM1", -1, 38400},
        {REG_BINARY, Le(5, 5), nullptr, "COM1", -1, 38400},
    };
    for (const StoredNumber &c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + ", " + std::to_string(c.data.size()) + " bytes, first " +
                     std::to_string(c.data[0]));
        SetRegBinary(Key::Tambora, VALUE_COM_PORT, c.data.data(), (DWORD)c.data.size(), c.type);
        SetRegBinary(Key::Tambora, VALUE_BAUD_RATE, c.data.data(), (DWORD)c.data.size(), c.type);
        const char *port = ReadComPort();
        if (c.port)
            EXPECT_STREQ(port, c.port);
        else
            EXPECT_EQ(port, nullptr);
        EXPECT_STREQ(GetComPortName(), c.name);
        EXPECT_EQ(ReadBaudRateCode(), c.code);
        EXPECT_EQ(GetBaudRate(), c.speed);
    }
}

TEST_F(Settings, OnlyTheTamboraKeyIsRead)
{
    SetRegDword(Key::Brodera, VALUE_COM_PORT, 4);
    SetRegDword(Key::Brodera, VALUE_BAUD_RATE, 5);
    SetRegString(Key::Brodera, VALUE_RECEIVE_FOLDER, "C:\\designs");
    EXPECT_STREQ(GetComPortName(), "COM1");
    EXPECT_EQ(GetBaudRate(), 38400);
    char folder[MAX_PATH];
    EXPECT_FALSE(ReadReceiveFolder(folder));
}

TEST_F(Settings, EveryReadAsksTheRegistryAgain)
{
    EXPECT_STREQ(GetComPortName(), "COM1");
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 5);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 1);
    EXPECT_STREQ(GetComPortName(), "COM5");
    EXPECT_EQ(GetBaudRate(), 4800);
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 2);
    EXPECT_STREQ(GetComPortName(), "COM2");
}

TEST_F(Settings, BaudRateFromCodeDefaultsTo38400)
{
    const int codes[][2] = {{1, 4800}, {2, 9600}, {3, 19200}, {4, 38400}, {5, 57600},
                            {-1, 38400}, {0, 38400}, {6, 38400}};
    for (auto &c : codes)
        EXPECT_EQ(BaudRateFromCode(c[0]), c[1]) << "code " << c[0];
}

TEST_F(Settings, WritesGoToBothKeysAsDwords)
{
    EXPECT_TRUE(WriteComPort(3));
    EXPECT_TRUE(WriteBaudRateCode(5));
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(3), DWORD(3)));
    EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(DWORD(5), DWORD(5)));
    EXPECT_STREQ(GetComPortName(), "COM3");
    EXPECT_EQ(GetBaudRate(), 57600);
}

// A key that refuses full access counts as missing for reads; a refused Brodera write
// goes unreported, a refused Tambora write is the write's failure.
TEST_F(Settings, RefusedKeysReadAsMissingAndOnlyTheTamboraWriteCounts)
{
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 3);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 5);
    SetRegString(Key::Tambora, VALUE_RECEIVE_FOLDER, "C:\\designs");
    {
        KeyWriteBlock block(Key::Tambora);
        ASSERT_TRUE(block.Holds()) << "the registry ignores the key's access list";
        EXPECT_STREQ(GetComPortName(), "COM1");
        EXPECT_EQ(GetBaudRate(), 38400);
        char folder[MAX_PATH];
        EXPECT_FALSE(ReadReceiveFolder(folder));
        EXPECT_FALSE(WriteComPort(2));
        EXPECT_FALSE(WriteReceiveFolder("C:\\other"));
        // The Brodera key was written first all the same.
        EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(2), DWORD(3)));
    }
    {
        KeyWriteBlock block(Key::Brodera);
        ASSERT_TRUE(block.Holds());
        EXPECT_TRUE(WriteComPort(4));
        EXPECT_TRUE(WriteReceiveFolder("C:\\fourth"));
        EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(2), DWORD(4)));
    }
}

TEST_F(Settings, ReceiveFolderIsAtMost259Characters)
{
    std::string longest = "C:\\" + std::string(256, 'f');  // 259 characters
    ASSERT_EQ(longest.size(), 259u);
    EXPECT_TRUE(WriteReceiveFolder(longest.c_str()));
    std::string brodera, tambora;
    ASSERT_TRUE(ReadRegString(Key::Brodera, VALUE_RECEIVE_FOLDER, &brodera));
    ASSERT_TRUE(ReadRegString(Key::Tambora, VALUE_RECEIVE_FOLDER, &tambora));
    EXPECT_EQ(brodera, longest);
    EXPECT_EQ(tambora, longest);

    char folder[MAX_PATH + 8];
    memset(folder, 'x', sizeof folder);
    ASSERT_TRUE(ReadReceiveFolder(folder));
    EXPECT_EQ(std::string(folder), longest);

    // 260 characters, and 260 bytes stored without a terminator, are too long; neither may
    // run past the caller's 260 bytes.
    std::string tooLong = longest + "g";
    SetRegString(Key::Tambora, VALUE_RECEIVE_FOLDER, tooLong);
    memset(folder, 'x', sizeof folder);
    EXPECT_FALSE(ReadReceiveFolder(folder));
    EXPECT_EQ(folder[MAX_PATH], 'x');
    SetRegBinary(Key::Tambora, VALUE_RECEIVE_FOLDER, tooLong.data(), MAX_PATH, REG_BINARY);
    memset(folder, 'x', sizeof folder);
    EXPECT_FALSE(ReadReceiveFolder(folder));
    EXPECT_EQ(folder[MAX_PATH], 'x');
}

TEST_F(Settings, ReceiveFolderIsStoredWithItsTerminator)
{
    EXPECT_TRUE(WriteReceiveFolder("C:\\in"));
    for (Key key : {Key::Brodera, Key::Tambora}) {
        HKEY k;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath(key), 0, KEY_READ, &k), ERROR_SUCCESS);
        DWORD type = 0, size = 0;
        EXPECT_EQ(RegQueryValueExA(k, VALUE_RECEIVE_FOLDER, NULL, &type, NULL, &size), ERROR_SUCCESS);
        RegCloseKey(k);
        EXPECT_EQ(type, (DWORD)REG_SZ);
        EXPECT_EQ(size, 6u);
    }
    char folder[MAX_PATH];
    ASSERT_TRUE(ReadReceiveFolder(folder));
    EXPECT_STREQ(folder, "C:\\in");
}

// ---- the dialog ----

TEST_F(CommSettingsDialog, TemplateAsDesignedAndCentred)
{
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(CAPTION);
        const DWORD RADIO = BS_AUTORADIOBUTTON;
        ExpectLayout(dlg, 194, 90,
                     {
                         {IDC_COMM_PORT, "ComboBox", "", 57, 7, 48, 123, CBS_SORT | WS_TABSTOP, 0x3,
                          CBS_DROPDOWNLIST},
                         {-1, "Static", "COM", 14, 10, 39, 8, 0, SS_TYPEMASK, SS_RIGHT},
                         {-1, "Button", "Communication speed", 7, 25, 180, 40, 0, BS_TYPEMASK, BS_GROUPBOX},
                         {IDC_BAUD_4800, "Button", "4800 bps", 15, 38, 49, 10, WS_GROUP, BS_TYPEMASK, RADIO},
                         {IDC_BAUD_9600, "Button", "9600 bps", 72, 38, 49, 10, 0, BS_TYPEMASK, RADIO},
                         {IDC_BAUD_19200, "Button", "19200 bps", 129, 38, 49, 10, 0, BS_TYPEMASK, RADIO},
                         {IDC_BAUD_38400, "Button", "38400 bps", 15, 51, 49, 10, 0, BS_TYPEMASK, RADIO},
                         {IDC_BAUD_57600, "Button", "57600 bps", 72, 51, 49, 10, 0, BS_TYPEMASK, RADIO},
                         {IDOK, "Button", "OK", 67, 70, 50, 14, 0, BS_TYPEMASK, BS_DEFPUSHBUTTON},
                         {IDCANCEL, "Button", "Cancel", 128, 70, 50, 14, 0, BS_TYPEMASK, BS_PUSHBUTTON},
                     });
        // The box with its list spans 123 units; a list without CBS_NOINTEGRALHEIGHT shows
        // whole items only, so its bottom may rise by less than one item.
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetComboBoxInfo(GetDlgItem(dlg, IDC_COMM_PORT), &info));
        RECT box, list;
        GetWindowRect(GetDlgItem(dlg, IDC_COMM_PORT), &box);
        GetWindowRect(info.hwndList, &list);
        RECT want = DialogUnitRect(dlg, 57, 7, 48, 123);
        LONG dropped = (box.bottom - box.top) + (list.bottom - list.top);
        LRESULT itemHeight = SendDlgItemMessageA(dlg, IDC_COMM_PORT, CB_GETITEMHEIGHT, 0, 0);
        EXPECT_LE(dropped, want.bottom - want.top);
        EXPECT_GT(dropped, want.bottom - want.top - itemHeight);

        HWND combo = GetDlgItem(dlg, IDC_COMM_PORT);
        ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 6);
        for (int i = 0; i < 6; ++i) {
            char text[16] = "";
            SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)text);
            EXPECT_EQ(std::string(text), "COM" + std::to_string(i + 1));
        }
        // The five speeds are one group: each click leaves only that button checked.
        for (int id : {IDC_BAUD_57600, IDC_BAUD_4800, IDC_BAUD_19200, IDC_BAUD_9600, IDC_BAUD_38400}) {
            u.Click(dlg, id);
            u.WaitUntil([&] { return IsChecked(dlg, id); }, "speed button checked");
            EXPECT_EQ(CheckedSpeeds(dlg), std::vector<int>{id});
        }

        RECT r;
        GetWindowRect(dlg, &r);
        EXPECT_NEAR((r.left + r.right) / 2.0, GetSystemMetrics(SM_CXSCREEN) / 2.0, 1.0) << RectText(r);
        EXPECT_NEAR((r.top + r.bottom) / 2.0, GetSystemMetrics(SM_CYSCREEN) / 2.0, 1.0) << RectText(r);
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), Owner());
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    BOOL result = Dll().SetSerialCommParamDlg(Owner());
    ui.Join();
    EXPECT_EQ(result, 1);
}

// Opening the dialog repairs what is missing or out of range, and the repair stays
// when the user cancels.
TEST_F(CommSettingsDialog, OpeningStoresDefaultsForInvalidSettingsEvenOnCancel)
{
    struct Case {
        const char *what;
        std::vector<BYTE> port;
        DWORD portType;
        std::vector<BYTE> speed;
    };
    const Case cases[] = {
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
        UiScript ui([&](Ui &u) {
            HWND dlg = u.WaitDialog(CAPTION);
            EXPECT_EQ(SelectedPort(dlg), "COM1");
            EXPECT_EQ(CheckedSpeeds(dlg), std::vector<int>{IDC_BAUD_38400});
            portWhileOpen = RegDwordBoth(VALUE_COM_PORT);
            speedWhileOpen = RegDwordBoth(VALUE_BAUD_RATE);
            u.Click(dlg, IDCANCEL);
            u.WaitGone(dlg);
        });
        BOOL result = Dll().SetSerialCommParamDlg(Owner());
        ui.Join();
        EXPECT_EQ(result, 1);
        EXPECT_EQ(portWhileOpen, std::make_pair(DWORD(1), DWORD(1)));
        EXPECT_EQ(speedWhileOpen, std::make_pair(DWORD(4), DWORD(4)));
        EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(1), DWORD(1)));
        EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(DWORD(4), DWORD(4)));
    }
}

TEST_F(CommSettingsDialog, ValidSettingsAreShownAndNotRewritten)
{
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 6);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 2);
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(CAPTION);
        EXPECT_EQ(SelectedPort(dlg), "COM6");
        EXPECT_EQ(CheckedSpeeds(dlg), std::vector<int>{IDC_BAUD_9600});
        u.Close(dlg);  // the close box
        u.WaitGone(dlg);
    });
    BOOL result = Dll().SetSerialCommParamDlg(Owner());
    ui.Join();
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(KeyExists(Key::Brodera)) << "nothing was written";
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(NO_VALUE, DWORD(6)));
}

TEST_F(CommSettingsDialog, OkStoresTheChosenPortAndSpeedInBothKeys)
{
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 2);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 1);
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(CAPTION);
        ChoosePort(dlg, "COM3");
        u.Click(dlg, IDC_BAUD_57600);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    BOOL result = Dll().SetSerialCommParamDlg(Owner());
    ui.Join();
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(3), DWORD(3)));
    EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(DWORD(5), DWORD(5)));
    EXPECT_STREQ(GetComPortName(), "COM3");
    EXPECT_EQ(GetBaudRate(), 57600);
}

TEST_F(CommSettingsDialog, OkSucceedsWhenOnlyTheBroderaKeyRefusesWrites)
{
    KeyWriteBlock block(Key::Brodera);
    ASSERT_TRUE(block.Holds()) << "the registry ignores the key's access list";
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(CAPTION);
        ChoosePort(dlg, "COM3");
        u.Click(dlg, IDC_BAUD_57600);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    BOOL result = Dll().SetSerialCommParamDlg(Owner());
    ui.Join();
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(NO_VALUE, DWORD(3)));
    EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(NO_VALUE, DWORD(5)));
}

// The Tambora key refuses full access: the dialog shows the defaults, and OK fails at the
// port, which the Brodera key has received by then; the speed is not stored at all.
TEST_F(CommSettingsDialog, RefusedTamboraWriteIsReportedAndTheDialogStays)
{
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 5);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 5);
    KeyWriteBlock block(Key::Tambora);
    ASSERT_TRUE(block.Holds()) << "the registry ignores the key's access list";
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(CAPTION);
        EXPECT_EQ(SelectedPort(dlg), "COM1");
        EXPECT_EQ(CheckedSpeeds(dlg), std::vector<int>{IDC_BAUD_38400});
        ChoosePort(dlg, "COM3");
        u.Click(dlg, IDC_BAUD_19200);
        u.Click(dlg, IDOK);
        AnswerFailure(u);
        ExpectStillOpen(dlg);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    BOOL result = Dll().SetSerialCommParamDlg(Owner());
    ui.Join();
    EXPECT_EQ(result, 1);
    std::vector<MessageBoxCall> boxes = RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].style, (UINT)(MB_OK | MB_ICONHAND));
    EXPECT_NE(boxes[0].owner, Owner()) << "the box belongs to the dialog";
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(3), DWORD(5)));
    EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(DWORD(4), DWORD(5)));
}

// OK without a speed stores the new port, then fails; without a port it fails at once.
TEST_F(CommSettingsDialog, OkWithoutAChoiceFailsAfterStoringWhatCameFirst)
{
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(CAPTION);
        ChoosePort(dlg, "COM5");
        for (int id : kSpeedButtons)
            SendDlgItemMessageA(dlg, id, BM_SETCHECK, BST_UNCHECKED, 0);
        u.Click(dlg, IDOK);
        AnswerFailure(u);
        ExpectStillOpen(dlg);
        EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(5), DWORD(5)));
        EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(DWORD(4), DWORD(4)));

        u.Click(dlg, IDC_BAUD_4800);
        SendDlgItemMessageA(dlg, IDC_COMM_PORT, CB_SETCURSEL, (WPARAM)-1, 0);
        u.Click(dlg, IDOK);
        AnswerFailure(u);
        ExpectStillOpen(dlg);
        EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(DWORD(4), DWORD(4)));

        ChoosePort(dlg, "COM2");
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    BOOL result = Dll().SetSerialCommParamDlg(Owner());
    ui.Join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(RecordedMessageBoxes().size(), 2u);
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(2), DWORD(2)));
    EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(DWORD(1), DWORD(1)));
}

TEST_F(CommSettingsDialog, EscapeCancels)
{
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(CAPTION);
        ChoosePort(dlg, "COM4");
        u.Click(dlg, IDC_BAUD_4800);
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        u.WaitGone(dlg);
    });
    BOOL result = Dll().SetSerialCommParamDlg(Owner());
    ui.Join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(RegDwordBoth(VALUE_COM_PORT), std::make_pair(DWORD(1), DWORD(1)));
    EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair(DWORD(4), DWORD(4)));
}

TEST_F(CommSettingsDialog, ReturnsZeroWhenTheDialogCannotOpen)
{
    HWND gone = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    DestroyWindow(gone);
    DialogWatch watch({CAPTION});
    EXPECT_EQ(Dll().SetSerialCommParamDlg(gone), 0);
    EXPECT_EQ(watch.Stop(), 0) << "the dialog opened";
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

}  // namespace
