#pragma once
// Module-wide state of a send: what the export (or the design picker) sets before the Send
// Designs dialog opens, what the dialog hands its worker, the send heap and the cancel
// event slot. All zero at load.
#include <windows.h>

#include <atomic>

#include "frame/sync.h"
#include "link/design_entry.h"
#include "send/design_name.h"

enum { SEND_MODE_LIST = 0, SEND_MODE_DIRECT = 1 };

// Location codes a send may go to.
enum {
    SEND_TO_BUILTIN = 1,
    SEND_TO_ATA_CARD = 2,
    SEND_TO_BUILTIN_OPEN_SAVE = 5,
    SEND_TO_ATA_CARD_OPEN_SAVE = 6,
};

// The location code of the two location choices: Built-in (else ATA PC Card), and the
// Open/Save folder check box.
int SendLocationCode(bool builtin, bool openSave);

extern int g_sendMode;                                 // SEND_MODE_LIST or SEND_MODE_DIRECT
extern const char *g_sendListPath;                     // list mode: the send list file
extern char g_directDesignName[DESIGN_NAME_SIZE];      // direct mode: the name to store under
extern DWORD g_designData, g_designSize;               // direct mode: the host's values, unchanged
// 1: ask the machine version at the first large design. Kept between exports: only
// DirectFilesDownload sets it, only asking clears it.
extern int g_versionQuestion;
// Kept between exports: the dialog starts from it and Start stores the choice; the design
// picker sets it too.
extern int g_sendLocation;

// Built by the list send's preparation in the send heap; read by the worker.
extern DesignEntry *g_sendEntries;
extern int g_sendEntryCount;

extern std::atomic<int> g_longNameSkip;  // designs skipped for the Open/Save folder name limit
// The list was cut to the room left on the machine. Kept between exports: set or cleared
// only by DirectFilesDownload (cleared), the preparations and a failed sequence (cleared).
extern std::atomic<int> g_listCut;
extern int g_storedDesignCount;          // designs already stored at the send location
extern HWND g_sendProgressTarget;        // the Send Designs dialog, for SendProgressCallback
extern HWND g_sendAnimation;             // the animation control while it may play

// ---- the send heap ----
// Created by the list send's preparation (1024 bytes, growable), destroyed when the list
// send ends: by the worker after its sequence, or by the preparation when it ends the send.
bool CreateSendHeap();
// Zero-filled memory from the send heap; null without a heap or memory.
void *SendHeapAlloc(size_t size);
// Destroys the heap if there is one and forgets the entry list in it. Safe to repeat.
void ReleaseSendHeap();

// ---- the cancel event slot ----
// The send's slot: the Send Designs dialog's preparation puts an event in, the Check Files
// dialog puts its own in while the send is checking (the preparation's event, which no
// worker took, is closed then), the dialogs set it when they are closed, the Check Files
// worker resets and borrows it, and the send worker takes it and closes it at its end.
// A preparation that ends the send before its worker discards it.
extern CancelEventSlot g_sendCancel;

// After a send export's frame: closes an event and releases a heap that a send left
// behind (none does when it ends normally). The design picker calls it after its frame too.
void DiscardSendLeftovers();
