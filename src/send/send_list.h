#pragma once
// The send list file "SendList.tp$": 260-byte records, one full path each, no header, no
// count. The picker writes it; the list send (and a host, for DirectFilesDownload) hands it
// back, and its records become a design entry list. Win32-free: the dialogs do the file I/O.
#include <stddef.h>
#include <stdint.h>

#include "link/design_entry.h"

enum : size_t {
    SEND_RECORD_SIZE = 260,                 // bytes of one record
    SEND_RECORD_PATH_MAX = 259,             // path characters a record can carry with its terminator
};

// Fills `record` with `path`: its first 259 characters at most (a longer path is cut), then
// zero bytes up to 260. Never reads more than 259 characters of `path`, so an unterminated
// source of that size is safe. Returns the number of path characters stored.
size_t BuildSendRecord(const char *path, unsigned char record[SEND_RECORD_SIZE]);

// Whole records in a file of `fileSize` bytes; a trailing part shorter than 260 bytes is
// no record.
uint32_t SendRecordCount(uint32_t fileSize);

// Entries to allocate (zero-filled) for a file of `fileSize` bytes: its records and the
// closing entry.
uint32_t SendListCapacity(uint32_t fileSize);

// Builds a design entry list record by record, as the list send reads the file: stage the
// record just read, look at the staged entry (its name is the path to check), then accept it
// or let the next record replace it. The builder never writes outside entries[0..capacity-1]
// and always keeps the slot after the last accepted entry for the closing entry.
struct SendListBuilder {
    DesignEntry *entries;    // room for `capacity` entries
    uint32_t capacity;       // SendListCapacity of the file size
    uint32_t count;          // entries accepted so far
    unsigned char location;  // location code given to every entry
    bool staged;             // the slot after the last accepted entry holds a staged record
};

void SendListBegin(SendListBuilder *list, DesignEntry *entries, uint32_t capacity, unsigned char location);
// Writes the record into the slot after the last accepted entry and returns that slot, or
// null when no room is left beside the closing entry (more records than the size promised):
// the caller then stops reading.
DesignEntry *SendListStage(SendListBuilder *list, const unsigned char record[SEND_RECORD_SIZE]);
// Counts the entry staged last. Does nothing when nothing is staged.
void SendListAccept(SendListBuilder *list);
// Zeroes the slot after the last accepted entry (wiping a staged entry that was refused), so
// that the list ends with an all-zero entry. Call once after the last record; when
// capacity is 0 there is no list and nothing is written.
void SendListClose(SendListBuilder *list);

// The whole reading over a buffer holding the file: every record accepted, closed list.
// `entries` holds `capacity` entries (SendListCapacity(size) takes every record). Returns
// the entry count.
uint32_t ReadSendList(const unsigned char *data, uint32_t size, unsigned char location,
                      DesignEntry *entries, uint32_t capacity);
