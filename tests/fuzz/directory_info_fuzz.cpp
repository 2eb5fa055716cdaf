// libFuzzer target: a directory information file of any bytes, header and name records.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "machinelist/directory_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    unsigned count = 0;
    bool hasHeader = ReadDirectoryCount(data, size, &count);
    if (hasHeader != (size >= DIRECTORY_HEADER_SIZE) || count > 0xFFFF)
        abort();
    if (!hasHeader)
        return 0;
    DirectoryReader reader;
    DirectoryReaderBegin(&reader, data + DIRECTORY_HEADER_SIZE, size - DIRECTORY_HEADER_SIZE);
    char name[DIRECTORY_NAME_MAX + 1];
    unsigned number = 0, expected = 0;
    size_t before = 0;
    while (DirectoryReaderNext(&reader, name, &number)) {
        if (number != ++expected || reader.consumed <= before || reader.consumed > reader.size)
            abort();
        if (strlen(name) > reader.consumed - before - 1)
            abort();
        before = reader.consumed;
    }
    if (reader.consumed != reader.size)
        abort();
    return 0;
}
