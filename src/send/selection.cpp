#include "send/selection.h"

#include <string.h>

static bool IsLeadByte932(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF);
}

// Length of the text without a trailing backslash that is not the second byte of a
// double-byte character.
static size_t LengthWithoutTrailingBackslash(const char *text)
{
    size_t n = strlen(text);
    if (n == 0 || text[n - 1] != '\\')
        return n;
    if (n >= 2 && IsLeadByte932(static_cast<unsigned char>(text[n - 2])))
        return n;
    return n - 1;
}

void StripTrailingBackslash(char *text)
{
    size_t n = LengthWithoutTrailingBackslash(text);
    if (text[n] != '\0')
        text[n] = '\0';
}

bool IsSeveralNames(const char *text)
{
    const char *first = strchr(text, '"');
    return first != nullptr && strchr(first + 1, '"') != nullptr;
}

// Copies [begin, end) without one trailing blank into a buffer of SELECTION_SIZE.
static void CopyPart(char *dest, const char *begin, const char *end)
{
    size_t n = static_cast<size_t>(end - begin);
    if (n > 0 && begin[n - 1] == ' ')
        --n;
    if (n > SELECTION_SIZE - 1)
        n = SELECTION_SIZE - 1;
    memcpy(dest, begin, n);
    dest[n] = '\0';
}

int ForEachSelectedName(const char *text, SelectedNameStep step, void *context)
{
    static_assert(SELECTION_SIZE <= 32768, "two part buffers live on the stack");
    char folder[SELECTION_SIZE];
    char name[SELECTION_SIZE];

    const char *quote = strchr(text, '"');
    CopyPart(folder, text, quote ? quote : text + strlen(text));
    while (quote) {
        const char *begin = quote + 1;
        const char *close = strchr(begin, '"');
        if (!close)
            return 0;
        CopyPart(name, begin, close);
        int result = step(folder, name, context);
        if (result != 0)
            return result;
        quote = strchr(close + 1, '"');
    }
    return -1;
}

// Length of the longest start of `names`, at most `room` characters, that ends right behind
// a closing double quote; 0 when no quoted name fits.
static size_t WholeNamesPrefix(const char *names, size_t room)
{
    size_t best = 0;
    bool open = false;
    for (size_t i = 0; i < room && names[i] != '\0'; ++i)
        if (names[i] == '"') {
            open = !open;
            if (!open)
                best = i + 1;
        }
    return best;
}

bool ComposeSelection(char *output, size_t outputSize, char *folder, const char *names)
{
    if (outputSize == 0)
        return false;
    size_t room = outputSize - 1;
    size_t namesLength = strlen(names);

    if (!IsSeveralNames(names)) {
        // The folder as StripTrailingBackslash would leave it, without touching `folder`.
        size_t folderLength = LengthWithoutTrailingBackslash(folder);
        if (folderLength + 1 + namesLength > room)
            return false;
        memcpy(output, folder, folderLength);
        output[folderLength] = '\\';
        memcpy(output + folderLength + 1, names, namesLength + 1);
        StripTrailingBackslash(output);
        return true;
    }

    StripTrailingBackslash(folder);
    size_t folderLength = strlen(folder);
    if (folderLength + 2 > room)
        return false;
    size_t take = namesLength;
    if (folderLength + 2 + namesLength > room) {
        take = WholeNamesPrefix(names, room - folderLength - 2);
        if (take == 0)
            return false;
    }
    memcpy(output, folder, folderLength);
    output[folderLength] = '\\';
    output[folderLength + 1] = ' ';
    memcpy(output + folderLength + 2, names, take);
    output[folderLength + 2 + take] = '\0';
    return true;
}

bool AppendQuotedName(char *buffer, size_t bufferSize, const char *name)
{
    size_t used = strlen(buffer);
    size_t nameLength = strlen(name);
    if (used + nameLength + 3 >= bufferSize)   // two quotes, a blank and the terminator
        return false;
    char *p = buffer + used;
    *p++ = '"';
    memcpy(p, name, nameLength);
    p += nameLength;
    *p++ = '"';
    *p++ = ' ';
    *p = '\0';
    return true;
}

bool JoinFolderAndName(char dest[PICKER_PATH_SIZE], const char *folder, const char *name)
{
    size_t folderLength = strlen(folder);
    size_t nameLength = strlen(name);
    if (folderLength + nameLength >= PICKER_PATH_SIZE)
        return false;
    memmove(dest, folder, folderLength);
    memmove(dest + folderLength, name, nameLength + 1);
    return true;
}

bool CopyPickerPath(char dest[PICKER_PATH_SIZE], const char *path)
{
    return JoinFolderAndName(dest, "", path);
}
