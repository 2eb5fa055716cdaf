#pragma once
// The cancel event of a progress dialog. The dialog creates it and sets it from its own
// thread (close box, completion); the worker hands it to the link library and closes it
// as its last act. The dialog's thread may set the event while the worker closes it: one
// lock per slot makes the two take turns, so a set never reaches a closed (or reused)
// handle. A worker takes the event in the slot when it starts and later closes that one:
// a worker that posts its result before it closes (the preview fetch) may still be
// finishing while the next progress dialog has already put a new event in the slot, and
// that new event must stay open.
#include <windows.h>

class CancelEventSlot {
public:
    CancelEventSlot() { InitializeCriticalSection(&lock_); }
    ~CancelEventSlot() { DeleteCriticalSection(&lock_); }
    CancelEventSlot(const CancelEventSlot &) = delete;
    CancelEventSlot &operator=(const CancelEventSlot &) = delete;

    // A new manual-reset, unsignalled, unnamed event in the slot; false when none could be
    // created (the slot is then empty).
    bool Create();
    // The event in the slot now, null when there is none: a worker takes it at its start.
    HANDLE Current();
    // Sets the event in the slot, if there is one.
    void Set();
    // Closes the worker's own event and empties the slot if it still holds that event.
    void Close(HANDLE own);

private:
    CRITICAL_SECTION lock_;
    HANDLE event_ = NULL;
};
