#pragma once
// Design files on disk: the Win32 side of design/design_file.h.
#include <windows.h>

#include "design/design_file.h"

// Reads the 116-byte header from the start of an open file and leaves the file position
// at the start. Fields beyond a short file's end read as 0 (see ParseDesignHeader). FALSE
// only when the file cannot be read at all.
BOOL ReadDesignHeader(HANDLE file, DesignHeader *header);
// The same for the file at `path`, opened for reading and closed again; FALSE also when it
// cannot be opened.
BOOL ReadDesignFileHeader(const char *path, DesignHeader *header);

// The design data size of an open ".vbd" file of `fileSize` bytes (ScanDesignDataSize over
// the whole file); the file size on any trouble. Leaves the file position at the start.
DWORD GetDesignDataSize(HANDLE file, DWORD fileSize);

// A file's last-write time in local time as shown in the lists ("2001/03/05 09:07");
// `text` holds DATE_TEXT_SIZE characters.
void FormatFileDate(const FILETIME *lastWrite, char *text);

// The stitch limit for the machine version the user has recorded (what GetVersionCode
// returns).
StitchLimit CurrentStitchLimit();
BOOL DesignTooLarge(int32_t stitchCount);
