#pragma once
// File helpers of the machine model (internal to the simulator: its model and simctl).
#include <windows.h>

#include <string>
#include <vector>

namespace linksim {

// Holds the machine folder's named mutex for its lifetime. The mutex is recursive, so a
// model operation may call another while holding it.
class MachineLock {
public:
    MachineLock();
    ~MachineLock();
    MachineLock(const MachineLock &) = delete;
    MachineLock &operator=(const MachineLock &) = delete;

private:
    HANDLE mutex_;
};

// <machine folder>\name
std::string MachinePath(const std::string &name);
void MakeFolders(const std::string &folder);

bool ReadWholeFile(const std::string &path, std::vector<char> *bytes);
// Creates or truncates the file.
bool WriteWholeFile(const std::string &path, const void *data, size_t size);
bool AppendToFile(const std::string &path, const std::string &text);
// The file's lines without their line ends; none when it cannot be read.
std::vector<std::string> ReadLines(const std::string &path);

}  // namespace linksim
