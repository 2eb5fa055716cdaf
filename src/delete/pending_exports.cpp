// Placeholder for DeleteData until the Delete Designs dialog lands.
#include "VembDlg.h"

extern "C" BOOL WINAPI DeleteData(HWND) { return 0; }
