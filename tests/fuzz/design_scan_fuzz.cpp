// Fuzz target: the design data scan against the plain pair-by-pair reading of its rule,
// and the other text rules of design files on arbitrary input.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "design/design_file.h"

static size_t PairByPair(const uint8_t *file, size_t size)
{
    if (size < 2)
        return size;
    size_t offset = file[0] | file[1] << 8;
    if (offset > size)
        return size;
    for (size_t at = offset; at + 2 <= size; at += 2)
        if (file[at] == 0x80 && file[at + 1] == 0x10)
            return at + 2;
    return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t found = ScanDesignDataSize(data, size);
    if (found != PairByPair(data, size) || found > size)
        abort();

    DesignHeader header;
    ParseDesignHeader(data, size, &header);

    std::string path((const char *)data, size);
    path = path.substr(0, strlen(path.c_str()));
    int has = HasExtension(path.c_str(), "vbd");
    size_t dot = path.find_last_not_of('.');
    // The extension runs back from the last non-dot to the dot before it, or to the start
    // of the path when dots at the end were skipped; a path that is all run has none.
    bool expected = dot != std::string::npos && dot >= 2 && strncasecmp(path.c_str() + dot - 2, "vbd", 3) == 0 &&
                    (dot == 2 ? dot + 1 < path.size() : path[dot - 3] == '.');
    if (has != (expected ? 1 : 0))
        abort();

    std::string digits;
    for (char c : path)
        if (c >= '0' && c <= '9')
            digits += c;
    char *grouped = FormatThousands(digits.c_str());
    if (!grouped || strlen(grouped) != digits.size() + (digits.empty() ? 0 : (digits.size() - 1) / 3))
        abort();
    free(grouped);
    return 0;
}
