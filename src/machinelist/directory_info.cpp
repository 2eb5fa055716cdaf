#include "machinelist/directory_info.h"

#include <stdlib.h>
#include <string.h>

bool ReadDirectoryCount(const unsigned char *data, size_t size, unsigned *count)
{
    if (size < DIRECTORY_HEADER_SIZE)
        return false;
    *count = data[0] * 256u + data[1];
    return true;
}

void DirectoryReaderBegin(DirectoryReader *reader, const unsigned char *records, size_t size)
{
    reader->records = records;
    reader->size = size;
    reader->consumed = 0;
    reader->number = 0;
}

bool DirectoryReaderNext(DirectoryReader *reader, char name[DIRECTORY_NAME_MAX + 1], unsigned *number)
{
    if (reader->consumed >= reader->size)
        return false;
    size_t length = reader->records[reader->consumed];
    size_t start = reader->consumed + 1;
    size_t available = reader->size - start;   // start <= size: consumed < size
    size_t taken = length < available ? length : available;
    memcpy(name, reader->records + start, taken);
    name[taken] = '\0';
    // A record that runs past the end consumes the rest of the data, so the walk ends here.
    reader->consumed = start + taken;
    *number = ++reader->number;
    return true;
}

int CompareDesignNames(const void *a, const void *b)
{
    // strncmp compares the bytes as unsigned char. Bounded by the field, so a snapshot whose
    // text filled it without a terminator is safe.
    int c = strncmp(static_cast<const DesignSortRecord *>(a)->name,
                    static_cast<const DesignSortRecord *>(b)->name, DESIGN_LIST_TEXT_SIZE);
    return (c > 0) - (c < 0);
}

static int CompareDesignNamesThenIndex(const void *a, const void *b)
{
    int c = CompareDesignNames(a, b);
    if (c != 0)
        return c;
    int32_t ia = static_cast<const DesignSortRecord *>(a)->index;
    int32_t ib = static_cast<const DesignSortRecord *>(b)->index;
    return (ia > ib) - (ia < ib);
}

void SortDesignSnapshots(DesignSortRecord *records, size_t count)
{
    if (count > 1)
        qsort(records, count, sizeof(DesignSortRecord), CompareDesignNamesThenIndex);
}

int CompareDesignNumbersDescending(const void *a, const void *b)
{
    return static_cast<const DesignEntry *>(b)->number - static_cast<const DesignEntry *>(a)->number;
}

void SortDeleteList(DesignEntry *entries, size_t count)
{
    if (count > 1)
        qsort(entries, count, sizeof(DesignEntry), CompareDesignNumbersDescending);
}
