#pragma once
// Names under which a direct send stores its design: a name the user typed, cleaned to a
// base name with ".vbd", or a default name made from the clock in base 36. Win32-free: the
// Win32 side reads the clock and the edit box.
#include <stddef.h>
#include <stdint.h>

enum : size_t {
    DESIGN_NAME_SIZE = 260,   // the direct design name buffer, terminator included
    BASE36_DIGITS_MAX = 13,   // digits of the largest 64-bit value in base 36
};

// True when `c` may not appear in a typed name: " * / : < > ? \ |
bool IsForbiddenNameChar(char c);

// Turns typed text into a design name: base name + ".vbd". The text is read up to its
// terminator but never beyond 260 characters. Any forbidden character: false, `dest` left
// as it was. Otherwise the typed extension (from the last full stop) is dropped, full stops
// at the start are skipped and the base name ends at the next full stop ("my.design.pes" →
// "my.vbd", ".hidden.pes" → "hidden.vbd", "..." → ".vbd"); true.
// A base name longer than 255 characters is cut to 255 so that the name with ".vbd" fits
// the 260-character buffer: refusing would show the forbidden-characters message, which
// would be wrong.
bool BuildDesignName(char dest[DESIGN_NAME_SIZE], const char *text);

// Writes `value` in base 36 (digits 0-9, then A-Z), most significant digit first, without
// leading zeros ("0" for 0), terminated; `buffer` needs BASE36_DIGITS_MAX + 1 characters.
// Returns `buffer`.
char *FormatBase36(uint64_t value, char *buffer);

// The default design name for a local time given as the count of 100-nanosecond intervals
// since 1 January 1601: FormatBase36 of the count followed by ".vbd" (at most 17 characters
// with the terminator). The clock-reading MakeDefaultDesignName calls this.
void DefaultDesignName(uint64_t localTimeCount, char buffer[DESIGN_NAME_SIZE]);
