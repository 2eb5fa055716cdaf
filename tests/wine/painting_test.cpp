// The module's dialogs as the user sees them: their texts are painted on screen, also in the
// progress dialogs whose own painting only validates; the transfer clips play their way.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "receive_progress_res.h"
#include "resource.h"
#include "send_designs_res.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

class Painting : public VembTest {};

// Waits until the control shows dark (text) pixels on screen.
void ExpectPainted(Ui &u, HWND control, const char *what)
{
    u.WaitUntil([&] { return uidrive::DarkPixelsOf(control) > 10; }, std::string(what) + " painted");
}

HWND StaticWithText(HWND dialog, const char *text)
{
    for (HWND w : uidrive::Descendants(dialog))
        if (WindowText(w) == text)
            return w;
    return NULL;
}

TEST_F(Painting, ProgressDialogsShowTheirTexts)
{
    SeedDesign(1, "a.vbd", DesignBytes(300, 1));
    SeedDesign(1, "b.vbd", DesignBytes(300, 2));
    std::string list = WriteSendList(WorkDir() + "\\list.tp$", {WriteDesign(WorkDir() + "\\c.vbd")});
    SetRegString(Key::Tambora, "RcvPath", WorkDir());
    SetFaults("busy=1\n");

    UiScript send([&](Ui &u) {
        HWND dlg = u.WaitDialog("Send Designs - COM Port");
        ExpectPainted(u, GetDlgItem(dlg, IDC_SEND_STATUS), "\"Ready to send designs.\"");
        u.Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 2);
    send.Join();

    UiScript receive([&](Ui &u) {
        HWND dlg = u.WaitDialog("Receive Designs - COM Port");
        WaitListLoaded(u, dlg, 1);
        ClickCheckBox(dlg, 0);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog("Receive Designs - COM Port");
        ExpectPainted(u, GetDlgItem(progress, IDC_RECEIVE_STATUS), "\"Ready to receive designs.\"");
        u.Click(progress, IDCANCEL);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    receive.Join();

    UiScript remove([&](Ui &u) {
        HWND dlg = u.WaitDialog("Delete Designs - COM Port");
        WaitListLoaded(u, dlg, 2);
        ClickCheckBox(dlg, 0);
        u.Click(dlg, IDOK);
        u.Answer(u.WaitMessageBox("Delete"), IDYES);
        HWND wait = u.WaitDialog("Delete Designs");
        MessageBoxInfo busy = u.WaitMessageBox("Delete");
        // The busy question stands over the wait dialog: move it aside, as a user would.
        SetWindowPos(busy.hwnd, NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ExpectPainted(u, StaticWithText(wait, "Wait a minute.  Now deleting."), "\"Wait a minute.\"");
        u.Answer(busy, IDRETRY);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DeleteData(Owner()), 1);
    remove.Join();
}

// The two clips open from the module's resources at their size in a real animation control,
// and the marker travels from the PC to the machine while sending, back while receiving.
TEST_F(Painting, BothClipsOpenFromTheModuleAndPlayTheirWay)
{
    HWND control = CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | WS_VISIBLE | ACS_TRANSPARENT, 20, 20, 50, 20,
                                   Owner(), NULL, NULL, NULL);
    for (int id : {IDR_AVI_SENDING, IDR_AVI_RECEIVING}) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(Animate_OpenEx(control, Dll().module, MAKEINTRESOURCEA(id)));
        RECT rc;
        GetClientRect(control, &rc);
        EXPECT_EQ(std::make_pair(rc.right, rc.bottom), std::make_pair(233L, 82L));
        ASSERT_TRUE(Animate_Play(control, 0, -1, -1));
        MarkerWatch marker(id == IDR_AVI_SENDING);
        bool stepped = false;
        for (DWORD start = GetTickCount(); !stepped && GetTickCount() - start < 10000; Sleep(20)) {
            MSG msg;
            while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            stepped = marker.Stepped(control);
        }
        EXPECT_TRUE(stepped) << "the marker never stepped the clip's way";
        Animate_Close(control);
    }
    EXPECT_FALSE(Animate_OpenEx(control, Dll().module, MAKEINTRESOURCEA(113))) << "the open above is no formality";
    DestroyWindow(control);
}

}  // namespace
