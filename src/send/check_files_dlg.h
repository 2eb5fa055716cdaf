#pragma once
// The Check Files step of every send: under the Check Files dialog (template 116) the
// machine writes the directory information of the send location into "$$UPLDir.tmp", of
// which only the 2-byte design count is read.
#include <windows.h>

// The number of designs stored at the send location; -1 when the directory information
// did not arrive (the link library has said why), 0 when the dialog cannot be created or
// the file is empty or short. The file is deleted in every case. Call after the send's
// cancel event exists: the Check Files dialog replaces it with its own.
int CountStoredDesigns(HWND dialog);
