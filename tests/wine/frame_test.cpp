// The module frame: exports, temporary paths, the Open/Save name limit, the USB loader and its
// guards, and the export frame when a dialog cannot be created.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>

#include "frame/module.h"
#include "frame/sync.h"
#include "frame/transfer_frame.h"
#include "link/usb_link.h"
#include "resource.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

class Frame : public VembTest {};

// Temporary files lie beside the host's program; the send list name comes with a leading backslash,
// so its separator doubles.
TEST_F(Frame, TemporaryPathsJoinTheHostsFolderAndTheName)
{
    EXPECT_EQ(std::string(TempFilePath("$$UPLDir.tmp")), ExeDir() + "$$UPLDir.tmp");
    EXPECT_EQ(std::string(TempFilePath("\\SendList.tp$")), ExeDir() + "\\SendList.tp$");
}

bool IsOpenHandle(HANDLE handle)
{
    DWORD flags;
    return GetHandleInformation(handle, &flags) != 0;
}

// The slot closes only the events it still owns: one no worker took. A taken event stays open
// for its worker, whatever the slot meets meanwhile, and closes once, when the worker closes it.
TEST_F(Frame, CancelEventSlotClosesEachEventOnceByItsOwner)
{
    CancelEventSlot slot;
    ASSERT_TRUE(slot.Put());
    HANDLE unused = slot.Current();
    ASSERT_TRUE(slot.Put());
    EXPECT_FALSE(IsOpenHandle(unused)) << "an event no worker took is closed when replaced";

    HANDLE taken = slot.Take();
    EXPECT_EQ(slot.Take(), nullptr) << "an event goes to one worker";
    slot.Set();
    EXPECT_EQ(WaitForSingleObject(taken, 0), WAIT_OBJECT_0) << "the dialog reaches the worker's event";
    slot.Discard();
    EXPECT_EQ(slot.Current(), taken) << "a taken event is the worker's to close";

    ASSERT_TRUE(slot.Put());
    HANDLE next = slot.Current();
    EXPECT_TRUE(IsOpenHandle(taken)) << "the worker still finishing keeps its event";
    slot.Close(taken);
    EXPECT_FALSE(IsOpenHandle(taken));
    EXPECT_EQ(slot.Current(), next) << "the next dialog's event stays in the slot";
    slot.Discard();
    EXPECT_FALSE(IsOpenHandle(next));
    EXPECT_EQ(slot.Current(), nullptr);
}

// A name of exactly 36 characters fits the Open/Save folder; 37 do not, and the message names
// the whole tested text. Dropping long names from a list deletes every one and tells once.
TEST_F(Frame, OpenSaveNameLimits)
{
    std::string fits = std::string(32, 'a') + ".vbd", tooLong = std::string(33, 'b') + ".vbd";
    EXPECT_TRUE(CheckOpenSaveName(Owner(), fits.c_str(), NULL));
    EXPECT_TRUE(CheckOpenSaveName(Owner(), NULL, ("C:\\some\\deep\\folder\\" + fits).c_str()));
    HWND list = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | LVS_LIST, 0, 0, 200, 200, Owner(), NULL, NULL, NULL);
    const Names names = {"short.vbd", std::string(40, 'x') + ".vbd", std::string(32, 'k') + ".vbd",
                         std::string(33, 'y') + ".vbd", "C:\\" + std::string(50, 'd') + "\\ok.vbd"};
    for (int i = 0; i < 5; ++i) {
        LVITEMA item = {LVIF_TEXT, i};
        item.pszText = const_cast<char *>(names[i].c_str());
        SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    }
    UiScript ui([&](Ui &u) {
        for (int i = 0; i < 2; ++i) {
            MessageBoxInfo box = u.WaitMessageBox("File Name Error");
            EXPECT_EQ(box.owner, Owner());
            u.Answer(box, IDOK);
        }
    });
    EXPECT_FALSE(CheckOpenSaveName(Owner(), NULL, ("C:\\designs\\" + tooLong).c_str()));
    DropLongNames(Owner(), list);
    ui.Join();
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{LongNameRefused(tooLong), LONG_NAMES_DROPPED}));
    EXPECT_EQ(ListItemTexts(list), (Names{names[0], names[2], names[4]}));
    DestroyWindow(list);
}

RECT ScreenRect(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return r;
}

// CenterControl: x centres the control in the client area, y = its screen top - the window's screen bottom
// + the client height; the size stays.
TEST_F(Frame, CenterControlPlacesByTheWindowsBottomEdge)
{
    HWND dialog =
        CreateWindowA("STATIC", "", WS_POPUP | WS_CAPTION | WS_THICKFRAME, 40, 60, 300, 200, NULL, NULL, NULL, NULL);
    HWND control = CreateWindowA("STATIC", "", WS_CHILD, 17, 90, 60, 25, dialog, (HMENU)1012, NULL, NULL);
    RECT before = ScreenRect(control), window = ScreenRect(dialog), client;
    GetClientRect(dialog, &client);
    CenterControl(dialog, 1012);
    RECT after = ScreenRect(control);
    MapWindowPoints(NULL, dialog, (POINT *)&after, 2);
    EXPECT_EQ(after.left, (client.right - 60) / 2);
    EXPECT_EQ(after.top, before.top - window.bottom + client.bottom);
    EXPECT_EQ(after.right - after.left, 60);
    EXPECT_EQ(after.bottom - after.top, 25);
    DestroyWindow(dialog);
}

// CenterParentWindow centres the window's parent on the screen with the window's own size.
TEST_F(Frame, CenterParentWindowGivesTheParentTheWindowsSizeCentred)
{
    HWND parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 150, 100, NULL, NULL, NULL, NULL);
    HWND child = CreateWindowA("STATIC", "", WS_CHILD, 5, 5, 401, 251, parent, NULL, NULL, NULL);
    CenterParentWindow(child);
    RECT r = ScreenRect(parent);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 401) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 251) / 2);
    EXPECT_EQ(r.right - r.left, 401);
    EXPECT_EQ(r.bottom - r.top, 251);
    DestroyWindow(parent);
}

// Without the library every guard answers its fallback (UsbEventProc 1: " - USB Connected"
// after a device change); a library that lacks only USB_Opening_Sequence, which the module
// never calls, is refused and freed; the whole one is bound and initialises.
TEST_F(Frame, OnlyACompleteUsbLibraryIsKeptAndEveryGuardHasItsFallback)
{
    for (Usb usb : {Usb::Absent, Usb::NoOpening}) {
        UseUsb(usb);
        EXPECT_EQ(LoadUsbLibrary(), 0);
        EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), nullptr);
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
    }
    EXPECT_TRUE(SimOps().empty());
    UseUsb(Usb::Present);
    ASSERT_EQ(LoadUsbLibrary(), 1);
    EXPECT_EQ(UsbInitialize(Owner(), NULL), 0);
    EXPECT_EQ(UsbTerminate(), 0);
    UnloadUsbLibrary();
    EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), nullptr);
    // Each frame loads and unloads the library: the locks are created and deleted once per export.
    UsbLockCounts before = GetUsbLockCounts();
    auto noDialog = [](HWND) -> INT_PTR { return GetModuleHandleA("VEMBUSB.DLL") ? 1 : 5; };
    EXPECT_EQ(RunTransferFrame(Owner(), noDialog) + RunTransferFrame(Owner(), noDialog), 2);
    UsbLockCounts after = GetUsbLockCounts();
    EXPECT_EQ(std::make_pair(after.created - before.created, after.deleted - before.deleted), std::make_pair(2, 2));
    EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), nullptr);
}

DWORD WINAPI CallUsbInitialize(LPVOID)
{
    return UsbInitialize(NULL, NULL);
}
DWORD WINAPI CallUsbEventProc(LPVOID)
{
    return UsbEventProc(NULL, 0, 0);
}
DWORD WINAPI CallUsbTerminate(LPVOID)
{
    return UsbTerminate();
}

// Each USB lock makes its own guard exclusive: four threads at once through each of UsbInitialize,
// UsbEventProc and UsbTerminate, every call held inside the library for a while, never overlap there.
TEST_F(Frame, EachUsbLockMakesItsGuardExclusive)
{
    UseUsb(Usb::Present);
    SetFaults("delay.USB_Initialize=15\ndelay.USB_EventProc=15\ndelay.USB_Terminate=15\n");
    ASSERT_EQ(LoadUsbLibrary(), 1);
    const std::pair<const char *, LPTHREAD_START_ROUTINE> guards[] = {
        {"USB_Initialize", CallUsbInitialize},
        {"USB_EventProc", CallUsbEventProc},
        {"USB_Terminate", CallUsbTerminate},
    };
    for (const auto &g : guards) {
        HANDLE threads[4];
        for (HANDLE &t : threads)
            t = CreateThread(NULL, 0, g.second, NULL, 0, NULL);
        WaitForMultipleObjects(4, threads, TRUE, 30000);
        for (HANDLE t : threads)
            CloseHandle(t);
        std::vector<SimCall> calls = CallsOf(g.first);
        EXPECT_EQ(calls.size(), 4u) << g.first;
        for (const SimCall &c : calls)
            EXPECT_TRUE(c.events.empty()) << g.first << " " << c.events.front();
    }
    UnloadUsbLibrary();
}

// DialogBoxParamA as Windows answers an owner that is no window: 0, nothing created (Wine answers -1).
INT_PTR WINAPI WindowsDialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM param)
{
    return owner && !IsWindow(owner) ? 0 : DialogBoxParamA(instance, name, owner, procedure, param);
}

// A transfer export whose dialog cannot be created returns 0 after its usual clean-up: the USB
// link terminated and unloaded, and nothing shown. An owner that is no window (the dialog call
// answers 0 then, and creates nothing) counts the same.
TEST_F(Frame, DialogThatCannotBeCreatedReturnsZero)
{
    UseUsb(Usb::Present);
    ASSERT_TRUE(uidrive::PatchImport(Dll().module, "user32.dll", "DialogBoxParamA", (void *)WindowsDialogBoxParamA));
    std::vector<char> design = DesignBytes(300, 1);
    std::string list = WriteSendList(In("host.lst"), {WriteDesign(In("a.vbd"))});
    const std::pair<const char *, std::function<int(HWND)>> exports[] = {
        {"Send Designs",
         [&](HWND owner) {
             return Dll().DirectDownload(owner, (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), "x");
         }},
        {"Send Designs", [&](HWND owner) { return Dll().DirectFilesDownload(owner, list.c_str(), 0); }},
        {"Receive Designs", [&](HWND owner) { return (int)Dll().UploadData(owner); }},
        {"Delete Designs", [&](HWND owner) { return (int)Dll().DeleteData(owner); }},
    };
    HWND gone = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    DestroyWindow(gone);
    for (bool ownerGone : {false, true}) {
        for (auto &e : exports) {
            SCOPED_TRACE(std::string(e.first) + (ownerGone ? ", owner gone" : ", refused"));
            linksim::ResetMachine();
            SetFaults("message=log\n");
            DialogRefusal refusal(ownerGone ? "" : e.first);
            EXPECT_EQ(e.second(ownerGone ? gone : Owner()), 0);
            EXPECT_EQ(DialogRefusal::Refused(), ownerGone ? 0 : 1);
            EXPECT_EQ(SimOps(), Names{"USB_Terminate"});
            EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), (HMODULE)NULL) << "unloaded";
            EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        }
    }
    EXPECT_TRUE(ModuleMessages().empty());
}

}  // namespace
