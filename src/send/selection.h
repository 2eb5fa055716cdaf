#pragma once
// Texts of the design picker's selection: the folder and names that the common dialog
// reports, joined into the forms the picker walks. Win32-free: the picker asks the common
// dialog for the texts and hands them here.
//
// Forms of a selection text (shown between the bars):
//   one name       |C:\designs\rose.vbd|                    folder, a backslash, the name
//   several names  |C:\designs\ "rose.vbd" "tulip.vbd" |     folder, a backslash, a blank, quoted names
// A root folder keeps one backslash: |C:\a.vbd|, |C:\ "a.vbd" "b.vbd" |.
#include <stddef.h>

enum : size_t {
    SELECTION_SIZE = 20480,   // a selection buffer of the picker, terminator included
    PICKER_PATH_SIZE = 260,   // a path buffer of the picker, terminator included
};

// Removes a trailing backslash, unless the byte before it is a code page 932 lead byte
// (0x81-0x9F, 0xE0-0xEF): then the backslash is the second byte of a double-byte character
// and stays. A lone "\" becomes "".
void StripTrailingBackslash(char *text);

// True when the text holds two double quotes or more: the several-names form.
bool IsSeveralNames(const char *text);

// Called for each name of a several-names text with the folder and the name, both
// terminated. A non-zero result ends the walk with that result.
typedef int (*SelectedNameStep)(const char *folder, const char *name, void *context);

// Walks a selection text: the folder is the text before the first double quote with one
// trailing blank removed; each name is the text between a pair of double quotes with one
// trailing blank removed. Returns -1 after the last name, 0 at an opening quote that is
// never closed (that name is not used), or the first non-zero result of `step`.
// Folder and names are handed over in buffers of SELECTION_SIZE characters; longer parts
// (impossible in texts from the picker's buffers) are cut to fit.
int ForEachSelectedName(const char *text, SelectedNameStep step, void *context);

// The text-joining step of reading the selection. `folder` is the common dialog's current
// folder (in its own buffer, which the several-names form strips of a trailing backslash
// in place, as the caller's folder string later shows); `names` what the file name box or
// file list holds. Writes into `output` of `outputSize` characters with the terminator:
//   fewer than two double quotes in `names` (one name): folder without its trailing
//     backslash, a backslash, the names, and then a trailing backslash stripped;
//   otherwise: folder, a backslash, a blank, the names.
// Overlong joins: one name that does not fit is refused (false, `output` left as it was;
// a cut path would name another file). Several names are cut behind the last complete
// quoted name that fits, so every name that survives is whole and the walk still ends
// normally; when not even the first name fits, false. The three buffers are distinct.
bool ComposeSelection(char *output, size_t outputSize, char *folder, const char *names);

// Appends `"name" ` (quote, name, quote, blank) to the several-names text in `buffer` of
// `bufferSize` characters, as names read from the file list are gathered. False, `buffer`
// left as it was, when the quoted name does not fit whole.
bool AppendQuotedName(char *buffer, size_t bufferSize, const char *name);

// Joins folder and name (the folder of a several-names text already ends in its
// backslash) into a path of PICKER_PATH_SIZE characters. A path that would not fit is
// refused: false, `dest` left as it was.
bool JoinFolderAndName(char dest[PICKER_PATH_SIZE], const char *folder, const char *name);

// Copies a one-name selection into a path buffer of PICKER_PATH_SIZE characters; refused
// like JoinFolderAndName when it does not fit.
bool CopyPickerPath(char dest[PICKER_PATH_SIZE], const char *path);
