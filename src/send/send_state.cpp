#include "send/send_state.h"

int g_sendMode;
const char *g_sendListPath;
char g_directDesignName[DESIGN_NAME_SIZE];
DWORD g_designData, g_designSize;
int g_versionQuestion;
int g_sendLocation;
DesignEntry *g_sendEntries;
int g_sendEntryCount;
volatile int g_longNameSkip;
volatile int g_listCut;
int g_storedDesignCount;
HWND g_sendProgressTarget;
HWND g_sendAnimation;

int SendLocationCode(bool builtin, bool openSave)
{
    if (builtin)
        return openSave ? SEND_TO_BUILTIN_OPEN_SAVE : SEND_TO_BUILTIN;
    return openSave ? SEND_TO_ATA_CARD_OPEN_SAVE : SEND_TO_ATA_CARD;
}

static HANDLE g_sendHeap;
static HANDLE g_cancelEvent;

bool CreateSendHeap()
{
    ReleaseSendHeap();
    g_sendHeap = HeapCreate(0, 1024, 0);
    return g_sendHeap != NULL;
}

void *SendHeapAlloc(size_t size)
{
    return g_sendHeap ? HeapAlloc(g_sendHeap, HEAP_ZERO_MEMORY, size) : NULL;
}

void ReleaseSendHeap()
{
    if (g_sendHeap) {
        HeapDestroy(g_sendHeap);
        g_sendHeap = NULL;
    }
    g_sendEntries = NULL;
}

namespace {

// The lock of the cancel event slot. Made on first use, which is on the host's thread
// before any worker exists, and deleted when the module unloads.
struct SlotLock {
    CRITICAL_SECTION section;
    SlotLock() { InitializeCriticalSection(&section); }
    ~SlotLock() { DeleteCriticalSection(&section); }
};

CRITICAL_SECTION *SlotSection()
{
    static SlotLock lock;
    return &lock.section;
}

class SlotGuard {
public:
    SlotGuard() { EnterCriticalSection(SlotSection()); }
    ~SlotGuard() { LeaveCriticalSection(SlotSection()); }
    SlotGuard(const SlotGuard &) = delete;
    SlotGuard &operator=(const SlotGuard &) = delete;
};

}  // namespace

bool PutNewCancelEvent()
{
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!event)
        return false;
    SlotGuard guard;
    if (g_cancelEvent)
        CloseHandle(g_cancelEvent);
    g_cancelEvent = event;
    return true;
}

HANDLE CancelEventInSlot()
{
    SlotGuard guard;
    return g_cancelEvent;
}

void SetCancelEventInSlot()
{
    SlotGuard guard;
    if (g_cancelEvent)
        SetEvent(g_cancelEvent);
}

void ResetCancelEventInSlot()
{
    SlotGuard guard;
    if (g_cancelEvent)
        ResetEvent(g_cancelEvent);
}

void CloseCancelEventInSlot()
{
    SlotGuard guard;
    if (g_cancelEvent) {
        CloseHandle(g_cancelEvent);
        g_cancelEvent = NULL;
    }
}

void DiscardSendLeftovers()
{
    CloseCancelEventInSlot();
    ReleaseSendHeap();
}
