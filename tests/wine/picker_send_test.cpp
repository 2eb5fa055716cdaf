// Send in the design picker: the send list file, the send location, and the Send Designs
// dialog that TransferVBDFiles runs over the list once the picker has closed.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picker_support.h"

using namespace vt;
using namespace pt;

namespace {

const char SEND_DESIGNS[] = "Send Designs - COM Port";

class PickerSend : public VembTest {
protected:
    std::string In(const std::string &name) const { return WorkDir() + "\\" + name; }

    // Adds the files to the chosen-designs list one by one, in this order.
    void AddInOrder(Ui &u, const PickerWindows &p, const std::vector<std::string> &names)
    {
        for (const std::string &name : names) {
            TypeName(p, name);
            Press(u, barrier_, p.child, IDC_PICKER_ADD);
        }
        ASSERT_EQ(RowNames(p), names);
    }

    // The send list as it lies beside the program: one path per 260-byte record, and
    // whether every byte behind each path's terminator is zero.
    static std::vector<std::string> SendListPaths(bool *zeroPadded)
    {
        std::vector<char> bytes = ReadFileBytes(TempFile("SendList.tp$"));
        std::vector<std::string> paths;
        *zeroPadded = bytes.size() % 260 == 0;
        for (size_t at = 0; at + 260 <= bytes.size(); at += 260) {
            std::string path(&bytes[at], strnlen(&bytes[at], 260));
            paths.push_back(path);
            for (size_t i = at + path.size(); i < at + 260; ++i)
                *zeroPadded = *zeroPadded && bytes[i] == 0;
        }
        return paths;
    }

    MainThreadBarrier barrier_;
};

TEST_F(PickerSend, SendWritesTheListInRowOrderAndTheDesignsReachTheAtaCardOpenSaveFolder)
{
    for (const char *name : {"c.vbd", "a.vbd", "b.vbd"})
        WriteDesign(In(name), 300);
    char folder[MAX_PATH];
    lstrcpynA(folder, WorkDir().c_str(), sizeof folder);
    std::vector<std::string> listed;
    bool zeroPadded = false;
    UiScript ui([&](Ui &u) {
        PickerWindows p = WaitPicker(u);
        AddInOrder(u, p, {"c.vbd", "a.vbd", "b.vbd"});
        u.Click(p.child, IDC_PICKER_ATA_CARD);
        u.Click(p.child, IDC_PICKER_OPEN_SAVE);
        u.Click(p.child, IDC_PICKER_SEND);
        u.WaitGone(p.common);

        HWND send = u.WaitDialog(SEND_DESIGNS);
        listed = SendListPaths(&zeroPadded);
        EXPECT_EQ(ReadFileBytes(TempFile("SendList.tp$")).size(), 780u);
        EXPECT_TRUE(IsChecked(send, 1009)) << "ATA PC Card preset";
        EXPECT_FALSE(IsChecked(send, 1008));
        EXPECT_TRUE(IsChecked(send, 1029)) << "Open/Save folder preset";
        u.Click(send, IDOK);
        u.WaitGone(send, 60000);
    });
    BOOL result = Dll().TransferVBDFiles(Owner(), folder);
    ui.Join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(listed, (std::vector<std::string>{In("c.vbd"), In("a.vbd"), In("b.vbd")}));
    EXPECT_TRUE(zeroPadded);
    EXPECT_EQ(StoredNames(6), (std::vector<std::string>{"c.vbd", "a.vbd", "b.vbd"}));
    EXPECT_TRUE(StoredNames(2).empty());
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    EXPECT_EQ(std::string(folder), WorkDir()) << "the folder the picker read last";
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

TEST_F(PickerSend, BuiltInWithoutOpenSaveSendsToLocationOne)
{
    WriteDesign(In("rose.vbd"), 300);
    char folder[MAX_PATH];
    lstrcpynA(folder, WorkDir().c_str(), sizeof folder);
    UiScript ui([&](Ui &u) {
        PickerWindows p = WaitPicker(u);
        AddInOrder(u, p, {"rose.vbd"});
        u.Click(p.child, IDC_PICKER_SEND);
        HWND send = u.WaitDialog(SEND_DESIGNS);
        EXPECT_TRUE(IsChecked(send, 1008));
        EXPECT_FALSE(IsChecked(send, 1029));
        u.Click(send, IDOK);
        u.WaitGone(send, 60000);
    });
    EXPECT_EQ(Dll().TransferVBDFiles(Owner(), folder), 1);
    ui.Join();
    EXPECT_EQ(StoredNames(1), std::vector<std::string>{"rose.vbd"});
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
}

TEST_F(PickerSend, ClosingTheSendDialogBeforeStartSendsNothing)
{
    WriteDesign(In("rose.vbd"), 300);
    char folder[MAX_PATH];
    lstrcpynA(folder, WorkDir().c_str(), sizeof folder);
    bool listWritten = false;
    UiScript ui([&](Ui &u) {
        PickerWindows p = WaitPicker(u);
        AddInOrder(u, p, {"rose.vbd"});
        u.Click(p.child, IDC_PICKER_SEND);
        HWND send = u.WaitDialog(SEND_DESIGNS);
        listWritten = FileExists(TempFile("SendList.tp$"));
        u.Click(send, IDCANCEL);
        u.WaitGone(send);
    });
    EXPECT_EQ(Dll().TransferVBDFiles(Owner(), folder), 1);
    ui.Join();
    EXPECT_TRUE(listWritten);
    EXPECT_TRUE(StoredNames(1).empty());
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
}

TEST_F(PickerSend, ClosingThePickerDeletesALeftoverSendListAndOpensNoSendDialog)
{
    ASSERT_TRUE(WriteFileText(TempFile("SendList.tp$"), std::string(260, 'x')));
    WriteDesign(In("rose.vbd"), 300);
    char folder[MAX_PATH];
    lstrcpynA(folder, WorkDir().c_str(), sizeof folder);
    UiScript ui([&](Ui &u) {
        PickerWindows p = WaitPicker(u);
        AddInOrder(u, p, {"rose.vbd"});
        u.Close(p.common);  // the close box
        u.WaitGone(p.common);
    });
    EXPECT_EQ(Dll().TransferVBDFiles(Owner(), folder), 1) << "also when closed without sending";
    ui.Join();
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    for (HWND w : TopLevelWindows())
        EXPECT_NE(WindowText(w), SEND_DESIGNS);
    EXPECT_TRUE(SimOps().empty()) << "nothing reached the machine";
}

TEST_F(PickerSend, UnwritableSendListKeepsThePickerOpen)
{
    // A folder where the file would be: the file cannot be made.
    ASSERT_TRUE(CreateDirectoryA(TempFile("SendList.tp$").c_str(), NULL));
    WriteDesign(In("rose.vbd"), 300);
    char folder[MAX_PATH];
    lstrcpynA(folder, WorkDir().c_str(), sizeof folder);
    UiScript ui([&](Ui &u) {
        PickerWindows p = WaitPicker(u);
        AddInOrder(u, p, {"rose.vbd"});
        u.Click(p.child, IDC_PICKER_SEND);
        MessageBoxInfo box = u.WaitMessageBox("Error");
        EXPECT_EQ(box.text, "Failed to open a temporary file.");
        EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
        u.Answer(box, IDOK);
        barrier_.Pass(u);
        barrier_.Pass(u);
        EXPECT_TRUE(IsWindow(p.common)) << "the picker stays open";
        EXPECT_EQ(OpenMessageBoxes(), 0) << "focus coming back to Send sends nothing";
        u.Click(p.common, IDCANCEL);
    });
    EXPECT_EQ(Dll().TransferVBDFiles(Owner(), folder), 1);
    ui.Join();
    RemoveDirectoryA(TempFile("SendList.tp$").c_str());
    for (HWND w : TopLevelWindows())
        EXPECT_NE(WindowText(w), SEND_DESIGNS);
}

}  // namespace
