#include "machinelist/cancel_event.h"

namespace {
struct Held {
    explicit Held(CRITICAL_SECTION *lock) : lock_(lock) { EnterCriticalSection(lock_); }
    ~Held() { LeaveCriticalSection(lock_); }
    CRITICAL_SECTION *lock_;
};
}  // namespace

bool CancelEventSlot::Create()
{
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, NULL);
    Held held(&lock_);
    event_ = event;
    return event != NULL;
}

HANDLE CancelEventSlot::Current()
{
    Held held(&lock_);
    return event_;
}

void CancelEventSlot::Set()
{
    Held held(&lock_);
    if (event_)
        SetEvent(event_);
}

void CancelEventSlot::Close(HANDLE own)
{
    Held held(&lock_);
    if (!own)
        return;
    CloseHandle(own);
    if (event_ == own)
        event_ = NULL;
}
