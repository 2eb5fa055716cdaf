#pragma once
// The progress bar position for what a link library reports. Win32-free.
#include <stdint.h>

// The integer part of done / total × 100, computed in double precision. A total of 0 tells
// nothing yet: position 0. More done than total stops at 100.
int ProgressPercent(uint32_t done, uint32_t total);
