#pragma once
// The progress bar position (range 0 to 100) for what a link library reports. Win32-free.
// The dialogs say it two ways, which round apart (29 of 100: 28 and 29), so each has its
// own function; both are computed in double precision and truncated. A total of 0 tells
// nothing yet: position 0. More done than total stops at 100, all the bar can show.
#include <stdint.h>

// done / total x 100: the send dialog, the directory upload and the preview fetch.
int ProgressPercent(uint32_t done, uint32_t total);

// done x 100 / total: the receive progress dialog.
int ProgressPercentScaledFirst(uint32_t done, uint32_t total);
