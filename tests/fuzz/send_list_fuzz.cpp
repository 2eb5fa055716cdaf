// libFuzzer target: a send list file of any bytes read into a design entry list.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "send/send_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    uint32_t fileSize = static_cast<uint32_t>(size);
    uint32_t capacity = SendListCapacity(fileSize);
    // The first byte also picks a smaller room now and then.
    if (size > 0 && data[0] < 32)
        capacity = data[0] % (capacity + 1);
    std::vector<DesignEntry> entries(capacity + 1);
    memset(entries.data(), 0xAA, entries.size() * sizeof(DesignEntry));
    uint32_t count = ReadSendList(data, fileSize, 1, entries.data(), capacity);
    if (count > SendRecordCount(fileSize) || (capacity > 0 && count >= capacity))
        abort();
    for (uint32_t i = 0; i < count; ++i)
        if (entries[i].name[260] != '\0' || entries[i].number != 0)
            abort();
    if (count < capacity && (entries[count].name[0] != '\0' || entries[count].location != 0))
        abort();
    if (reinterpret_cast<const unsigned char *>(&entries[capacity])[0] != 0xAA)
        abort();
    return 0;
}
