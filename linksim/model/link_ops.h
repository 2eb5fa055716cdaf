#pragma once
// What the two link libraries of the simulator do, shared. Each exported operation logs
// one Call and, for a sequence, runs one Run* below; the libraries differ only in how
// their link is opened (a serial port, a USB cable) and in what a download answers after
// a list closed early (serial 0, USB VEMB_USB_LIST_CUT).
//
// Progress: every design of a sequence takes PROGRESS_STEPS steps; after each step the
// progress callback gets (index of the design, number of designs, done, total) with
// total = number of designs x PROGRESS_STEPS, so done reaches total at the end. The
// number of designs of a download is the count of entries before the list's closing
// entry (a cut list counts only what is sent); the directory upload and a direct
// download move one design. Before each step the cancel event is polled; after it the
// sequence pauses delay= milliseconds (sim.ini; delay.<operation>= for one operation). With
// progress=<done>/<total> every step reports those two values instead.
//
// Error detail: 0 on success; after a failure on an entry of a list, its 1-based
// position; a forced failure writes the detail of its fault.
#include <string>
#include <vector>

#include "machine.h"
#include "vemblink.h"

namespace linksim {

enum { PROGRESS_STEPS = 4 };

// One call of a link operation, logged as one block when it finishes.
class Call {
public:
    explicit Call(const char *operation);
    Call &Num(const char *key, long long value);
    Call &Text(const char *key, const char *value);  // null logs as ""
    Call &Flag(const char *key, bool value);         // yes | no
    // One "entry" line per entry up to `count`.
    void Entries(const DesignEntry *list, int count);
    void Event(const std::string &event);
    // A fault of sim.ini for this operation: true with its code; writes its detail when
    // `detail` is not null.
    bool Forced(int *code, DWORD *detail);
    // The code of a fault of sim.ini for this operation, else `normal`.
    int ForcedOr(int normal);
    // Logs the call with its result and returns `code`.
    int Finish(int code, const DWORD *detail = nullptr);
    const std::string &Operation() const { return operation_; }

private:
    std::string operation_;
    std::vector<std::string> lines_;
};

// The link as a sequence finds it when it starts.
struct Link {
    int closedCode;  // 0 when the link is up, else the code every sequence answers
    HANDLE cancel;   // the event given at initialisation, or null
};

// What a library keeps between its calls: whether its link is open and the cancel event
// given at initialisation. Guarded, since the host's thread may initialise or terminate
// while a worker runs a sequence.
class LinkState {
public:
    LinkState();
    ~LinkState();
    void Set(bool open, HANDLE cancel);
    bool IsOpen();
    HANDLE Cancel();

private:
    CRITICAL_SECTION lock_;
    bool open_ = false;
    HANDLE cancel_ = NULL;
};

// Each Run* logs the sequence's own arguments (after what the library logged before it,
// the serial speed) and runs it.
//
// Stores each entry's file (its name is the full PC path) under the text after the last
// backslash at the entry's location, up to an entry whose name is empty; answers
// `listCutCode` when such an entry came before `count`.
int RunDownload(Call &call, const Link &link, DesignEntry *list, int count, DWORD *detail,
                VembProgressCallback progress, int listCutCode);
// Stores `size` bytes at address `data` under `name`.
int RunDirectDownload(Call &call, const Link &link, DWORD data, DWORD size, const char *name, int location,
                      DWORD *detail, VembProgressCallback progress);
// Writes the directory information of `location` to `path`.
int RunDirUpload(Call &call, const Link &link, const char *path, int location, DWORD *detail,
                 VembProgressCallback progress);
// Writes design `number` at `location` of each entry to the path in the entry's name.
int RunUpload(Call &call, const Link &link, DesignEntry *list, int count, DWORD *detail,
              VembProgressCallback progress);
// Deletes one design; while the machine is busy (busy= in sim.ini) asks `busy`: 1 tries
// again, 0 (or no callback) gives up with SIM_ERR_GAVE_UP_BUSY.
int RunDelete(Call &call, const Link &link, int location, int number, DWORD *detail, VembBusyCallback busy);
// The message operation: a box owned by `owner` with the link caption, or only the log
// line with message=log.
int RunMessage(Call &call, HWND owner, const char *caption, int code, DWORD detail);

// "Loomstar link error <code> (detail <detail>).\n<meaning>"
std::string MessageText(int code, DWORD detail);

}  // namespace linksim
