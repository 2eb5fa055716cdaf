// The machine version: GetVersionCode, and CheckVersionDlg with its Confirm Machine's
// Version dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include "link/settings.h"
#include "machine_version_res.h"
#include "settings_support.h"
#include "vemb_fixture.h"

using namespace vt;

namespace {

class MachineVersion : public VembTest {};
class VersionDialog : public VembTest {};

const char CONFIRM[] = "Confirm Machine's Version";
const char SELECT[] = "Select Machine's Version";
const char REOPEN_NOTE[] = "* Click [Loomstar] - [Select Machine's Version] \n   to open this dialog again.";
const char UPDATE_NOTE_HEAD[] = "* We recomend you to update LS9000's program.\n* Visit our website at  ";
const char UPDATE_NOTE_TAIL[] = "\n    to download new program.";

bool IsUpdateNote(const std::string &note)
{
    std::string head = UPDATE_NOTE_HEAD, tail = UPDATE_NOTE_TAIL;
    if (note.size() <= head.size() + tail.size())
        return false;
    std::string address = note.substr(head.size(), note.size() - head.size() - tail.size());
    return note.compare(0, head.size(), head) == 0 &&
           note.compare(note.size() - tail.size(), tail.size(), tail) == 0 &&
           address.find_first_of(" \n") == std::string::npos && address.find("loomstar.example") != std::string::npos;
}

std::string Note(HWND dialog)
{
    return ControlText(dialog, IDC_VERSION_NOTE);
}

void StoreVersion(DWORD value)
{
    SetRegDword(Key::Tambora, VALUE_MACHINE_VERSION, value);
}

TEST_F(MachineVersion, GetVersionCodeGivesOnlyPositiveNumbers)
{
    EXPECT_EQ(Dll().GetVersionCode(), -1) << "fresh profile";
    EXPECT_TRUE(KeyExists(Key::Tambora)) << "reading creates the key";
    const std::pair<DWORD, int> cases[] = {{1, 1}, {2, 2}, {7, 7}, {0x7FFFFFFF, 0x7FFFFFFF}, {0, -1},
                                           {0xFFFFFFFF, -1}, {0x80000000, -1}};
    for (auto &c : cases) {
        StoreVersion(c.first);
        EXPECT_EQ(Dll().GetVersionCode(), c.second) << "stored " << c.first;
    }
    unsigned long long wide = 2;
    SetRegBinary(Key::Tambora, VALUE_MACHINE_VERSION, &wide, sizeof wide, REG_QWORD);
    EXPECT_EQ(Dll().GetVersionCode(), -1) << "8 bytes";
    DeleteSettingsKeys();
    SetRegDword(Key::Brodera, VALUE_MACHINE_VERSION, 2);
    EXPECT_EQ(Dll().GetVersionCode(), -1) << "the Brodera key is never read";
    StoreVersion(2);
    {
        KeyWriteBlock block(Key::Tambora);
        ASSERT_TRUE(block.Holds()) << "the registry ignores the key's access list";
        EXPECT_EQ(Dll().GetVersionCode(), -1) << "a key that refuses full access";
    }
}

TEST_F(MachineVersion, WriteMachineVersionWritesBothKeys)
{
    EXPECT_TRUE(WriteMachineVersion(2));
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(DWORD(2), DWORD(2)));
    EXPECT_TRUE(WriteMachineVersion(-1));
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(DWORD(0xFFFFFFFF), DWORD(0xFFFFFFFF)));
}

TEST_F(VersionDialog, Version22WithoutForceReturnsAtOnce)
{
    StoreVersion(2);
    DialogWatch watch({CONFIRM, SELECT});
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 0), 1);
    EXPECT_EQ(watch.Stop(), 0) << "a dialog opened";
}

// What the dialog shows for each stored version and force flag.
TEST_F(VersionDialog, ShowsTheStoredVersion)
{
    enum Checked { NONE, V21, V22 };
    struct Case {
        bool stored;
        DWORD value;
        int force;
        const char *caption;
        Checked checked;
        bool updateNote;
    };
    const Case cases[] = {
        {true, 1, 0, CONFIRM, V21, true},   {false, 0, 0, SELECT, NONE, false}, {true, 2, 1, SELECT, V22, false},
        {true, 1, 1, SELECT, V21, true},    {true, 7, 0, CONFIRM, V21, true},   {true, 0, 0, SELECT, NONE, false},
        {true, 0xFFFFFFFF, 1, SELECT, NONE, false},
        {false, 0, 5, SELECT, NONE, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.stored ? "stored " + std::to_string(c.value) : std::string("nothing stored")) +
                     ", force " + std::to_string(c.force));
        DeleteSettingsKeys();
        if (c.stored)
            StoreVersion(c.value);
        UiScript ui([&](Ui &u) {
            HWND dlg = u.WaitDialog(c.caption);
            EXPECT_EQ(IsChecked(dlg, IDC_VERSION_21), c.checked == V21);
            EXPECT_EQ(IsChecked(dlg, IDC_VERSION_22), c.checked == V22);
            if (c.updateNote)
                EXPECT_TRUE(IsUpdateNote(Note(dlg))) << Note(dlg);
            else
                EXPECT_EQ(Note(dlg), REOPEN_NOTE);
            u.Click(dlg, IDCANCEL);
            u.WaitGone(dlg);
        });
        EXPECT_EQ(Dll().CheckVersionDlg(Owner(), c.force), 2);
        ui.Join();
        EXPECT_EQ(RegValueExists(Key::Brodera, VALUE_MACHINE_VERSION), false) << "cancel stores nothing";
    }
}

TEST_F(VersionDialog, TemplateAsDesignedAtTheOwnersClientOrigin)
{
    StoreVersion(1);
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(CONFIRM);
        const DWORD RADIO = BS_AUTORADIOBUTTON;
        ExpectLayout(dlg, 230, 98,
                     {
                         {IDOK, "Button", "OK", 173, 12, 50, 14, WS_TABSTOP, BS_TYPEMASK, BS_DEFPUSHBUTTON},
                         {IDCANCEL, "Button", "Cancel", 173, 38, 50, 14, 0, BS_TYPEMASK, BS_PUSHBUTTON},
                         {IDC_VERSION_21, "Button", "Version 2.1 or earlier", 15, 20, 134, 10, WS_GROUP,
                          BS_TYPEMASK, RADIO},
                         {IDC_VERSION_22, "Button", "Version 2.2", 15, 34, 134, 10, 0, BS_TYPEMASK, RADIO},
                         {-1, "Button", "Select the version of  Loomstar 9000", 7, 7, 156, 44, WS_GROUP,
                          BS_TYPEMASK, BS_GROUPBOX},
                     });
        // The note: its place, and its text replaced at once.
        RECT want = DialogUnitRect(dlg, 21, 65, 196, 24);
        EXPECT_EQ(RectText(ClientRectOf(dlg, GetDlgItem(dlg, IDC_VERSION_NOTE))), RectText(want));
        EXPECT_EQ(ClassName(GetDlgItem(dlg, IDC_VERSION_NOTE)), "Static");
        EXPECT_NE(Note(dlg), "...");
        EXPECT_EQ(GetWindowLongA(dlg, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
                  WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);

        // Its client area starts where the owner's does.
        POINT origin = {0, 0}, dialogOrigin = {0, 0};
        ClientToScreen(Owner(), &origin);
        ClientToScreen(dlg, &dialogOrigin);
        EXPECT_EQ(dialogOrigin.x, origin.x);
        EXPECT_EQ(dialogOrigin.y, origin.y);
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), Owner());
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 0), 2);
    ui.Join();
}

// The note follows the clicks; Cancel stores nothing.
TEST_F(VersionDialog, ClicksChangeTheNoteAndCancelStoresNothing)
{
    StoreVersion(1);
    std::string afterV22, afterV21;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(CONFIRM);
        u.Click(dlg, IDC_VERSION_22);
        u.WaitUntil([&] { return Note(dlg) == REOPEN_NOTE; }, "the version 2.2 note");
        EXPECT_FALSE(IsChecked(dlg, IDC_VERSION_21));
        u.Click(dlg, IDC_VERSION_21);
        u.WaitUntil([&] { return IsUpdateNote(Note(dlg)); }, "the update note");
        EXPECT_FALSE(IsChecked(dlg, IDC_VERSION_22));
        u.Click(dlg, IDC_VERSION_22);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 0), 2);
    ui.Join();
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(NO_VALUE, DWORD(1)));
}

TEST_F(VersionDialog, OkStoresTheCheckedVersionInBothKeys)
{
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SELECT);
        u.Click(dlg, IDC_VERSION_22);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 0), 1);
    ui.Join();
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(DWORD(2), DWORD(2)));

    DialogWatch watch({CONFIRM, SELECT});
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 0), 1);
    EXPECT_EQ(watch.Stop(), 0) << "a dialog opened";

    // Forced, the dialog asks again; choosing 2.1 or earlier stores 1.
    UiScript again([&](Ui &u) {
        HWND dlg = u.WaitDialog(SELECT);
        EXPECT_TRUE(IsChecked(dlg, IDC_VERSION_22));
        u.Click(dlg, IDC_VERSION_21);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 1), 1);
    again.Join();
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(DWORD(1), DWORD(1)));
    EXPECT_EQ(Dll().GetVersionCode(), 1);
}

TEST_F(VersionDialog, OkWithoutAChoiceStoresMinusOne)
{
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SELECT);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 0), 1);
    ui.Join();
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(DWORD(0xFFFFFFFF), DWORD(0xFFFFFFFF)));
    EXPECT_EQ(Dll().GetVersionCode(), -1);
}

// A refused write is not reported: OK still ends the dialog with 1.
TEST_F(VersionDialog, RefusedWritesAreNotReported)
{
    for (Key refused : {Key::Brodera, Key::Tambora}) {
        SCOPED_TRACE(refused == Key::Brodera ? "Brodera refuses" : "Tambora refuses");
        DeleteSettingsKeys();
        KeyWriteBlock block(refused);
        ASSERT_TRUE(block.Holds()) << "the registry ignores the key's access list";
        UiScript ui([&](Ui &u) {
            HWND dlg = u.WaitDialog(SELECT);
            u.Click(dlg, IDC_VERSION_22);
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
        });
        EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 0), 1);
        ui.Join();
        EXPECT_TRUE(RecordedMessageBoxes().empty());
        if (refused == Key::Brodera)
            EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(NO_VALUE, DWORD(2)));
        else
            EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(DWORD(2), NO_VALUE));
    }
}

TEST_F(VersionDialog, ReturnsMinusOneWhenTheDialogCannotOpen)
{
    HWND gone = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    DestroyWindow(gone);
    DialogWatch watch({CONFIRM, SELECT});
    EXPECT_EQ(Dll().CheckVersionDlg(gone, 1), -1);
    EXPECT_EQ(watch.Stop(), 0) << "the dialog opened";
}

}  // namespace
