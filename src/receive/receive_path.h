#pragma once
// Where a received design is saved: the receive folder, one backslash and the machine's
// name, a ".ptn" design saved as ".vbd". Win32-free.
#include "link/design_entry.h"

// Takes one trailing backslash off the folder text, if it ends in one ("C:\" becomes "C:").
void RemoveTrailingBackslash(char *folder);

// When the extension of `path` (the text from the last dot of its file name part on, as
// the standard path splitting finds it) is ".ptn" in any letter case, writes the path with
// the extension "vbd" into `result` (cleared first) and returns true; otherwise returns
// false and leaves `result` alone. `path` must fit the name field.
bool ReplacePtnExtension(const char *path, char result[VEMB_NAME_FIELD]);

// Destination path of the machine's design `name` in `folder` (already without its
// trailing backslash): "<folder>\<name>", ".ptn" becoming ".vbd". False, with `path`
// emptied, when the path would not fit the entry's name field (260 characters).
bool BuildDestinationPath(const char *folder, const char *name, char path[VEMB_NAME_FIELD]);

// True when the machine's design name is a plain file name that stays inside the folder it
// is saved in: no backslash, slash or drive colon, and neither "." nor "..".
bool IsPlainFileName(const char *name);
