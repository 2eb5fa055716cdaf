// The machine's memory: the machine folder, its locations and the designs stored there.
#include "machine.h"

#include <stdio.h>

#include "machine_files.h"

namespace linksim {

namespace {

const char INDEX_FILE[] = "index.txt";

std::string ExecutableFolder()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return ".\\";
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

// The mutex is named after the folder, so two machines in one process stay apart.
std::string MutexName()
{
    DWORD hash = 2166136261u;
    for (char c : MachineFolder()) {
        if (c == '/')
            c = '\\';
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
        hash = (hash ^ (BYTE)c) * 16777619u;
    }
    char name[64];
    snprintf(name, sizeof name, "LoomstarMachine.%08lx", (unsigned long)hash);
    return name;
}

// Index lines are "<file>\t<name>"; the name's own tabs and line ends are escaped.
std::string EscapeName(const std::string &name)
{
    std::string out;
    for (char c : name) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::string UnescapeName(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char e = text[++i];
            c = e == 't' ? '\t' : e == 'r' ? '\r' : e == 'n' ? '\n' : e;
        }
        out += c;
    }
    return out;
}

struct IndexLine {
    std::string file;  // file name inside the location folder
    std::string name;
};

std::vector<IndexLine> ReadIndex(int location)
{
    std::vector<IndexLine> index;
    for (const std::string &line : ReadLines(LocationFolder(location) + "\\" + INDEX_FILE)) {
        size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0)
            continue;
        index.push_back({line.substr(0, tab), UnescapeName(line.substr(tab + 1))});
    }
    return index;
}

// Written beside and moved over the old index, so a reader never sees half of it.
bool WriteIndex(int location, const std::vector<IndexLine> &index)
{
    std::string text;
    for (const IndexLine &line : index)
        text += line.file + "\t" + EscapeName(line.name) + "\r\n";
    std::string folder = LocationFolder(location);
    std::string path = folder + "\\" + INDEX_FILE;
    std::string fresh = path + ".new";
    if (!WriteWholeFile(fresh, text.data(), text.size()))
        return false;
    return MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::string FreshFileName(const std::vector<IndexLine> &index)
{
    for (int n = 1;; ++n) {
        char name[32];
        snprintf(name, sizeof name, "design%03d.bin", n);
        bool used = false;
        for (const IndexLine &line : index)
            used = used || _stricmp(line.file.c_str(), name) == 0;
        if (!used)
            return name;
    }
}

void DeleteTree(const std::string &folder)
{
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path);
                RemoveDirectoryA(path.c_str());
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }
}

}  // namespace

// ---- files ----

MachineLock::MachineLock()
{
    mutex_ = CreateMutexA(NULL, FALSE, MutexName().c_str());
    if (mutex_)
        WaitForSingleObject(mutex_, INFINITE);  // an abandoned mutex is ours as well
}

MachineLock::~MachineLock()
{
    if (mutex_) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

std::string MachinePath(const std::string &name)
{
    return MachineFolder() + "\\" + name;
}

void MakeFolders(const std::string &folder)
{
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '\\' && folder[i] != '/')
            continue;
        std::string part = folder.substr(0, i);
        if (part.size() == 2 && part[1] == ':')
            continue;  // a drive letter
        CreateDirectoryA(part.c_str(), NULL);
    }
}

bool ReadWholeFile(const std::string &path, std::vector<char> *bytes)
{
    bytes->clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, NULL)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        bytes->insert(bytes->end(), chunk, chunk + got);
    }
    CloseHandle(file);
    return ok;
}

bool WriteWholeFile(const std::string &path, const void *data, size_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = size == 0 || (WriteFile(file, data, (DWORD)size, &written, NULL) && written == size);
    return CloseHandle(file) && ok;
}

bool AppendToFile(const std::string &path, const std::string &text)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, NULL) && written == text.size();
    return CloseHandle(file) && ok;
}

std::vector<std::string> ReadLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::vector<char> bytes;
    if (!ReadWholeFile(path, &bytes))
        return lines;
    std::string line;
    for (char c : bytes) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// ---- the machine ----

std::string MachineFolder()
{
    char value[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("LOOMSTAR_MACHINE", value, MAX_PATH);
    std::string folder;
    if (n > 0 && n < MAX_PATH)
        folder.assign(value, n);
    else
        folder = ExecutableFolder() + "loomstar-machine";
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

bool IsLocation(int location)
{
    return location == 1 || location == 2 || location == 4 || location == 5 || location == 6;
}

std::string LocationFolder(int location)
{
    return MachinePath("loc" + std::to_string(location));
}

std::vector<StoredDesign> ListDesigns(int location)
{
    std::vector<StoredDesign> designs;
    if (!IsLocation(location))
        return designs;
    MachineLock lock;
    std::string folder = LocationFolder(location);
    for (const IndexLine &line : ReadIndex(location))
        designs.push_back({line.name, folder + "\\" + line.file});
    return designs;
}

int StoreDesign(int location, const std::string &name, const void *data, size_t size)
{
    if (!IsLocation(location))
        return SIM_ERR_LOCATION;
    MachineLock lock;
    std::string folder = LocationFolder(location);
    MakeFolders(folder);
    std::vector<IndexLine> index = ReadIndex(location);
    for (const IndexLine &line : index)
        if (line.name == name)  // replaced in place: the design keeps its number
            return WriteWholeFile(folder + "\\" + line.file, data, size) ? SIM_OK : SIM_ERR_FILE;
    if (index.size() >= LOCATION_CAPACITY)
        return SIM_ERR_FULL;
    IndexLine line = {FreshFileName(index), name};
    if (!WriteWholeFile(folder + "\\" + line.file, data, size))
        return SIM_ERR_FILE;
    index.push_back(line);
    if (!WriteIndex(location, index)) {
        DeleteFileA((folder + "\\" + line.file).c_str());
        return SIM_ERR_FILE;
    }
    return SIM_OK;
}

// The path of design `number` of a location, and its index, read under the caller's lock.
// SIM_ERR_LOCATION or SIM_ERR_NO_DESIGN when there is no such design.
static int FindDesign(int location, int number, std::vector<IndexLine> *index, std::string *path)
{
    if (!IsLocation(location))
        return SIM_ERR_LOCATION;
    *index = ReadIndex(location);
    if (number < 1 || number > (int)index->size())
        return SIM_ERR_NO_DESIGN;
    *path = LocationFolder(location) + "\\" + (*index)[number - 1].file;
    return SIM_OK;
}

int ReadDesign(int location, int number, std::vector<char> *bytes)
{
    bytes->clear();
    MachineLock lock;
    std::vector<IndexLine> index;
    std::string path;
    int found = FindDesign(location, number, &index, &path);
    if (found != SIM_OK)
        return found;
    return ReadWholeFile(path, bytes) ? SIM_OK : SIM_ERR_FILE;
}

int DeleteDesign(int location, int number)
{
    MachineLock lock;
    std::vector<IndexLine> index;
    std::string file;
    int found = FindDesign(location, number, &index, &file);
    if (found != SIM_OK)
        return found;
    index.erase(index.begin() + (number - 1));
    if (!WriteIndex(location, index))
        return SIM_ERR_FILE;
    DeleteFileA(file.c_str());
    return SIM_OK;
}

void ResetMachine()
{
    MachineLock lock;
    DeleteTree(MachineFolder());
}

std::vector<char> DirectoryInformation(int location)
{
    std::vector<StoredDesign> designs = ListDesigns(location);
    std::vector<char> info;
    info.push_back((char)((designs.size() >> 8) & 0xFF));
    info.push_back((char)(designs.size() & 0xFF));
    for (const StoredDesign &d : designs) {
        size_t length = d.name.size() > 255 ? 255 : d.name.size();
        info.push_back((char)length);
        info.insert(info.end(), d.name.begin(), d.name.begin() + length);
    }
    return info;
}

}  // namespace linksim
