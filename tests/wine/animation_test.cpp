// The two transfer clips as the module ships them, played by a real animation control: they
// open from the module's resources at their size, and the marker travels from the PC to the
// machine while sending and back while receiving.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "resource.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

class Animation : public VembTest {};

TEST_F(Animation, BothClipsOpenFromTheModuleAndPlayTheirWay)
{
    HWND control = CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | WS_VISIBLE | ACS_TRANSPARENT, 20, 20, 50, 20,
                                   Owner(), NULL, NULL, NULL);
    for (int id : {IDR_AVI_SENDING, IDR_AVI_RECEIVING}) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(Animate_OpenEx(control, Dll().module, MAKEINTRESOURCEA(id)));
        RECT rc;
        GetClientRect(control, &rc);
        EXPECT_EQ(rc.right, 233);
        EXPECT_EQ(rc.bottom, 82);
        ASSERT_TRUE(Animate_Play(control, 0, -1, -1));
        MarkerWatch marker(id == IDR_AVI_SENDING);
        bool stepped = false;
        for (DWORD start = GetTickCount(); !stepped && GetTickCount() - start < 10000;) {
            MSG msg;
            while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            stepped = marker.Stepped(control);
            Sleep(20);
        }
        EXPECT_TRUE(stepped) << "the marker never stepped the clip's way";
        Animate_Close(control);
    }
    EXPECT_FALSE(Animate_OpenEx(control, Dll().module, MAKEINTRESOURCEA(113))) << "the open above is no formality";
    DestroyWindow(control);
}

}  // namespace
