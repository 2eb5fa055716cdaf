// main() of every Wine test program: the module code linked into the program takes the
// program as its module instance (templates come from the program's own resources),
// and its message boxes are recorded like the DLL's.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "frame/module.h"
#include "message_box_log.h"

int main(int argc, char **argv)
{
    g_moduleInstance = GetModuleHandleA(NULL);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);
    uidrive::RecordMessageBoxes(GetModuleHandleA(NULL));
    if (HMODULE sio = GetModuleHandleA("VembSio.dll"))
        uidrive::RecordMessageBoxes(sio);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
