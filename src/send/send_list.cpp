#include "send/send_list.h"

#include <string.h>

size_t BuildSendRecord(const char *path, unsigned char record[SEND_RECORD_SIZE])
{
    size_t n = 0;
    while (n < SEND_RECORD_PATH_MAX && path[n] != '\0')
        ++n;
    memset(record, 0, SEND_RECORD_SIZE);
    memcpy(record, path, n);
    return n;
}

uint32_t SendRecordCount(uint32_t fileSize)
{
    return fileSize / SEND_RECORD_SIZE;
}

uint32_t SendListCapacity(uint32_t fileSize)
{
    return SendRecordCount(fileSize) + 1;
}

// One record as a design entry: the record's 260 bytes followed by a zero byte (so a record
// without any zero byte is a 260-character path), the location code, design number 0.
// Whatever follows the first zero byte of a host-made record is copied but never read.
static void SendRecordToEntry(const unsigned char record[SEND_RECORD_SIZE], unsigned char location,
                              DesignEntry *entry)
{
    static_assert(SEND_RECORD_SIZE + 1 == sizeof(entry->name), "a record and one zero byte fill the name");
    memcpy(entry->name, record, SEND_RECORD_SIZE);
    entry->name[SEND_RECORD_SIZE] = '\0';
    entry->location = location;
    entry->number = 0;
}

void SendListBegin(SendListBuilder *list, DesignEntry *entries, uint32_t capacity, unsigned char location)
{
    list->entries = entries;
    list->capacity = capacity;
    list->count = 0;
    list->location = location;
    list->staged = false;
}

DesignEntry *SendListStage(SendListBuilder *list, const unsigned char record[SEND_RECORD_SIZE])
{
    // count + 1 < capacity: the staged slot and the closing slot after it both exist.
    if (list->capacity == 0 || list->count >= list->capacity - 1) {
        list->staged = false;
        return nullptr;
    }
    DesignEntry *slot = &list->entries[list->count];
    SendRecordToEntry(record, list->location, slot);
    list->staged = true;
    return slot;
}

void SendListAccept(SendListBuilder *list)
{
    if (!list->staged)
        return;
    list->staged = false;
    ++list->count;
}

void SendListClose(SendListBuilder *list)
{
    list->staged = false;
    if (list->count < list->capacity)
        memset(&list->entries[list->count], 0, sizeof(DesignEntry));
}

uint32_t ReadSendList(const unsigned char *data, uint32_t size, unsigned char location,
                      DesignEntry *entries, uint32_t capacity)
{
    SendListBuilder list;
    SendListBegin(&list, entries, capacity, location);
    uint32_t records = SendRecordCount(size);
    for (uint32_t i = 0; i < records; ++i) {
        if (!SendListStage(&list, data + (size_t)i * SEND_RECORD_SIZE))
            break;
        SendListAccept(&list);
    }
    SendListClose(&list);
    return list.count;
}
