#include "send/send_state.h"

int g_sendMode;
const char *g_sendListPath;
char g_directDesignName[DESIGN_NAME_SIZE];
DWORD g_designData, g_designSize;
int g_versionQuestion;
int g_sendLocation;
DesignEntry *g_sendEntries;
int g_sendEntryCount;
std::atomic<int> g_longNameSkip;
std::atomic<int> g_listCut;
int g_storedDesignCount;
HWND g_sendProgressTarget;
HWND g_sendAnimation;

int SendLocationCode(bool builtin, bool openSave)
{
    if (builtin)
        return openSave ? SEND_TO_BUILTIN_OPEN_SAVE : SEND_TO_BUILTIN;
    return openSave ? SEND_TO_ATA_CARD_OPEN_SAVE : SEND_TO_ATA_CARD;
}

CancelEventSlot g_sendCancel;

static HANDLE g_sendHeap;

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

void DiscardSendLeftovers()
{
    g_sendCancel.Discard();
    ReleaseSendHeap();
}
