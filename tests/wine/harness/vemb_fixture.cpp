#include "vemb_fixture.h"

#include <sddl.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "link/settings.h"

namespace vt {

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<char> ReadFileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string &path, const void *data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write((const char *)data, size);
    out.close();
    return !out.fail();
}

bool WriteFileText(const std::string &path, const std::string &text)
{
    return WriteFileBytes(path, text.data(), text.size());
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
    data->resize(size + 1);
    ok = ok && RegQueryValueExA(k, name, NULL, type, data->data(), &size) == ERROR_SUCCESS;
    data->resize(size);
    RegCloseKey(k);
    return ok;
}

bool RegValueExists(Key key, const char *name)
{
    DWORD type;
    std::vector<BYTE> data;
    return QueryValue(key, name, &type, &data);
}

bool ReadRegString(Key key, const char *name, std::string *value)
{
    DWORD type;
    std::vector<BYTE> data;
    if (!QueryValue(key, name, &type, &data) || type != REG_SZ)
        return false;
    value->assign(data.begin(), data.end());
    value->resize(strlen(value->c_str()));
    return true;
}

std::pair<DWORD, DWORD> RegDwordBoth(const char *name)
{
    DWORD values[2];
    for (Key key : {Key::Brodera, Key::Tambora}) {
        DWORD type;
        std::vector<BYTE> data;
        bool dword = QueryValue(key, name, &type, &data) && type == REG_DWORD && data.size() == 4;
        values[key == Key::Tambora] = dword ? *(DWORD *)data.data() : NO_VALUE;
    }
    return {values[0], values[1]};
}

void SetRegBinary(Key key, const char *name, const void *data, DWORD size, DWORD type)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(key), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL) != ERROR_SUCCESS)
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

// Puts an access list given as text on the key; false when that fails.
static bool SetKeyAccess(Key key, const char *sddl, REGSAM access)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(key), 0, NULL, 0, access, NULL, &k, NULL) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, NULL) &&
              RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(k);
    return ok;
}

// Setting values is denied, everything else allowed (so that the list can be put back).
KeyWriteBlock::KeyWriteBlock(Key key)
    : key_(key), blocked_(SetKeyAccess(key, "D:(D;;0x2;;;WD)(A;;KA;;;WD)", KEY_ALL_ACCESS))
{
    EXPECT_TRUE(blocked_) << "cannot deny writes to " << KeyPath(key);
}

KeyWriteBlock::~KeyWriteBlock()
{
    if (blocked_) {
        EXPECT_TRUE(SetKeyAccess(key_, "D:(A;;KA;;;WD)", WRITE_DAC)) << "cannot allow writes to " << KeyPath(key_);
    }
}

// ---- the DLL ----

static VembDll g_dll;

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
    for (size_t i = 0, eq; (eq = text.find('=', i)) != std::string::npos;) {
        std::string key = text.substr(i, eq - i), value;
        bool quoted = eq + 1 < text.size() && text[eq + 1] == '"';
        for (i = eq + 1 + quoted; i < text.size() && text[i] != (quoted ? '"' : ' '); ++i)
            value += text[i += quoted && text[i] == '\\' && i + 1 < text.size()];
        args[key] = value;
        while (i < text.size() && (text[i] == ' ' || text[i] == '"'))
            ++i;
    }
    return args;
}

std::vector<SimCall> ReadSimCalls()
{
    std::vector<SimCall> calls;
    for (const std::string &line : linksim::ReadCallLog()) {
        if (line.rfind("  ", 0) != 0) {
            size_t space = line.find(' ');
            calls.push_back({line.substr(0, space), space == std::string::npos ? std::map<std::string, std::string>()
                                                                               : ParseArgs(line.substr(space + 1))});
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

Names SimOps()
{
    Names ops;
    for (const SimCall &c : ReadSimCalls())
        ops.push_back(c.op);
    return ops;
}

std::vector<SimCall> CallsOf(const Names &ops)
{
    std::vector<SimCall> calls;
    for (const SimCall &c : ReadSimCalls())
        if (std::find(ops.begin(), ops.end(), c.op) != ops.end())
            calls.push_back(c);
    return calls;
}

Names LinkMessages()
{
    Names told;
    for (const SimCall &c : CallsOf({"DisplayMessageByReturnCode", "USB_DisplayMessageByReturnCode"}))
        told.push_back(c.Arg("caption") + " " + c.Arg("code") + "/" + c.Arg("detail"));
    return told;
}

std::string LinkCloseBesideMessage()
{
    std::vector<SimCall> calls = ReadSimCalls();
    auto closing = [](const SimCall &c) { return c.op == "SIO_TerminateIO" || c.op == "USB_Terminate"; };
    auto told = std::find_if(calls.begin(), calls.end(), [](const SimCall &c) {
        return c.op == "DisplayMessageByReturnCode" || c.op == "USB_DisplayMessageByReturnCode";
    });
    if (told == calls.end())
        return "no message";
    size_t i = (size_t)(told - calls.begin());
    // A sequence that failed, the close, then the message.
    if (i >= 2 && closing(calls[i - 1]) && !closing(calls[i - 2]) && calls[i - 2].result != 0)
        return "closed, then told";
    if (i + 1 < calls.size() && closing(calls[i + 1]))
        return "told, then closed";
    return "not closed beside it";
}

// ---- the fixture ----

static void DisarmWatchdog();

static LRESULT CALLBACK OwnerProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

void VembTest::SetUp()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string id = std::string(info->test_suite_name()) + "." + info->name();
    ArmWatchdog(id, 120);
    std::error_code ignored;
    std::string machine = ExeDir() + "machines\\" + id;
    workDir_ = ExeDir() + "work\\" + id;
    for (const std::string &dir : {machine, workDir_}) {
        std::filesystem::remove_all(dir, ignored);
        std::filesystem::create_directories(dir, ignored);
    }
    SetEnvironmentVariableA("LOOMSTAR_MACHINE", machine.c_str());
    linksim::ResetMachine();
    DeleteSettingsKeys();
    for (const char *name : {"SendList.tp$", "$$UPLDir.tmp", "$$UPLPrv.tmp"})
        DeleteFileA(TempFile(name).c_str());
    UseUsb(Usb::Absent);
    ClearRecordedMessageBoxes();
    static ATOM ownerClass = [] {
        WNDCLASSA wc = {0, OwnerProc, 0, 0, GetModuleHandleA(NULL)};
        wc.lpszClassName = "VembTestHost";
        wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        return RegisterClassA(&wc);
    }();
    owner_ = CreateWindowA((LPCSTR)(UINT_PTR)ownerClass, "Test Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640,
                           480, NULL, NULL, GetModuleHandleA(NULL), NULL);
}

void VembTest::TearDown()
{
    if (owner_)
        DestroyWindow(owner_);
    owner_ = NULL;
    // Every test starts with the module as a host finds it after loading it.
    if (g_dll.module)
        FreeLibrary(g_dll.module);
    g_dll = VembDll();
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

Names VembTest::StoredNames(int location)
{
    Names names;
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
    g_watchDeadline = (GetTickCount() + seconds * 1000) | 1;
    LeaveCriticalSection(&g_watchLock);
}

static void DisarmWatchdog()
{
    EnterCriticalSection(&g_watchLock);
    g_watchDeadline = 0;
    LeaveCriticalSection(&g_watchLock);
}

}  // namespace vt
