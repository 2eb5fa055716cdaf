#pragma once
// The module's one way to share state between the host's thread and the workers: a
// critical section with a scoped lock, and the cancel event slot of a progress dialog.
// Flags that one thread writes and another reads are std::atomic.
#include <windows.h>

#include <optional>

// A critical section that lives as long as its owner. A lock that must exist only for a
// while (the USB locks, a side's preview lock) is a std::optional<CriticalSection>:
// emplace() creates it, reset() deletes it.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;

private:
    friend class ScopedLock;
    CRITICAL_SECTION section_;
};

// Holds `lock` from construction to the end of the scope; a null `lock` holds nothing.
class ScopedLock {
public:
    explicit ScopedLock(CriticalSection *lock) : lock_(lock)
    {
        if (lock_)
            EnterCriticalSection(&lock_->section_);
    }
    ~ScopedLock()
    {
        if (lock_)
            LeaveCriticalSection(&lock_->section_);
    }
    ScopedLock(const ScopedLock &) = delete;
    ScopedLock &operator=(const ScopedLock &) = delete;

private:
    CriticalSection *lock_;
};

// The cancel event of a progress dialog, shared by the dialog's thread and its workers.
// Every step holds the slot's lock for its whole length, so that putting, setting,
// resetting and closing never interleave and no step reaches a closed (or reused) handle.
//
// Ownership: the slot owns the event it holds until a worker takes it. Put and Discard
// close an event the slot still owns. A worker that took an event owns it and closes it
// itself with Close, as its last act; the slot lets go of it then if it still holds it.
// So a worker that posts its result before it closes (the preview fetch) may still be
// finishing while the next progress dialog has put a new event in, and each event is
// closed exactly once. A thread that only borrows the event (Current) never closes it.
class CancelEventSlot {
public:
    CancelEventSlot() = default;
    CancelEventSlot(const CancelEventSlot &) = delete;
    CancelEventSlot &operator=(const CancelEventSlot &) = delete;

    // A new manual-reset, unsignalled, unnamed event in the slot; an event the slot still
    // owns is closed. False, slot unchanged, when no event can be created.
    bool Put();
    // The event in the slot now, null when there is none. Borrowed: the caller never closes it.
    HANDLE Current();
    // A worker at its start: the event in the slot, now the caller's to Close. Null when
    // the slot is empty or another worker has taken its event.
    HANDLE Take();
    // Sets or resets the event in the slot, if there is one.
    void Set();
    void Reset();
    // Closes the worker's own (taken) event and empties the slot if it still holds it.
    void Close(HANDLE own);
    // Closes the event the slot still owns (one that no worker took) and empties the slot.
    void Discard();

private:
    CriticalSection lock_;
    HANDLE event_ = NULL;
    bool taken_ = false;
};

// The lock in `lock`, or null while it does not exist: for ScopedLock.
inline CriticalSection *IfCreated(std::optional<CriticalSection> &lock)
{
    return lock ? &*lock : nullptr;
}
