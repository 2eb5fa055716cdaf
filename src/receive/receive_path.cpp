#include "receive/receive_path.h"

#include <string.h>

void RemoveTrailingBackslash(char *folder)
{
    size_t length = strlen(folder);
    size_t last = length == 0 ? 0 : length - 1;
    if (folder[last] == '\\')
        folder[last] = '\0';
}

// Start of the extension as the standard path splitting finds it: the last dot after the
// last separator (backslash, slash, or the drive's colon); null when there is none.
static const char *FindExtension(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return strrchr(name, '.');
}

static bool IsPtn(const char *extension)
{
    static const char PTN[] = ".ptn";
    for (int i = 0; i < 4; ++i) {
        char c = extension[i];
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != PTN[i])
            return false;
    }
    return extension[4] == '\0';
}

bool ReplacePtnExtension(const char *path, char result[VEMB_NAME_FIELD])
{
    const char *extension = FindExtension(path);
    if (!extension || !IsPtn(extension))
        return false;
    // Drive, directory and file name stay as they were; the builder adds the dot again.
    size_t stem = (size_t)(extension - path);
    memset(result, 0, VEMB_NAME_FIELD);
    if (stem + 4 >= VEMB_NAME_FIELD)
        return false;
    memcpy(result, path, stem);
    memcpy(result + stem, ".vbd", 4);
    return true;
}

bool BuildDestinationPath(const char *folder, const char *name, char path[VEMB_NAME_FIELD])
{
    size_t folderLength = strlen(folder);
    size_t nameLength = strlen(name);
    // ".ptn" and ".vbd" are of one length, so the saved path is as long as this one.
    if (folderLength + 1 + nameLength >= VEMB_NAME_FIELD) {
        path[0] = '\0';
        return false;
    }
    memcpy(path, folder, folderLength);
    path[folderLength] = '\\';
    memcpy(path + folderLength + 1, name, nameLength + 1);
    char renamed[VEMB_NAME_FIELD];
    if (ReplacePtnExtension(path, renamed))
        memcpy(path, renamed, VEMB_NAME_FIELD);
    return true;
}

bool IsPlainFileName(const char *name)
{
    if (strpbrk(name, "\\/:"))
        return false;
    return strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}
