// Resource discipline: each export, driven 20 times in a row as usual, leaves nothing behind
// once it has returned (threads, handles, heaps, windows, GDI objects and DCs of its own, the
// module's temporary files). The first round loads what stays loaded and sets the baseline.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "design_name_res.h"
#include "machine_version_res.h"
#include "picker_res.h"
#include "resource.h"
#include "send_designs_res.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

const int ROUNDS = 20;

class Discipline : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        ArmWatchdog("Discipline", 170);
        TrackModuleGdi();
        for (int i = 0; i < 3; ++i)
            designs_.push_back(WriteDesign(In("d" + std::to_string(i) + ".vbd"), 800));
    }

    // Runs `round` ROUNDS times: after each the temporary files are gone and no transfer is
    // reported; after the last the process holds what it held after the first, no GDI object.
    void Rounds(const std::function<void()> &round)
    {
        std::string baseline;
        for (int i = 1; i <= ROUNDS; ++i) {
            round();
            for (const char *name : {"SendList.tp$", "$$UPLDir.tmp", "$$UPLPrv.tmp"})
                EXPECT_FALSE(FileExists(TempFile(name))) << name << " left after round " << i;
            EXPECT_EQ(Dll().GetTransferStatus(), 0u) << "round " << i;
            if (::testing::Test::HasFailure())
                return;
            Sleep(50);  // let ended threads leave the process
            if (i == 1)
                baseline = Holdings();
        }
        EXPECT_EQ(Holdings(), baseline) << "after " << ROUNDS << " rounds";
        EXPECT_NE(baseline.find("GDI objects and DCs 0,"), std::string::npos) << baseline;
    }

    // Runs one export with a UI script; it returns 1.
    void Drive(const std::function<int()> &call, const std::function<void(Ui &)> &script)
    {
        UiScript ui(script);
        EXPECT_EQ(call(), 1);
        ui.Join();
    }
    // Waits for the dialog, clicks `button` (Start, OK) and waits until it has gone.
    static void Press(Ui &u, const char *caption, int button = IDOK)
    {
        HWND dlg = u.WaitDialog(caption);
        u.Click(dlg, button);
        u.WaitGone(dlg);
    }

    std::vector<std::string> designs_;
};

TEST_F(Discipline, SettingsAndVersionDialogs)
{
    Rounds([&] {
        Drive([&] { return Dll().SetSerialCommParamDlg(Owner()); }, [](Ui &u) { Press(u, "Communication Settings"); });
        Drive([&] { return Dll().CheckVersionDlg(Owner(), 1); }, [](Ui &u) {
            HWND dlg = u.WaitDialog("Select Machine's Version");
            u.Click(dlg, IDC_VERSION_22);
            Press(u, "Select Machine's Version");
        });
    });
}

TEST_F(Discipline, SendingAListAndADesignInMemory)
{
    std::string list = WriteSendList(In("list.tp$"), designs_);
    std::vector<char> design = DesignBytes(600, 7);
    Rounds([&] {
        Drive([&] { return Dll().DirectFilesDownload(Owner(), list.c_str(), 0); },
              [](Ui &u) { Press(u, "Send Designs - COM Port"); });
        Drive([&] { return Dll().DirectDownload(Owner(), (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), ""); },
              [](Ui &u) {
                  HWND dlg = u.WaitDialog("Send Designs - COM Port");
                  u.Click(dlg, IDC_SEND_NAME);
                  HWND name = u.WaitDialog("Vbd Name");
                  u.SetText(name, IDC_DESIGN_NAME_EDIT, "kept");
                  Press(u, "Vbd Name");
                  Press(u, "Send Designs - COM Port");
              });
    });
    EXPECT_EQ(StoredNames(1), (Names{"d0.vbd", "d1.vbd", "d2.vbd", "kept.vbd"}));
}

TEST_F(Discipline, ChoosingAndSendingInThePicker)
{
    Rounds([&] {
        char folder[MAX_PATH];
        strcpy(folder, WorkDir().c_str());
        Drive([&] { return Dll().TransferVBDFiles(Owner(), folder); }, [](Ui &u) {
            HWND common = u.WaitDialog("Select Designs");
            uidrive::PickerWindows p;
            u.WaitUntil([&] {
                p = uidrive::FindPickerWindows(common);
                return p.child && p.files && SendMessageA(p.files, LVM_GETITEMCOUNT, 0, 0) >= 3;
            }, "the picker's file list");
            uidrive::SelectListItemsByText(p.files, {"d0.vbd", "d2.vbd"});
            u.Click(p.child, IDC_PICKER_ADD);
            u.WaitUntil([&] { return SendMessageA(GetDlgItem(p.child, IDC_PICKER_LIST), LVM_GETITEMCOUNT, 0, 0) == 2; },
                        "two chosen designs");
            u.Click(p.child, IDC_PICKER_SEND);
            Press(u, "Send Designs - COM Port");
        });
    });
    EXPECT_EQ(StoredNames(1), (Names{"d0.vbd", "d2.vbd"}));
}

TEST_F(Discipline, ReceivingAndDeletingWithPreviews)
{
    for (int i = 0; i < ROUNDS + 2; ++i)
        SeedDesign(1, "s" + std::to_string(100 + i) + ".vbd", DesignBytes(500, i));
    CreateDirectoryA(In("received").c_str(), NULL);
    SetRegString(Key::Tambora, "RcvPath", In("received"));
    size_t lists = 0, fetches = 0;
    // Ticks the first design, fetches its preview and presses OK.
    auto choose = [&](Ui &u, HWND dlg) {
        WaitListLoaded(u, dlg, ++lists);
        ClickCheckBox(dlg, 0);
        u.Click(dlg, IDC_SHOW_PREVIEW);
        WaitPreviewDone(u, dlg, ++fetches);
        u.Click(dlg, IDOK);
    };
    Rounds([&] {
        Drive([&] { return Dll().UploadData(Owner()); }, [&](Ui &u) {
            HWND dlg = u.WaitDialog("Receive Designs - COM Port");
            choose(u, dlg);
            u.WaitGone(dlg);
            Press(u, "Receive Designs - COM Port");
        });
        Drive([&] { return Dll().DeleteData(Owner()); }, [&](Ui &u) {
            HWND dlg = u.WaitDialog("Delete Designs - COM Port");
            choose(u, dlg);
            u.Answer(u.WaitMessageBox("Delete"), IDYES);
            u.WaitGone(dlg);
        });
    });
    EXPECT_EQ(StoredNames(1).size(), 2u);
}

}  // namespace

// A host may load the module around every call. 1,000 loads, each calling every export with its
// dialogs refused (each takes its way out at once, the USB link library loaded and freed on the
// way), and every 100th, the first included, sending one design over USB for real (a worker, the
// library's own calls): the process holds no more handles or threads at the end than after the
// first loads. The system DLLs the module imports stay loaded, as in a host that uses them itself
// (Wine's winspool, which comdlg32 loads, keeps a mutex over an unload of its own).
class Unloading : public VembTest {};

TEST_F(Unloading, LoadingAndFreeingTheModuleKeepsNothing)
{
    const int LOADS = 1000, WARM = 10;
    ArmWatchdog("Unloading", 170);
    for (const char *system : {"comctl32.dll", "comdlg32.dll", "shell32.dll", "ole32.dll"})
        ASSERT_NE(LoadLibraryA(system), (HMODULE)NULL) << system;
    UseUsb(Usb::Present);
    SetFaults("message=log\n");
    std::vector<char> design = DesignBytes(300, 1);
    std::string list = WriteSendList(In("list.tp$"), {WriteDesign(In("a.vbd"), 300)});
    std::string before;
    for (int i = 1; i <= LOADS; ++i) {
        HMODULE module = LoadLibraryA((ExeDir() + "VembDlg.dll").c_str());
        ASSERT_NE(module, (HMODULE)NULL) << "load " << i;
        auto call = [&](const char *name) { return GetProcAddress(module, name); };
        auto directDownload = (BOOL(WINAPI *)(HWND, DWORD, DWORD, const char *))call("DirectDownload");
        if (i % 100 == 1) {
            UiScript ui([](Ui &u) {
                HWND dlg = u.WaitDialog("Send Designs - USB Connected");
                u.Click(dlg, IDOK);
                AnswerUntilGone(u, dlg);
            });
            EXPECT_EQ(directDownload(Owner(), (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), "x.vbd"), 1);
            ui.Join();
        } else {
            DialogRefusal refusal("");
            char folder[MAX_PATH] = "";
            std::string results;
            for (int result : {((int(WINAPI *)(void))call("GetVersionCode"))(),
                               ((int(WINAPI *)(HWND, int))call("CheckVersionDlg"))(Owner(), 1),
                               (int)((UINT(WINAPI *)(void))call("GetTransferStatus"))(),
                               (int)((BOOL(WINAPI *)(HWND, char *))call("TransferVBDFiles"))(Owner(), folder),
                               (int)((BOOL(WINAPI *)(HWND))call("DeleteData"))(Owner()),
                               (int)((BOOL(WINAPI *)(HWND))call("SetSerialCommParamDlg"))(Owner()),
                               (int)directDownload(Owner(), (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), "x"),
                               ((int(WINAPI *)(HWND, const char *, int))call("DirectFilesDownload"))(Owner(),
                                                                                                 list.c_str(), 0),
                               (int)((BOOL(WINAPI *)(HWND))call("UploadData"))(Owner())})
                results += std::to_string(result) + " ";
            EXPECT_EQ(results, "-1 -1 0 1 0 0 0 0 0 ")
                << "load " << i << ": no version known, no dialog opened, the picker taken as cancelled";
        }
        ASSERT_TRUE(FreeLibrary(module));
        ASSERT_EQ(GetModuleHandleA("VembDlg.dll"), (HMODULE)NULL) << "load " << i << ": still loaded";
        if (HasFailure())
            return;
        if (i == WARM) {
            Sleep(50);
            before = Holdings();
        }
    }
    Sleep(50);
    EXPECT_EQ(Holdings(), before) << "after " << LOADS - WARM << " more loads";
    EXPECT_EQ(StoredNames(1).size(), 1u) << "the sends over USB stored x.vbd";
}
