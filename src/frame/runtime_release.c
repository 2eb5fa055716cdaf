/* What the C and C++ runtimes linked into a DLL make and never give back, given back when the
 * DLL is freed, so that a host may load and free it as often as it likes. The win32 thread
 * model's runtime makes a semaphore for each of its own mutexes (the exception allocator's
 * emergency pool, the unwinder's object list, the TLS emulation: static objects never
 * destroyed) and TLS slots for its keys; none is released at unload. This file stands in for
 * the DLL's imports of the calls that make and free them (the __imp_ pointers the linker would
 * otherwise take from the system's import libraries), records what is made, forgets what is
 * freed, and releases the rest last thing at unload. Linked into VembDlg.dll and the simulator's
 * link libraries (vemb_unloadable_dll in cmake/Win32.cmake). */
#include <windows.h>

/* A few dozen at most are ever live; beyond the table they are left as they were. */
enum { KEPT = 64 };
static struct {
    volatile LONG busy;
    HANDLE semaphores[KEPT];
    DWORD slots[KEPT];
    BOOL slotUsed[KEPT];
    BOOL released;  /* the table's entries are released; they stay to tell a late free */
} g_kept;

static void Lock(void)
{
    while (InterlockedCompareExchange(&g_kept.busy, 1, 0) != 0)
        Sleep(0);
}

static void Unlock(void)
{
    InterlockedExchange(&g_kept.busy, 0);
}

static FARPROC System(const char *name)
{
    return GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
}

static void Keep(HANDLE semaphore, DWORD slot, BOOL isSlot)
{
    int i;
    Lock();
    for (i = 0; i < KEPT && !g_kept.released; ++i)
        if (isSlot ? !g_kept.slotUsed[i] : !g_kept.semaphores[i]) {
            if (isSlot)
                g_kept.slots[i] = slot, g_kept.slotUsed[i] = TRUE;
            else
                g_kept.semaphores[i] = semaphore;
            break;
        }
    Unlock();
}

/* Forgets what is freed; true when the release has freed it already (a destructor that runs
 * after it must not free a handle value or slot that may name something else by then). */
static BOOL Forget(HANDLE handle, DWORD slot, BOOL isSlot)
{
    BOOL released = FALSE;
    int i;
    Lock();
    for (i = 0; i < KEPT; ++i)
        if (isSlot ? g_kept.slotUsed[i] && g_kept.slots[i] == slot : handle && g_kept.semaphores[i] == handle) {
            if (isSlot)
                g_kept.slotUsed[i] = FALSE;
            else
                g_kept.semaphores[i] = NULL;
            released = g_kept.released;
            break;
        }
    Unlock();
    return released;
}

static HANDLE WINAPI KeptCreateSemaphoreW(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum, LPCWSTR name)
{
    HANDLE semaphore = ((HANDLE(WINAPI *)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR))System("CreateSemaphoreW"))(
        security, initial, maximum, name);
    if (semaphore)
        Keep(semaphore, 0, FALSE);
    return semaphore;
}

static BOOL WINAPI KeptCloseHandle(HANDLE handle)
{
    return Forget(handle, 0, FALSE) || ((BOOL(WINAPI *)(HANDLE))System("CloseHandle"))(handle);
}

static DWORD WINAPI KeptTlsAlloc(void)
{
    DWORD slot = ((DWORD(WINAPI *)(void))System("TlsAlloc"))();
    if (slot != TLS_OUT_OF_INDEXES)
        Keep(NULL, slot, TRUE);
    return slot;
}

static BOOL WINAPI KeptTlsFree(DWORD slot)
{
    return Forget(NULL, slot, TRUE) || ((BOOL(WINAPI *)(DWORD))System("TlsFree"))(slot);
}

/* The import pointers of this DLL's calls, under the names the import libraries give them. */
void *vemb_imp_CreateSemaphoreW __asm__("__imp__CreateSemaphoreW@16") = (void *)KeptCreateSemaphoreW;
void *vemb_imp_CloseHandle __asm__("__imp__CloseHandle@4") = (void *)KeptCloseHandle;
void *vemb_imp_TlsAlloc __asm__("__imp__TlsAlloc@0") = (void *)KeptTlsAlloc;
void *vemb_imp_TlsFree __asm__("__imp__TlsFree@4") = (void *)KeptTlsFree;

/* At unload, the last of the DLL's destructors (priority 101 runs after every other one and
 * after the static objects' own). No thread of the DLL runs then: no worker outlives its export.
 * (Not atexit: in a C++ DLL that can reach the process's table, which runs after the unload.) */
__attribute__((destructor(101))) static void ReleaseRuntime(void)
{
    int i;
    Lock();
    for (i = 0; i < KEPT; ++i) {
        if (g_kept.semaphores[i])
            ((BOOL(WINAPI *)(HANDLE))System("CloseHandle"))(g_kept.semaphores[i]);
        if (g_kept.slotUsed[i])
            ((BOOL(WINAPI *)(DWORD))System("TlsFree"))(g_kept.slots[i]);
    }
    g_kept.released = TRUE;
    Unlock();
}
