// The machine version: GetVersionCode, and CheckVersionDlg with its Confirm Machine's
// Version dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "link/settings.h"
#include "machine_version_res.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

class MachineVersion : public VembTest {};
class VersionDialog : public VembTest {};

const char CONFIRM[] = "Confirm Machine's Version";
const char SELECT[] = "Select Machine's Version";
const char REOPEN_NOTE[] = "* Click [Loomstar] - [Select Machine's Version] \n   to open this dialog again.";
const std::pair<DWORD, DWORD> STORED_2 = {2, 2};

// The version 2.1 note: the update advice around the web address.
bool IsUpdateNote(const std::string &note)
{
    const std::string head = "* We recomend you to update LS9000's program.\n* Visit our website at  ",
                      tail = "\n    to download new program.";
    return note.size() > head.size() + tail.size() && note.compare(0, head.size(), head) == 0 &&
           note.compare(note.size() - tail.size(), tail.size(), tail) == 0 &&
           note.find("loomstar.example", head.size()) != std::string::npos;
}

std::string Note(HWND dialog)
{
    return ControlText(dialog, IDC_VERSION_NOTE);
}

void StoreVersion(DWORD value)
{
    SetRegDword(Key::Tambora, VALUE_MACHINE_VERSION, value);
}

// Runs CheckVersionDlg with `script` driving the dialog of that caption; returns its result.
int RunDialog(HWND owner, int force, const char *caption, const std::function<void(Ui &, HWND)> &script)
{
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(caption);
        script(u, dlg);
        u.WaitGone(dlg);
    });
    int result = Dll().CheckVersionDlg(owner, force);
    ui.Join();
    return result;
}

// Clicks a version and OK.
std::function<void(Ui &, HWND)> Choose(int button)
{
    return [button](Ui &u, HWND dlg) {
        u.Click(dlg, button);
        u.Click(dlg, IDOK);
    };
}

TEST_F(MachineVersion, GetVersionCodeGivesOnlyPositiveNumbers)
{
    EXPECT_EQ(Dll().GetVersionCode(), -1) << "fresh profile";
    EXPECT_TRUE(KeyExists(Key::Tambora)) << "reading creates the key";
    const std::pair<DWORD, int> cases[] = {{1, 1}, {2, 2}, {7, 7}, {0, -1}, {0xFFFFFFFF, -1}, {0x80000000, -1}};
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
}

TEST_F(VersionDialog, Version22WithoutForceReturnsAtOnce)
{
    StoreVersion(2);
    DialogWatch watch({CONFIRM, SELECT});
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 0), 1);
    EXPECT_EQ(watch.Stop(), 0) << "a dialog opened";
}

// What the dialog shows for each stored version and force flag; Cancel stores nothing.
TEST_F(VersionDialog, ShowsTheStoredVersion)
{
    enum Checked { NONE, V21, V22 };
    struct Case {
        bool stored;
        DWORD value;
        int force;
        const char *caption;
        Checked checked;
    } cases[] = {
        {true, 1, 0, CONFIRM, V21}, {false, 0, 0, SELECT, NONE}, {true, 2, 1, SELECT, V22},
        {true, 1, 1, SELECT, V21},  {true, 7, 0, CONFIRM, V21},  {true, 0, 0, SELECT, NONE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("stored " + (c.stored ? std::to_string(c.value) : "nothing") + ", force " +
                     std::to_string(c.force));
        DeleteSettingsKeys();
        if (c.stored)
            StoreVersion(c.value);
        int result = RunDialog(Owner(), c.force, c.caption, [&](Ui &u, HWND dlg) {
            EXPECT_EQ(IsChecked(dlg, IDC_VERSION_21), c.checked == V21);
            EXPECT_EQ(IsChecked(dlg, IDC_VERSION_22), c.checked == V22);
            if (c.checked == V21)
                EXPECT_TRUE(IsUpdateNote(Note(dlg))) << Note(dlg);
            else
                EXPECT_EQ(Note(dlg), REOPEN_NOTE);
            u.Click(dlg, IDCANCEL);
        });
        EXPECT_EQ(result, 2);
        EXPECT_FALSE(RegValueExists(Key::Brodera, VALUE_MACHINE_VERSION)) << "cancel stores nothing";
    }
}

TEST_F(VersionDialog, TemplateAsDesignedAtTheOwnersClientOrigin)
{
    StoreVersion(1);
    int result = RunDialog(Owner(), 0, CONFIRM, [&](Ui &u, HWND dlg) {
        ExpectControls(dlg, {{IDOK, "Button", "OK"},
                             {IDCANCEL, "Button", "Cancel"},
                             {IDC_VERSION_21, "Button", "Version 2.1 or earlier"},
                             {IDC_VERSION_22, "Button", "Version 2.2"},
                             {-1, "Button", "Select the version of  Loomstar 9000"}});
        // Its client area starts where the owner's does.
        POINT origin = {0, 0}, dialogOrigin = {0, 0};
        ClientToScreen(Owner(), &origin);
        ClientToScreen(dlg, &dialogOrigin);
        EXPECT_EQ(dialogOrigin.x, origin.x);
        EXPECT_EQ(dialogOrigin.y, origin.y);
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), Owner());
        // The note follows the clicks; Cancel after them still stores nothing.
        u.Click(dlg, IDC_VERSION_22);
        u.WaitUntil([&] { return Note(dlg) == REOPEN_NOTE; }, "the version 2.2 note");
        EXPECT_FALSE(IsChecked(dlg, IDC_VERSION_21));
        u.Click(dlg, IDC_VERSION_21);
        u.WaitUntil([&] { return IsUpdateNote(Note(dlg)); }, "the update note");
        u.Click(dlg, IDC_VERSION_22);
        u.Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(NO_VALUE, DWORD(1)));
}

TEST_F(VersionDialog, OkStoresTheCheckedVersionInBothKeys)
{
    EXPECT_EQ(RunDialog(Owner(), 0, SELECT, Choose(IDC_VERSION_22)), 1);
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), STORED_2);
    DialogWatch watch({CONFIRM, SELECT});
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 0), 1);
    EXPECT_EQ(watch.Stop(), 0) << "a dialog opened";
    // Forced, the dialog asks again; choosing 2.1 or earlier stores 1.
    EXPECT_EQ(RunDialog(Owner(), 1, SELECT, Choose(IDC_VERSION_21)), 1);
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(DWORD(1), DWORD(1)));
    EXPECT_EQ(Dll().GetVersionCode(), 1);
    // OK without a choice stores -1.
    DeleteSettingsKeys();
    EXPECT_EQ(RunDialog(Owner(), 0, SELECT, [](Ui &u, HWND dlg) { u.Click(dlg, IDOK); }), 1);
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
        EXPECT_EQ(RunDialog(Owner(), 0, SELECT, Choose(IDC_VERSION_22)), 1);
        EXPECT_TRUE(RecordedMessageBoxes().empty());
        EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), refused == Key::Brodera
                                                           ? std::make_pair(NO_VALUE, DWORD(2))
                                                           : std::make_pair(DWORD(2), NO_VALUE));
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
