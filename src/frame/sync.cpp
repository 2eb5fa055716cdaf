#include "frame/sync.h"

bool CancelEventSlot::Put()
{
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!event)
        return false;
    ScopedLock held(&lock_);
    if (event_ && !taken_)
        CloseHandle(event_);
    event_ = event;
    taken_ = false;
    return true;
}

HANDLE CancelEventSlot::Current()
{
    ScopedLock held(&lock_);
    return event_;
}

HANDLE CancelEventSlot::Take()
{
    ScopedLock held(&lock_);
    if (taken_)
        return NULL;
    taken_ = event_ != NULL;
    return event_;
}

void CancelEventSlot::Set()
{
    ScopedLock held(&lock_);
    if (event_)
        SetEvent(event_);
}

void CancelEventSlot::Reset()
{
    ScopedLock held(&lock_);
    if (event_)
        ResetEvent(event_);
}

void CancelEventSlot::Close(HANDLE own)
{
    ScopedLock held(&lock_);
    if (!own)
        return;
    CloseHandle(own);
    if (event_ == own) {
        event_ = NULL;
        taken_ = false;
    }
}

void CancelEventSlot::Discard()
{
    ScopedLock held(&lock_);
    if (event_ && !taken_) {
        CloseHandle(event_);
        event_ = NULL;
    }
}
