// The sequences and the message operation of the simulator's link libraries.
#include "link_ops.h"

#include <stdio.h>
#include <string.h>

#include <functional>

#include "machine_files.h"

namespace linksim {

// ---- the call ----

Call::Call(const char *operation) : operation_(operation)
{
    lines_.push_back(operation_);
}

Call &Call::Num(const char *key, long long value)
{
    lines_[0] += " " + std::string(key) + "=" + std::to_string(value);
    return *this;
}

Call &Call::Text(const char *key, const char *value)
{
    lines_[0] += " " + std::string(key) + "=" + Quote(value ? value : "");
    return *this;
}

Call &Call::Flag(const char *key, bool value)
{
    lines_[0] += " " + std::string(key) + (value ? "=yes" : "=no");
    return *this;
}

// The name field holds at most 260 characters; one without its terminator is cut there.
static std::string NameField(const DesignEntry &entry)
{
    return std::string(entry.name, strnlen(entry.name, VEMB_NAME_FIELD - 1));
}

void Call::Entries(const DesignEntry *list, int count)
{
    for (int i = 0; list && i < count; ++i)
        lines_.push_back("  entry name=" + Quote(NameField(list[i])) + " location=" +
                         std::to_string(list[i].location) + " number=" + std::to_string(list[i].number));
}

void Call::Event(const std::string &event)
{
    lines_.push_back("  " + event);
}

bool Call::Forced(int *code, DWORD *detail)
{
    DWORD forcedDetail = 0;
    if (!ForcedFailure(operation_.c_str(), code, &forcedDetail))
        return false;
    if (detail)
        *detail = forcedDetail;
    Event("forced");
    return true;
}

int Call::ForcedOr(int normal)
{
    int code;
    return Forced(&code, NULL) ? code : normal;
}

int Call::Finish(int code, const DWORD *detail)
{
    if (detail && *detail)
        Event("detail " + std::to_string(*detail));
    Event("-> " + std::to_string(code));
    LogLines(lines_);
    return code;
}

// ---- the link state ----

LinkState::LinkState()
{
    InitializeCriticalSection(&lock_);
}

LinkState::~LinkState()
{
    DeleteCriticalSection(&lock_);
}

void LinkState::Set(bool open, HANDLE cancel)
{
    EnterCriticalSection(&lock_);
    open_ = open;
    cancel_ = cancel;
    LeaveCriticalSection(&lock_);
}

bool LinkState::IsOpen()
{
    EnterCriticalSection(&lock_);
    bool open = open_;
    LeaveCriticalSection(&lock_);
    return open;
}

HANDLE LinkState::Cancel()
{
    EnterCriticalSection(&lock_);
    HANDLE cancel = cancel_;
    LeaveCriticalSection(&lock_);
    return cancel;
}

// ---- sequences ----

namespace {

// Polls the cancel event (none: never cancelled); logs it when set.
bool Cancelled(Call &call, HANDLE cancel)
{
    if (!cancel || WaitForSingleObject(cancel, 0) != WAIT_OBJECT_0)
        return false;
    call.Event("cancelled");
    return true;
}

// Steps of one sequence: progress callback, pause and cancel polling.
class Progress {
public:
    Progress(Call &call, const Link &link, VembProgressCallback callback, DWORD designs)
        : call_(call), cancel_(link.cancel), callback_(callback), designs_(designs), total_(designs * PROGRESS_STEPS),
          faults_(LoadFaults()), delayMs_(StepDelayMs(faults_, call.Operation()))
    {
    }

    bool Cancelled() { return linksim::Cancelled(call_, cancel_); }

    void Step(DWORD index)
    {
        ++done_;
        if (callback_) {
            bool reported = faults_.reportedTotal != 0;
            DWORD done = reported ? faults_.reportedDone : done_, total = reported ? faults_.reportedTotal : total_;
            call_.Event("progress " + std::to_string(index) + "/" + std::to_string(designs_) + " " +
                        std::to_string(done) + "/" + std::to_string(total));
            callback_(index, designs_, done, total);
        }
        if (delayMs_ > 0) {
            // Waiting on the event lets a cancel end the pause early; the poll before the
            // next step decides, so the outcome does not depend on the timing.
            if (cancel_)
                WaitForSingleObject(cancel_, (DWORD)delayMs_);
            else
                Sleep((DWORD)delayMs_);
        }
    }

private:
    Call &call_;
    HANDLE cancel_;
    VembProgressCallback callback_;
    DWORD designs_;
    DWORD total_;
    DWORD done_ = 0;
    Faults faults_;
    int delayMs_;
};

void SetDetail(DWORD *detail, DWORD value)
{
    if (detail)
        *detail = value;
}

int Fail(Call &call, int code, DWORD value, DWORD *detail)
{
    SetDetail(detail, value);
    return call.Finish(code, detail);
}

// Refuses a new name at a full location before any byte travels; a stored name is
// replaced in place and needs no room.
int CheckRoom(int location, const std::string &name)
{
    if (!IsLocation(location))
        return SIM_ERR_LOCATION;
    std::vector<StoredDesign> designs = ListDesigns(location);
    for (const StoredDesign &d : designs)
        if (d.name == name)
            return SIM_OK;
    return designs.size() >= LOCATION_CAPACITY ? SIM_ERR_FULL : SIM_OK;
}

// The opening every sequence shares: detail cleared, forced failure, link state.
bool Opening(Call &call, const Link &link, DWORD *detail, int *code)
{
    SetDetail(detail, 0);
    if (call.Forced(code, detail))
        return false;
    *code = link.closedCode;
    return *code == SIM_OK;
}

}  // namespace

// Logs a list sequence's arguments and sees whether it can start; false with the call's
// result when it cannot.
static bool StartList(Call &call, const Link &link, const DesignEntry *list, int count,
                      VembProgressCallback callback, DWORD *detail, int *result)
{
    call.Num("count", count).Flag("progress", callback != NULL);
    call.Entries(list, count);
    int code;
    if (!Opening(call, link, detail, &code))
        *result = call.Finish(code, detail);
    else if (count > 0 && !list)
        *result = Fail(call, SIM_ERR_FILE, 1, detail);
    else
        return true;
    return false;
}

int RunDownload(Call &call, const Link &link, DesignEntry *list, int count, DWORD *detail,
                VembProgressCallback callback, int listCutCode)
{
    int code;
    if (!StartList(call, link, list, count, callback, detail, &code))
        return code;
    int designs = 0;
    while (designs < count && list[designs].name[0])
        ++designs;
    Progress progress(call, link, callback, designs);
    for (int i = 0; i < designs; ++i) {
        std::string path = NameField(list[i]);
        std::string name = path.substr(path.find_last_of('\\') + 1);
        std::vector<char> bytes;
        for (int step = 1; step <= PROGRESS_STEPS; ++step) {
            if (progress.Cancelled())
                return Fail(call, SIM_ERR_CANCELLED, i + 1, detail);
            if (step == 1) {
                code = CheckRoom(list[i].location, name);
                if (code == SIM_OK && !ReadWholeFile(path, &bytes))
                    code = SIM_ERR_FILE;
            }
            if (step == PROGRESS_STEPS)
                code = StoreDesign(list[i].location, name, bytes.data(), bytes.size());
            if (code != SIM_OK)
                return Fail(call, code, i + 1, detail);
            progress.Step(i);
        }
    }
    return call.Finish(designs < count ? listCutCode : SIM_OK, detail);
}

// A sequence that moves one design: `first` runs at its first step, `last` at its last;
// a code other than SIM_OK from either ends it.
static int RunOneDesign(Call &call, const Link &link, VembProgressCallback callback, DWORD *detail,
                        const std::function<int()> &first, const std::function<int()> &last)
{
    int code;
    if (!Opening(call, link, detail, &code))
        return call.Finish(code, detail);
    Progress progress(call, link, callback, 1);
    for (int step = 1; step <= PROGRESS_STEPS; ++step) {
        if (progress.Cancelled())
            return call.Finish(SIM_ERR_CANCELLED, detail);
        code = step == 1 ? first() : step == PROGRESS_STEPS ? last() : SIM_OK;
        if (code != SIM_OK)
            return call.Finish(code, detail);
        progress.Step(0);
    }
    return call.Finish(SIM_OK, detail);
}

int RunDirectDownload(Call &call, const Link &link, DWORD data, DWORD size, const char *name, int location,
                      DWORD *detail, VembProgressCallback callback)
{
    call.Num("size", size).Text("name", name).Num("location", location).Flag("progress", callback != NULL);
    std::string designName = name ? name : "";
    std::vector<char> bytes;
    return RunOneDesign(
        call, link, callback, detail,
        [&] {
            int code = CheckRoom(location, designName);
            if (code == SIM_OK && size > 0 && !data)
                return (int)SIM_ERR_FILE;
            if (code == SIM_OK && size > 0)
                bytes.assign((const char *)(ULONG_PTR)data, (const char *)(ULONG_PTR)data + size);
            return code;
        },
        [&] { return StoreDesign(location, designName, bytes.data(), bytes.size()); });
}

int RunDirUpload(Call &call, const Link &link, const char *path, int location, DWORD *detail,
                 VembProgressCallback callback)
{
    call.Text("path", path).Num("location", location).Flag("progress", callback != NULL);
    std::vector<char> info;
    return RunOneDesign(
        call, link, callback, detail,
        [&] {
            info = DirectoryInformation(location);
            return IsLocation(location) ? SIM_OK : SIM_ERR_LOCATION;
        },
        [&] { return path && WriteWholeFile(path, info.data(), info.size()) ? SIM_OK : SIM_ERR_FILE; });
}

int RunUpload(Call &call, const Link &link, DesignEntry *list, int count, DWORD *detail,
              VembProgressCallback callback)
{
    int code;
    if (!StartList(call, link, list, count, callback, detail, &code))
        return code;
    int designs = count > 0 ? count : 0;
    Progress progress(call, link, callback, designs);
    for (int i = 0; i < designs; ++i) {
        std::vector<char> bytes;
        for (int step = 1; step <= PROGRESS_STEPS; ++step) {
            if (progress.Cancelled())
                return Fail(call, SIM_ERR_CANCELLED, i + 1, detail);
            if (step == 1)
                code = ReadDesign(list[i].location, list[i].number, &bytes);
            if (step == PROGRESS_STEPS && !WriteWholeFile(NameField(list[i]), bytes.data(), bytes.size()))
                code = SIM_ERR_FILE;
            if (code != SIM_OK)
                return Fail(call, code, i + 1, detail);
            progress.Step(i);
        }
    }
    return call.Finish(SIM_OK, detail);
}

int RunDelete(Call &call, const Link &link, int location, int number, DWORD *detail, VembBusyCallback busy)
{
    call.Num("location", location).Num("number", number).Flag("busy", busy != NULL);
    int code;
    if (!Opening(call, link, detail, &code))
        return call.Finish(code, detail);
    if (!IsLocation(location))
        return call.Finish(SIM_ERR_LOCATION, detail);
    for (;;) {
        if (Cancelled(call, link.cancel))
            return call.Finish(SIM_ERR_CANCELLED, detail);
        if (!TakeBusyAnswer())
            break;
        int answer = busy ? busy() : 0;
        call.Event("busy -> " + std::to_string(answer));
        if (answer == 0)
            return call.Finish(SIM_ERR_GAVE_UP_BUSY, detail);
    }
    return call.Finish(DeleteDesign(location, number), detail);
}

// ---- the message operation ----

static const char *Meaning(int code)
{
    switch (code) {
    case SIM_OK: return "The operation succeeded.";
    case SIM_ERR_NOT_CONNECTED: return "No Loomstar machine is connected over USB.";
    case SIM_ERR_PORT: return "The Loomstar machine does not answer on the serial port.";
    case SIM_ERR_CANCELLED: return "The transfer was cancelled.";
    case SIM_ERR_FULL: return "The memory location already holds 100 designs.";
    case SIM_ERR_NO_DESIGN: return "The design was not found on the machine.";
    case SIM_ERR_GAVE_UP_BUSY: return "The machine was busy and the operation was given up.";
    case SIM_ERR_FILE: return "A file on the computer cannot be read or written.";
    case SIM_ERR_LOCATION: return "The machine has no such memory location.";
    case VEMB_USB_LIST_CUT: return "The list was closed early; the designs before the cut were stored.";
    default: return "The machine reported an unknown error.";
    }
}

std::string MessageText(int code, DWORD detail)
{
    char head[80];
    snprintf(head, sizeof head, "Loomstar link error %d (detail %lu).\n", code, (unsigned long)detail);
    return head + std::string(Meaning(code));
}

int RunMessage(Call &call, HWND owner, const char *caption, int code, DWORD detail)
{
    call.Text("caption", caption).Num("code", code).Num("detail", detail);
    int forced;
    if (call.Forced(&forced, NULL))
        return call.Finish(forced);
    if (LoadFaults().messageBox)
        MessageBoxA(owner, MessageText(code, detail).c_str(), caption ? caption : "", MB_ICONHAND);
    return call.Finish(SIM_OK);
}

}  // namespace linksim
