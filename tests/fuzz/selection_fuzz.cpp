// libFuzzer target: a picker selection text of any bytes, walked, composed and joined.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "send/selection.h"

static int Step(const char *folder, const char *name, void *context)
{
    if (strlen(folder) >= SELECTION_SIZE || strlen(name) >= SELECTION_SIZE || strchr(name, '"'))
        abort();
    char path[PICKER_PATH_SIZE];
    JoinFolderAndName(path, folder, name);
    ++*static_cast<int *>(context);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4 * SELECTION_SIZE)
        return 0;
    // The first byte sizes the output of the join; the rest is the text.
    size_t outputSize = size > 0 ? data[0] * 8u : 0;
    std::string text(reinterpret_cast<const char *>(data) + (size > 0), size - (size > 0));
    text = text.c_str();

    int quotes = 0;
    for (char c : text)
        quotes += c == '"';
    int names = 0;
    int result = ForEachSelectedName(text.c_str(), Step, &names);
    if (result != (quotes % 2 ? 0 : -1) || names != quotes / 2)
        abort();

    std::vector<char> output(outputSize + 1, 'z');
    char folder[PICKER_PATH_SIZE] = "C:\\dir\\";
    if (ComposeSelection(output.data(), outputSize, folder, text.c_str())) {
        if (strlen(output.data()) >= outputSize)
            abort();
        names = 0;
        ForEachSelectedName(output.data(), Step, &names);
    }
    if (output[outputSize] != 'z')
        abort();

    std::vector<char> stripped(text.begin(), text.end());
    stripped.push_back('\0');
    StripTrailingBackslash(stripped.data());
    return 0;
}
