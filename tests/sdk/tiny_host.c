/* A host written against the SDK alone, built three ways by tests/sdk/check-host:
     mingw-w64 with include/VembDlg.h and lib/libVembDlg.dll.a;
     clang-cl and lld-link with include/VembDlg.h and lib/VembDlg.lib, no C runtime (the
       linker enters at HostEntry);
     VEMB_BIND_AT_RUN_TIME: without the header or an import library, loading VembDlg.dll
       with LoadLibrary and binding the exports with GetProcAddress by the names and
       calling convention the host guide gives.
   It asks the two queries and opens the machine version dialog, which a watcher thread
   cancels as a user would. Each call must leave the stack pointer where it was: the
   host's declarations and the module agree on __stdcall. */
#include <stdarg.h>
#include <windows.h>

#ifdef VEMB_BIND_AT_RUN_TIME
typedef int(WINAPI *GetVersionCodeFn)(void);
typedef UINT(WINAPI *GetTransferStatusFn)(void);
typedef int(WINAPI *CheckVersionDlgFn)(HWND owner, int force);
static GetVersionCodeFn GetVersionCode;
static GetTransferStatusFn GetTransferStatus;
static CheckVersionDlgFn CheckVersionDlg;
#else
#include "VembDlg.h"
#endif

static int failures;

static void Say(const char *format, ...)
{
    char text[512];
    DWORD written;
    va_list args;
    va_start(args, format);
    wvsprintfA(text, format, args);
    va_end(args);
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, NULL);
}

#define STACK_POINTER(sp) __asm__ volatile("movl %%esp, %0" : "=r"(sp))
#define CHECKED_CALL(result, call)                                                          \
    do {                                                                                    \
        DWORD before_, after_;                                                              \
        STACK_POINTER(before_);                                                             \
        result = call;                                                                      \
        STACK_POINTER(after_);                                                              \
        if (before_ != after_) {                                                            \
            Say("FAILED: %s moved the stack pointer by %d bytes\n", #call, (int)(after_ - before_)); \
            failures++;                                                                     \
        }                                                                                   \
    } while (0)
#define EXPECT(condition, ...)                                                              \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            Say("FAILED: " __VA_ARGS__);                                                    \
            failures++;                                                                     \
        }                                                                                   \
    } while (0)

/* Clicks Cancel of the machine version dialog once it shows; gives up after 20 s. Asked
   with force 1, the dialog is captioned "Select Machine's Version". */
static DWORD WINAPI CancelMachineVersion(LPVOID unused)
{
    int waited;
    (void)unused;
    for (waited = 0; waited < 20000; waited += 50) {
        HWND dialog = FindWindowA("#32770", "Select Machine's Version");
        HWND cancel = dialog ? GetDlgItem(dialog, IDCANCEL) : NULL;
        if (cancel && IsWindowVisible(dialog)) {
            PostMessageA(cancel, BM_CLICK, 0, 0);
            return 0;
        }
        Sleep(50);
    }
    Say("FAILED: the machine version dialog did not open within 20 s\n");
    ExitProcess(3);
    return 1;
}

static int Run(void)
{
    int version, result;
    UINT status;
    HANDLE watcher;
#ifdef VEMB_BIND_AT_RUN_TIME
    static const char *const names[] = {"GetVersionCode", "CheckVersionDlg", "GetTransferStatus",
                                        "TransferVBDFiles", "DeleteData", "SetSerialCommParamDlg",
                                        "DirectDownload", "DirectFilesDownload", "UploadData"};
    unsigned i;
    HMODULE module = LoadLibraryA("VembDlg.dll");
    if (!module) {
        Say("FAILED: LoadLibrary(VembDlg.dll): error %lu\n", GetLastError());
        return 1;
    }
    for (i = 0; i < sizeof names / sizeof names[0]; i++)
        EXPECT(GetProcAddress(module, names[i]) != NULL, "VembDlg.dll does not export %s\n", names[i]);
    GetVersionCode = (GetVersionCodeFn)(void (*)(void))GetProcAddress(module, "GetVersionCode");
    GetTransferStatus = (GetTransferStatusFn)(void (*)(void))GetProcAddress(module, "GetTransferStatus");
    CheckVersionDlg = (CheckVersionDlgFn)(void (*)(void))GetProcAddress(module, "CheckVersionDlg");
    if (!GetVersionCode || !GetTransferStatus || !CheckVersionDlg)
        return 1;
#endif

    CHECKED_CALL(version, GetVersionCode());
    Say("GetVersionCode: %d\n", version);
    EXPECT(version == -1 || version >= 1, "GetVersionCode returned %d\n", version);

    CHECKED_CALL(status, GetTransferStatus());
    Say("GetTransferStatus: %u\n", status);
    EXPECT(status == 0, "GetTransferStatus returned %u with no transfer running\n", status);

    watcher = CreateThread(NULL, 0, CancelMachineVersion, NULL, 0, NULL);
    CHECKED_CALL(result, CheckVersionDlg(NULL, 1));
    Say("CheckVersionDlg, cancelled: %d\n", result);
    EXPECT(result == 2, "CheckVersionDlg returned %d after Cancel, not 2\n", result);
    EXPECT(WaitForSingleObject(watcher, 5000) == WAIT_OBJECT_0, "the watcher thread did not end\n");
    CloseHandle(watcher);

#ifdef VEMB_BIND_AT_RUN_TIME
    EXPECT(FreeLibrary(module), "FreeLibrary(VembDlg.dll) failed\n");
#endif
    Say("%d failures\n", failures);
    return failures ? 1 : 0;
}

#ifdef _MSC_VER
void __cdecl HostEntry(void)
{
    ExitProcess(Run());
}
#else
int main(void)
{
    return Run();
}
#endif
