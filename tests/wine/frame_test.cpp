// The module frame: exports, temporary paths, the Open/Save name limit, the USB loader
// and its guards.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "frame/controls.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "link/usb_link.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

class Frame : public VembTest {};

TEST_F(Frame, DllExportsExactlyTheNineNames)
{
    HMODULE dll = Dll().module;
    ASSERT_NE(dll, nullptr);
    BYTE *base = (BYTE *)dll;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    IMAGE_EXPORT_DIRECTORY *exports = (IMAGE_EXPORT_DIRECTORY *)(base + dir.VirtualAddress);
    std::vector<std::string> names;
    DWORD *nameRvas = (DWORD *)(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.push_back((const char *)(base + nameRvas[i]));
    std::vector<std::string> expected = {"CheckVersionDlg",   "DeleteData",       "DirectDownload",
                                         "DirectFilesDownload", "GetTransferStatus", "GetVersionCode",
                                         "SetSerialCommParamDlg", "TransferVBDFiles", "UploadData"};
    EXPECT_EQ(names, expected);
}

TEST_F(Frame, TempFilePathNamesTheExecutablesFolder)
{
    EXPECT_EQ(std::string(TempFilePath("$$UPLDir.tmp")), ExeDir() + "$$UPLDir.tmp");
    // The send list name comes with a leading backslash: the separator doubles.
    EXPECT_EQ(std::string(TempFilePath("\\SendList.tp$")), ExeDir() + "\\SendList.tp$");
}

// A name of exactly 36 characters fits the Open/Save folder; 37 do not.
TEST_F(Frame, OpenSaveNameLimitIs36Characters)
{
    std::string fits = std::string(32, 'a') + ".vbd";
    std::string tooLong = std::string(33, 'b') + ".vbd";
    EXPECT_TRUE(CheckOpenSaveName(Owner(), fits.c_str(), NULL));
    EXPECT_TRUE(CheckOpenSaveName(Owner(), NULL, ("C:\\some\\deep\\folder\\" + fits).c_str()));
    EXPECT_TRUE(RecordedMessageBoxes().empty());

    UiScript ui([&](Ui &u) {
        MessageBoxInfo box = u.WaitMessageBox("File Name Error");
        EXPECT_EQ(box.text, "The Open/Save Folder does not support the long file names such as \"" + tooLong +
                                "\".\nPlease shorten the file name to 32 characters or less.");
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        EXPECT_EQ(box.owner, Owner());
        u.Answer(box, IDOK);
    });
    BOOL ok = CheckOpenSaveName(Owner(), NULL, ("C:\\designs\\" + tooLong).c_str());
    ui.Join();
    EXPECT_FALSE(ok);
}

TEST_F(Frame, DropLongNamesDeletesEveryLongNameAndTellsOnce)
{
    HWND list = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | LVS_LIST, 0, 0, 200, 200, Owner(), NULL, NULL, NULL);
    const std::string names[] = {"short.vbd", std::string(40, 'x') + ".vbd", std::string(32, 'k') + ".vbd",
                                 std::string(33, 'y') + ".vbd", "C:\\" + std::string(50, 'd') + "\\ok.vbd"};
    for (int i = 0; i < 5; ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<char *>(names[i].c_str());
        SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    }
    UiScript ui([&](Ui &u) {
        MessageBoxInfo box = u.WaitMessageBox("File Name Error");
        EXPECT_EQ(box.text, "The Open/Save Folder does not support the long file names of more than 32 "
                            "characters.Some files failed to transfer.");
        EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
        u.Answer(box, IDOK);
    });
    DropLongNames(Owner(), list);
    ui.Join();
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
    EXPECT_EQ(ListItemTexts(list), (std::vector<std::string>{names[0], names[2], names[4]}));
    DestroyWindow(list);
}

TEST_F(Frame, WithoutTheUsbLibraryEveryGuardAnswersItsFallback)
{
    EXPECT_EQ(LoadUsbLibrary(), 0);
    EXPECT_FALSE(UsbLibraryLoaded());
    DWORD detail = 0;
    EXPECT_EQ(UsbInitialize(Owner(), NULL), USB_NO_LIBRARY);
    EXPECT_EQ(UsbEventProc(Owner(), 0, 0), 1);
    EXPECT_EQ(UsbTerminate(), 0);
    EXPECT_EQ(UsbDownloadSequence(NULL, 0, &detail, NULL), -3);
    EXPECT_EQ(UsbDirectDownloadSequence(0, 0, "", 1, &detail, NULL), -3);
    EXPECT_EQ(UsbUploadSequence(NULL, 0, &detail, NULL), -3);
    EXPECT_EQ(UsbEraseSequence(1, 1, &detail, NULL), -3);
    EXPECT_EQ(UsbDirUploadSequence("", 1, &detail, NULL), -3);
    EXPECT_EQ(UsbDisplayMessageByReturnCode(Owner(), "x", 1, 0), -3);
    UnloadUsbLibrary();
    EXPECT_TRUE(SimOps().empty());
}

// A library that lacks only USB_Opening_Sequence, which the module never calls, is refused
// and freed again; the whole one is bound and initialises.
TEST_F(Frame, OnlyACompleteUsbLibraryIsKept)
{
    UseUsb(Usb::NoOpening);
    EXPECT_EQ(LoadUsbLibrary(), 0);
    EXPECT_FALSE(UsbLibraryLoaded());
    EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), nullptr);
    EXPECT_EQ(UsbInitialize(Owner(), NULL), USB_NO_LIBRARY);
    UnloadUsbLibrary();

    UseUsb(Usb::Present);
    ASSERT_EQ(LoadUsbLibrary(), 1);
    EXPECT_EQ(UsbInitialize(Owner(), NULL), 0);
    EXPECT_EQ(UsbTerminate(), 0);
    UnloadUsbLibrary();
    EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), nullptr);
}

// Each frame loads and unloads the library: the locks are created and deleted once per
// export.
static INT_PTR NoDialog(HWND)
{
    EXPECT_TRUE(UsbLibraryLoaded());
    return 1;
}

TEST_F(Frame, TwoFramesInARowCreateAndDeleteTheLocksOnceEach)
{
    UseUsb(Usb::Present);
    UsbLockCounts before = GetUsbLockCounts();
    EXPECT_EQ(RunTransferFrame(Owner(), NoDialog), 1);
    EXPECT_EQ(RunTransferFrame(Owner(), NoDialog), 1);
    UsbLockCounts after = GetUsbLockCounts();
    EXPECT_EQ(after.created - before.created, 2);
    EXPECT_EQ(after.deleted - before.deleted, 2);
    EXPECT_FALSE(UsbLibraryLoaded());
}

}  // namespace
