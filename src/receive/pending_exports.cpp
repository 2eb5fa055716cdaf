// Placeholder for UploadData until the Receive Designs dialog lands.
#include "VembDlg.h"

extern "C" BOOL WINAPI UploadData(HWND) { return 0; }
