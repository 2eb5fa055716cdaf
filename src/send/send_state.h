#pragma once
// Module-wide state of a send: what the export (or the design picker) sets before the Send
// Designs dialog opens, what the dialog hands its worker, the send heap and the cancel
// event slot. All zero at load.
#include <windows.h>

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
extern int g_versionQuestion;                          // 1: ask the machine version at the first large design
// Kept between exports: the dialog starts from it and Start stores the choice; the design
// picker sets it too.
extern int g_sendLocation;

// Built by the list send's preparation in the send heap; read by the worker.
extern DesignEntry *g_sendEntries;
extern int g_sendEntryCount;

extern volatile int g_longNameSkip;  // designs skipped for the Open/Save folder name limit
extern volatile int g_listCut;       // the list was cut to the room left on the machine
extern int g_storedDesignCount;      // designs already stored at the send location
extern HWND g_sendProgressTarget;    // the Send Designs dialog, for SendProgressCallback
extern HWND g_sendAnimation;         // the animation control while it may play

// ---- the send heap ----
// Created by the list send's preparation (1024 bytes, growable), destroyed when the list
// send ends: by the worker after its sequence, or by the preparation when it ends the send.
bool CreateSendHeap();
// Zero-filled memory from the send heap; null without a heap or memory.
void *SendHeapAlloc(size_t size);
// Destroys the heap if there is one and forgets the entry list in it. Safe to repeat.
void ReleaseSendHeap();

// ---- the cancel event slot ----
// The slot is shared by the host's thread and the workers: the Send Designs dialog's
// preparation fills it, the Check Files dialog puts its own event in while the send is
// checking, the dialogs set the event when they are closed, the Check Files worker resets
// it, and the send worker hands the event it finds to the link library and closes it at
// its end. A worker that is still running when the host's thread sets the event, or a
// dialog closed just as the worker ends, must never act on a closed (or reused) handle:
// every step below holds one lock for its whole length, so that setting, resetting,
// replacing and closing are never interleaved. Workers read the handle once at their
// start; it stays valid for them because only the send worker closes it, and only at its
// own end, and the event the Check Files dialog replaces belongs to nobody else by then
// (no send worker has started, and the previous Check Files worker has ended).
//
// Creates a manual-reset event, not set, and puts it into the slot. The event held before
// (made by the send's preparation, unused) is closed. False, slot unchanged, when no event
// can be created.
bool PutNewCancelEvent();
HANDLE CancelEventInSlot();
void SetCancelEventInSlot();
void ResetCancelEventInSlot();
// Closes the event held, if any, and empties the slot.
void CloseCancelEventInSlot();

// After a send export's frame: closes an event and releases a heap that a send left
// behind (none does when it ends normally). The design picker calls it after its frame too.
void DiscardSendLeftovers();
