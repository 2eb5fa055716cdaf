#include "send/design_name.h"

#include <string.h>

static const char DESIGN_EXTENSION[] = ".vbd";
enum : size_t { EXTENSION_LENGTH = sizeof(DESIGN_EXTENSION) - 1 };
// The longest base name that still fits with the extension and the terminator.
enum : size_t { BASE_NAME_MAX = DESIGN_NAME_SIZE - 1 - EXTENSION_LENGTH };
// Typed text is looked at up to this many characters.
enum : size_t { TYPED_TEXT_MAX = 260 };

bool IsForbiddenNameChar(char c)
{
    return c != '\0' && strchr("\"*/:<>?\\|", c) != nullptr;
}

bool BuildDesignName(char dest[DESIGN_NAME_SIZE], const char *text)
{
    size_t length = 0;
    for (; length < TYPED_TEXT_MAX && text[length] != '\0'; ++length)
        if (IsForbiddenNameChar(text[length]))
            return false;

    // Without separators or a drive the whole text is the file name; its extension begins
    // at the last full stop.
    size_t nameEnd = length;
    for (size_t i = length; i-- > 0;)
        if (text[i] == '.') {
            nameEnd = i;
            break;
        }
    size_t start = 0;
    while (start < nameEnd && text[start] == '.')
        ++start;
    size_t end = start;
    while (end < nameEnd && text[end] != '.')
        ++end;

    size_t baseLength = end - start;
    if (baseLength > BASE_NAME_MAX)
        baseLength = BASE_NAME_MAX;
    memmove(dest, text + start, baseLength);   // the text may be the destination itself
    memcpy(dest + baseLength, DESIGN_EXTENSION, EXTENSION_LENGTH + 1);
    return true;
}

char *FormatBase36(uint64_t value, char *buffer)
{
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    size_t n = 0;
    while (value >= 36) {
        buffer[n++] = digits[value % 36];
        value /= 36;
    }
    buffer[n++] = digits[value];
    buffer[n] = '\0';
    for (size_t i = 0, j = n - 1; i < j; ++i, --j) {
        char t = buffer[i];
        buffer[i] = buffer[j];
        buffer[j] = t;
    }
    return buffer;
}

void DefaultDesignName(uint64_t localTimeCount, char buffer[DESIGN_NAME_SIZE])
{
    FormatBase36(localTimeCount, buffer);
    strcat(buffer, DESIGN_EXTENSION);
}
