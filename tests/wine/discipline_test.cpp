// Resource discipline: each export, driven 20 times in a row through its usual way, leaves
// nothing behind once it has returned — no thread, kernel handle, heap, window, GDI object
// or device context of its own, and no temporary file beside the program. The first round
// loads what stays loaded (system DLLs, the common dialog's shell); the counts after it are
// the baseline for the other 19.
//
// Wine answers 0 to GetGuiResources and GetProcessHandleCount, so GDI objects are counted
// at VembDlg.dll's imports (every create and get matched against its delete and release),
// handles one by one, windows by enumeration.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "message_box_log.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

const int ROUNDS = 20;

// ---- GDI objects and device contexts the module holds ----

CRITICAL_SECTION g_gdiLock;
std::set<HANDLE> g_gdiLive;

void Track(HANDLE object, bool live)
{
    if (!object)
        return;
    EnterCriticalSection(&g_gdiLock);
    if (live)
        g_gdiLive.insert(object);
    else
        g_gdiLive.erase(object);
    LeaveCriticalSection(&g_gdiLock);
}

HDC WINAPI TrackCreateCompatibleDC(HDC dc)
{
    HDC made = CreateCompatibleDC(dc);
    Track(made, true);
    return made;
}
HBITMAP WINAPI TrackCreateCompatibleBitmap(HDC dc, int w, int h)
{
    HBITMAP made = CreateCompatibleBitmap(dc, w, h);
    Track(made, true);
    return made;
}
HPEN WINAPI TrackCreatePen(int style, int width, COLORREF colour)
{
    HPEN made = CreatePen(style, width, colour);
    Track(made, true);
    return made;
}
BOOL WINAPI TrackDeleteDC(HDC dc)
{
    Track(dc, false);
    return DeleteDC(dc);
}
BOOL WINAPI TrackDeleteObject(HGDIOBJ object)
{
    Track(object, false);
    return DeleteObject(object);
}
HDC WINAPI TrackGetDC(HWND window)
{
    HDC dc = GetDC(window);
    Track(dc, true);
    return dc;
}
int WINAPI TrackReleaseDC(HWND window, HDC dc)
{
    Track(dc, false);
    return ReleaseDC(window, dc);
}

void WatchGdi(HMODULE module)
{
    static bool ready = false;
    if (!ready) {
        InitializeCriticalSection(&g_gdiLock);
        ready = true;
    }
    const struct {
        const char *dll, *name;
        void *replacement;
    } imports[] = {
        {"gdi32.dll", "CreateCompatibleDC", (void *)TrackCreateCompatibleDC},
        {"gdi32.dll", "CreateCompatibleBitmap", (void *)TrackCreateCompatibleBitmap},
        {"gdi32.dll", "CreatePen", (void *)TrackCreatePen},
        {"gdi32.dll", "DeleteDC", (void *)TrackDeleteDC},
        {"gdi32.dll", "DeleteObject", (void *)TrackDeleteObject},
        {"user32.dll", "GetDC", (void *)TrackGetDC},
        {"user32.dll", "ReleaseDC", (void *)TrackReleaseDC},
    };
    for (const auto &i : imports)
        uidrive::PatchImport(module, i.dll, i.name, i.replacement);
}

// ---- what the process holds ----

BOOL CALLBACK CountWindow(HWND window, LPARAM count)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) {
        ++*(int *)count;
        EnumChildWindows(window, CountWindow, count);
    }
    return TRUE;
}

struct Holdings {
    int threads, handles, windows, gdi;
    DWORD heaps;
    bool operator==(const Holdings &o) const
    {
        return threads == o.threads && handles == o.handles && windows == o.windows && gdi == o.gdi &&
               heaps == o.heaps;
    }
};

std::ostream &operator<<(std::ostream &out, const Holdings &h)
{
    return out << "threads " << h.threads << ", handles " << h.handles << ", windows " << h.windows
               << ", GDI objects and DCs " << h.gdi << ", heaps " << h.heaps;
}

Holdings Now()
{
    Holdings h;
    h.threads = ThreadCount();
    h.handles = HandleCount();
    h.windows = 0;
    EnumWindows(CountWindow, (LPARAM)&h.windows);
    EnterCriticalSection(&g_gdiLock);
    h.gdi = (int)g_gdiLive.size();
    LeaveCriticalSection(&g_gdiLock);
    h.heaps = HeapCount();
    return h;
}

class Discipline : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        ArmWatchdog("Discipline", 170);
        WatchGdi(Dll().module);
        for (int i = 0; i < 3; ++i)
            designs_.push_back(WriteDesign(WorkDir() + "\\d" + std::to_string(i) + ".vbd", 800));
    }

    // Runs `round` ROUNDS times; after each the module's temporary files are gone, and
    // after the last what the process holds equals what it held after the first.
    void Rounds(const std::function<void()> &round)
    {
        Holdings baseline = {};
        for (int i = 1; i <= ROUNDS; ++i) {
            round();
            for (const char *name : {"SendList.tp$", "$$UPLDir.tmp", "$$UPLPrv.tmp"})
                EXPECT_FALSE(FileExists(TempFile(name))) << name << " left after round " << i;
            EXPECT_EQ(Dll().GetTransferStatus(), 0u) << "round " << i;
            if (::testing::Test::HasFailure())
                return;
            Sleep(50);  // let ended threads leave the process
            if (i == 1)
                baseline = Now();
        }
        EXPECT_EQ(Now(), baseline) << "after " << ROUNDS << " rounds";
        EXPECT_EQ(baseline.gdi, 0) << "GDI objects or DCs the module still holds";
    }

    // Runs one export with a UI script.
    template <class Export>
    void Drive(Export call, const std::function<void(Ui &)> &script)
    {
        UiScript ui(script);
        EXPECT_EQ(call(), 1);
        ui.Join();
    }

    std::vector<std::string> designs_;
};

TEST_F(Discipline, SettingsAndVersionDialogs)
{
    Rounds([&] {
        Drive([&] { return Dll().SetSerialCommParamDlg(Owner()); }, [](Ui &u) {
            HWND dlg = u.WaitDialog("Communication Settings");
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
        });
        Drive([&] { return Dll().CheckVersionDlg(Owner(), 1); }, [](Ui &u) {
            HWND dlg = u.WaitDialog("Select Machine's Version");
            u.Click(dlg, 1031);
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
        });
    });
}

TEST_F(Discipline, SendingAListAndADesignInMemory)
{
    std::string list = WriteSendList(WorkDir() + "\\list.tp$", designs_);
    std::vector<char> design = DesignBytes(600, 7);
    Rounds([&] {
        Drive([&] { return Dll().DirectFilesDownload(Owner(), list.c_str(), 0); }, [](Ui &u) {
            HWND dlg = u.WaitDialog("Send Designs - COM Port");
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
        });
        Drive([&] { return Dll().DirectDownload(Owner(), (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), ""); },
              [](Ui &u) {
                  HWND dlg = u.WaitDialog("Send Designs - COM Port");
                  u.Click(dlg, 1028);  // "Name"
                  HWND name = u.WaitDialog("Vbd Name");
                  u.SetText(name, 1020, "kept");
                  u.Click(name, IDOK);
                  u.WaitGone(name);
                  u.Click(dlg, IDOK);
                  u.WaitGone(dlg);
              });
    });
    EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"d0.vbd", "d1.vbd", "d2.vbd", "kept.vbd"}));
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
            u.Click(p.child, 1005);  // ">>"
            u.WaitUntil([&] { return SendMessageA(GetDlgItem(p.child, 1001), LVM_GETITEMCOUNT, 0, 0) == 2; },
                        "two chosen designs");
            u.Click(p.child, 1002);  // "Send"
            HWND send = u.WaitDialog("Send Designs - COM Port");
            u.Click(send, IDOK);
            u.WaitGone(send);
        });
    });
    EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"d0.vbd", "d2.vbd"}));
}

TEST_F(Discipline, ReceivingAndDeletingWithPreviews)
{
    for (int i = 0; i < ROUNDS + 2; ++i)
        SeedDesign(1, "s" + std::to_string(100 + i) + ".vbd", DesignBytes(500, i));
    std::string folder = WorkDir() + "\\received";
    CreateDirectoryA(folder.c_str(), NULL);
    SetRegString(Key::Tambora, "RcvPath", folder);
    size_t lists = 0, fetches = 0;
    Rounds([&] {
        Drive([&] { return Dll().UploadData(Owner()); }, [&](Ui &u) {
            HWND dlg = u.WaitDialog("Receive Designs - COM Port");
            WaitListLoaded(u, dlg, ++lists);
            ClickCheckBox(dlg, 0);
            u.Click(dlg, 1002);  // "Show Preview"
            WaitPreviewDone(u, dlg, ++fetches);
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
            HWND progress = u.WaitDialog("Receive Designs - COM Port");
            u.Click(progress, IDOK);
            u.WaitGone(progress);
        });
        Drive([&] { return Dll().DeleteData(Owner()); }, [&](Ui &u) {
            HWND dlg = u.WaitDialog("Delete Designs - COM Port");
            WaitListLoaded(u, dlg, ++lists);
            ClickCheckBox(dlg, 0);
            u.Click(dlg, 1002);
            WaitPreviewDone(u, dlg, ++fetches);
            u.Click(dlg, IDOK);
            u.Answer(u.WaitMessageBox("Delete"), IDYES);
            u.WaitGone(dlg);
        });
    });
    EXPECT_EQ(StoredNames(1).size(), 2u);
}

}  // namespace
