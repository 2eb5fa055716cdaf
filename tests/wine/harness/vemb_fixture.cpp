#include "vemb_fixture.h"

#include <stdio.h>

#include "link/settings.h"

namespace vt {

std::string ExeDir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<char> ReadFileBytes(const std::string &path)
{
    std::vector<char> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

bool WriteFileBytes(const std::string &path, const void *data, size_t size)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

bool WriteFileText(const std::string &path, const std::string &text)
{
    return WriteFileBytes(path, text.data(), text.size());
}

static void DeleteTree(const std::string &dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path);
            else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

static void MakeDirs(const std::string &dir)
{
    for (size_t i = 3; i <= dir.size(); ++i)
        if (i == dir.size() || dir[i] == '\\')
            CreateDirectoryA(dir.substr(0, i).c_str(), NULL);
}

// ---- registry ----

static const char *KeyPath(Key key)
{
    return key == Key::Tambora ? TAMBORA_KEY_PATH : BRODERA_KEY_PATH;
}

void DeleteSettingsKeys()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, TAMBORA_KEY_PATH);
    RegDeleteKeyA(HKEY_CURRENT_USER, BRODERA_KEY_PATH);
}

bool KeyExists(Key key)
{
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath(key), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

static bool QueryValue(Key key, const char *name, DWORD *type, std::vector<BYTE> *data)
{
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath(key), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool ok = RegQueryValueExA(k, name, NULL, type, NULL, &size) == ERROR_SUCCESS;
    if (ok) {
        data->resize(size + 1);
        ok = RegQueryValueExA(k, name, NULL, type, data->data(), &size) == ERROR_SUCCESS;
        data->resize(size);
    }
    RegCloseKey(k);
    return ok;
}

bool ReadRegDword(Key key, const char *name, DWORD *value)
{
    DWORD type;
    std::vector<BYTE> data;
    if (!QueryValue(key, name, &type, &data) || type != REG_DWORD || data.size() != 4)
        return false;
    memcpy(value, data.data(), 4);
    return true;
}

bool ReadRegString(Key key, const char *name, std::string *value)
{
    DWORD type;
    std::vector<BYTE> data;
    if (!QueryValue(key, name, &type, &data) || type != REG_SZ)
        return false;
    value->assign(data.begin(), data.end());
    while (!value->empty() && value->back() == '\0')
        value->pop_back();
    return true;
}

void SetRegBinary(Key key, const char *name, const void *data, DWORD size, DWORD type)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(key), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(k, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(k);
}

void SetRegDword(Key key, const char *name, DWORD value)
{
    SetRegBinary(key, name, &value, sizeof value, REG_DWORD);
}

void SetRegString(Key key, const char *name, const std::string &value)
{
    SetRegBinary(key, name, value.c_str(), (DWORD)value.size() + 1, REG_SZ);
}

// ---- the DLL ----

static VembDll g_dll;

void UnloadDll()
{
    if (g_dll.module)
        FreeLibrary(g_dll.module);
    g_dll = VembDll();
}

const VembDll &Dll()
{
    VembDll &dll = g_dll;
    if (dll.module)
        return dll;
    dll.module = LoadLibraryA((ExeDir() + "VembDlg.dll").c_str());
    if (!dll.module) {
        ADD_FAILURE() << "cannot load VembDlg.dll beside the test program, error " << GetLastError();
        return dll;
    }
    RecordMessageBoxes(dll.module);
    if (HMODULE sio = GetModuleHandleA("VembSio.dll"))
        RecordMessageBoxes(sio);
#define BIND(name) dll.name = (decltype(dll.name))GetProcAddress(dll.module, #name)
    BIND(GetVersionCode);
    BIND(CheckVersionDlg);
    BIND(GetTransferStatus);
    BIND(TransferVBDFiles);
    BIND(DeleteData);
    BIND(SetSerialCommParamDlg);
    BIND(DirectDownload);
    BIND(DirectFilesDownload);
    BIND(UploadData);
#undef BIND
    return dll;
}

// ---- call log ----

std::string SimCall::Arg(const std::string &key) const
{
    auto it = args.find(key);
    return it == args.end() ? std::string() : it->second;
}

// Splits "key=value key=\"quoted value\" ..." into pairs.
static std::map<std::string, std::string> ParseArgs(const std::string &text)
{
    std::map<std::string, std::string> args;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        size_t eq = text.find('=', i);
        if (eq == std::string::npos)
            break;
        std::string key = text.substr(i, eq - i);
        std::string value;
        i = eq + 1;
        if (i < text.size() && text[i] == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size())
                    ++i;
                value += text[i];
            }
            ++i;
        } else {
            while (i < text.size() && text[i] != ' ')
                value += text[i++];
        }
        args[key] = value;
    }
    return args;
}

std::vector<SimCall> ReadSimCalls()
{
    std::vector<SimCall> calls;
    for (const std::string &line : linksim::ReadCallLog()) {
        if (line.rfind("  ", 0) != 0) {
            SimCall call;
            size_t space = line.find(' ');
            call.op = line.substr(0, space);
            if (space != std::string::npos)
                call.args = ParseArgs(line.substr(space + 1));
            calls.push_back(call);
            continue;
        }
        if (calls.empty())
            continue;
        SimCall &call = calls.back();
        std::string rest = line.substr(2);
        if (rest.rfind("entry ", 0) == 0) {
            std::map<std::string, std::string> a = ParseArgs(rest.substr(6));
            call.entries.push_back({a["name"], atoi(a["location"].c_str()), atoi(a["number"].c_str())});
        } else if (rest.rfind("-> ", 0) == 0) {
            call.hasResult = true;
            call.result = atoi(rest.c_str() + 3);
        } else {
            call.events.push_back(rest);
        }
    }
    return calls;
}

std::vector<std::string> SimOps()
{
    std::vector<std::string> ops;
    for (const SimCall &c : ReadSimCalls())
        ops.push_back(c.op);
    return ops;
}

// ---- the fixture ----

static LRESULT CALLBACK OwnerProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

static HWND CreateOwner()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "VembTestHost";
        wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        RegisterClassA(&wc);
        registered = true;
    }
    HWND w = CreateWindowA("VembTestHost", "Test Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640, 480,
                           NULL, NULL, GetModuleHandleA(NULL), NULL);
    return w;
}

static const char *const kModuleTempFiles[] = {"SendList.tp$", "$$UPLDir.tmp", "$$UPLPrv.tmp"};

void VembTest::SetUp()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string id = std::string(info->test_suite_name()) + "." + info->name();
    for (char &c : id)
        if (c == '/')
            c = '_';
    ArmWatchdog(id, 120);

    std::string machine = ExeDir() + "machines\\" + id;
    DeleteTree(machine);
    MakeDirs(machine);
    SetEnvironmentVariableA("LOOMSTAR_MACHINE", machine.c_str());
    linksim::ResetMachine();

    workDir_ = ExeDir() + "work\\" + id;
    DeleteTree(workDir_);
    MakeDirs(workDir_);

    DeleteSettingsKeys();
    for (const char *name : kModuleTempFiles)
        DeleteFileA(TempFile(name).c_str());
    UseUsb(Usb::Absent);
    ClearRecordedMessageBoxes();
    owner_ = CreateOwner();
}

void VembTest::TearDown()
{
    if (owner_)
        DestroyWindow(owner_);
    owner_ = NULL;
    // Every test starts with the module as a host finds it after loading it.
    UnloadDll();
    UseUsb(Usb::Absent);
    DisarmWatchdog();
}

void VembTest::UseUsb(Usb variant)
{
    std::string target = ExeDir() + "VEMBUSB.DLL";
    DeleteFileA(target.c_str());
    if (variant == Usb::Absent)
        return;
    std::string source = ExeDir() + (variant == Usb::Present ? "usb\\VEMBUSB.DLL" : "usb-noopening\\VEMBUSB.DLL");
    ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << "cannot copy " << source;
}

void VembTest::SeedDesign(int location, const std::string &name, const std::vector<char> &bytes)
{
    ASSERT_EQ(linksim::StoreDesign(location, name, bytes.data(), bytes.size()), 0) << name;
}

std::vector<std::string> VembTest::StoredNames(int location)
{
    std::vector<std::string> names;
    for (const linksim::StoredDesign &d : linksim::ListDesigns(location))
        names.push_back(d.name);
    return names;
}

// ---- watchdog ----

static CRITICAL_SECTION g_watchLock;
static HANDLE g_watchThread;
static std::string g_watchName;
static DWORD g_watchDeadline;  // tick count; 0 = disarmed

static DWORD WINAPI WatchdogThread(LPVOID)
{
    for (;;) {
        Sleep(500);
        EnterCriticalSection(&g_watchLock);
        bool expired = g_watchDeadline && (LONG)(GetTickCount() - g_watchDeadline) >= 0;
        std::string name = g_watchName;
        LeaveCriticalSection(&g_watchLock);
        if (expired) {
            fprintf(stderr, "\n[WATCHDOG] %s did not finish in time; windows open:\n%s\n", name.c_str(),
                    DescribeWindows().c_str());
            fflush(stderr);
            fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
    return 0;
}

void ArmWatchdog(const std::string &testName, DWORD seconds)
{
    if (!g_watchThread) {
        InitializeCriticalSection(&g_watchLock);
        g_watchThread = CreateThread(NULL, 0, WatchdogThread, NULL, 0, NULL);
    }
    EnterCriticalSection(&g_watchLock);
    g_watchName = testName;
    g_watchDeadline = GetTickCount() + seconds * 1000;
    if (!g_watchDeadline)
        g_watchDeadline = 1;
    LeaveCriticalSection(&g_watchLock);
}

void DisarmWatchdog()
{
    if (!g_watchThread)
        return;
    EnterCriticalSection(&g_watchLock);
    g_watchDeadline = 0;
    LeaveCriticalSection(&g_watchLock);
}

}  // namespace vt
