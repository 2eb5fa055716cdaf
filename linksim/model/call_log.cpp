// The call log calls.log: what the link libraries were asked and what they answered.
#include "machine.h"
#include "machine_files.h"

namespace linksim {

namespace {
const char LOG_FILE[] = "calls.log";
}

void LogLines(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\r\n";
    MachineLock lock;
    MakeFolders(MachineFolder());
    AppendToFile(MachinePath(LOG_FILE), text);
}

std::string Quote(const std::string &text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        // A line end inside a value would split the call's block.
        out += (unsigned char)c < 0x20 ? '?' : c;
    }
    return out + "\"";
}

std::vector<std::string> ReadCallLog()
{
    MachineLock lock;
    return ReadLines(MachinePath(LOG_FILE));
}

}  // namespace linksim
