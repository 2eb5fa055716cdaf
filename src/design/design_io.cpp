#include "design/design_io.h"

#include "frame/handles.h"
#include "link/settings.h"

BOOL ReadDesignHeader(HANDLE file, DesignHeader *header)
{
    BYTE bytes[DESIGN_HEADER_SIZE];
    DWORD got = 0;
    if (SetFilePointer(file, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !ReadFile(file, bytes, sizeof bytes, &got, NULL)) {
        ParseDesignHeader(bytes, 0, header);
        return FALSE;
    }
    SetFilePointer(file, 0, NULL, FILE_BEGIN);
    ParseDesignHeader(bytes, got, header);
    return TRUE;
}

BOOL ReadDesignFileHeader(const char *path, DesignHeader *header)
{
    OwnedHandle file(CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file) {
        ParseDesignHeader(NULL, 0, header);
        return FALSE;
    }
    return ReadDesignHeader(file.Get(), header);
}

DWORD GetDesignDataSize(HANDLE file, DWORD fileSize)
{
    MovableBlock block;
    BYTE *bytes = (BYTE *)block.Allocate(fileSize);
    if (!bytes)
        return fileSize;
    DWORD size = fileSize, got = 0;
    if (SetFilePointer(file, 0, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
        ReadFile(file, bytes, fileSize, &got, NULL) && got == fileSize)
        size = (DWORD)ScanDesignDataSize(bytes, fileSize);
    SetFilePointer(file, 0, NULL, FILE_BEGIN);
    return size;
}

void FormatFileDate(const FILETIME *lastWrite, char *text)
{
    FILETIME local;
    SYSTEMTIME t = {};
    FileTimeToLocalFileTime(lastWrite, &local);
    FileTimeToSystemTime(&local, &t);
    DateParts date = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    FormatDesignDate(date, text);
}

StitchLimit CurrentStitchLimit()
{
    return StitchLimitFor(ReadMachineVersion());
}

BOOL DesignTooLarge(int32_t stitchCount)
{
    return ExceedsStitchLimit(stitchCount, ReadMachineVersion());
}
