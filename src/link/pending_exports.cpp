// Placeholders for the settings and version exports until their dialogs land.
#include "VembDlg.h"

extern "C" int WINAPI GetVersionCode(void) { return -1; }
extern "C" int WINAPI CheckVersionDlg(HWND, int) { return -1; }
extern "C" BOOL WINAPI SetSerialCommParamDlg(HWND) { return 0; }
