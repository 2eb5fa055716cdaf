// "Loomstar Link": a small host application with one button per export of VembDlg.dll.
#include <windows.h>

#include "VembDlg.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char text[64];
    wsprintfA(text, "Transfer status: %u", GetTransferStatus());
    MessageBoxA(NULL, text, "Loomstar Link", MB_OK);
    return 0;
}
