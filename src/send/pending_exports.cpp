// Placeholders for the sending exports until their dialogs land.
#include "VembDlg.h"

extern "C" BOOL WINAPI TransferVBDFiles(HWND, char *) { return 0; }
