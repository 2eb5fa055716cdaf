#pragma once
// The Loomstar machine model shared by the simulator's two link libraries and by the
// tests that seed and inspect it. All state lives on disk, in the machine folder:
//
//   <machine>/sim.ini        fault file (optional; see Faults)
//   <machine>/sim.fired      what the faults have used up: "once" faults that fired and
//                            the busy answers given so far
//   <machine>/calls.log      call log, one call per block of lines (see CallLog)
//   <machine>/loc<N>/        one folder per location code 1, 2, 4, 5, 6
//   <machine>/loc<N>/index.txt   the stored designs in order, one "<file>\t<name>" per line;
//                            in the name a backslash, tab, CR or LF is written \\, \t, \r, \n
//   <machine>/loc<N>/<file>  a design's bytes, under a file name of the model's making
//                            ("design001.bin" ...), so that any machine name can be stored
//
// The machine folder is %LOOMSTAR_MACHINE% when that is set, else "loomstar-machine"
// beside the executable of the process; it and its location folders are created when
// first written. Design numbers are 1-based positions in a location's index: deleting
// design 3 renumbers the designs behind it.
//
// Every read-modify-write of the folder happens under one named mutex per machine folder,
// so the two link libraries, a test program and another process never see half a change.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace linksim {

enum { LOCATION_CAPACITY = 100 };

// Codes the simulator answers (0 is success). The USB download of a list closed early
// answers VEMB_USB_LIST_CUT (-13) after storing what precedes the empty entry.
enum SimCode {
    SIM_OK = 0,
    SIM_ERR_NOT_CONNECTED = 1,  // USB: no machine on the cable
    SIM_ERR_PORT = 2,           // serial: nothing answers on that port / port not open
    SIM_ERR_CANCELLED = 3,      // the cancel event was set
    SIM_ERR_FULL = 10,          // the location already holds 100 designs
    SIM_ERR_NO_DESIGN = 11,     // no design with that number at that location
    SIM_ERR_GAVE_UP_BUSY = 12,  // busy, and the busy callback answered 0
    SIM_ERR_FILE = 13,          // a file on the PC side cannot be read or written
    SIM_ERR_LOCATION = 14,      // not a location code (1, 2, 4, 5, 6)
};

struct StoredDesign {
    std::string name;  // the machine's name
    std::string file;  // full path of its bytes in the machine folder
};

std::string MachineFolder();
bool IsLocation(int location);
std::string LocationFolder(int location);

// The designs of a location in stored order (design number = index + 1).
std::vector<StoredDesign> ListDesigns(int location);
// Stores bytes under a name at the end of a location; a design of the same name is
// replaced in place (keeps its number). SIM_ERR_FULL when 100 designs are stored,
// SIM_ERR_LOCATION for a code that names no location, SIM_ERR_FILE when the machine
// folder cannot be written.
int StoreDesign(int location, const std::string &name, const void *data, size_t size);
// SIM_ERR_NO_DESIGN when `number` is not 1 .. the count of stored designs.
int ReadDesign(int location, int number, std::vector<char> *bytes);
int DeleteDesign(int location, int number);
// Removes everything: designs, log, faults. For tests.
void ResetMachine();

// The directory information file: 2-byte big-endian count, then per design one length
// byte and the name (names longer than 255 bytes are cut to 255).
std::vector<char> DirectoryInformation(int location);

// ---- faults (sim.ini, "key=value" lines, '#' comments, keys case-insensitive) ----
//   usb=connected | disconnected        USB_Initialize answers 0 or SIM_ERR_NOT_CONNECTED
//                                       (default connected); USB_EventProc 0 or -1; the USB
//                                       sequences answer SIM_ERR_NOT_CONNECTED when
//                                       disconnected
//   port=COM3                           the port the machine is on (default COM1)
//   fail.<Operation>=<code>[,<detail>][,once]
//                                       that operation (any exported name) answers <code>
//                                       and writes <detail> (default 0) where it has one,
//                                       before doing anything else; always, or only the
//                                       first time
//   busy=<n>                            the first n delete attempts find the machine busy
//                                       (counted across calls in sim.fired)
//   delay=<ms>                          pause per progress step (for cancel tests)
//   message=box | log                   message operations show a box (default) or only log
// Writing a new fault file (WriteFaults) forgets what the old one used up.
struct Faults {
    bool usbConnected = true;
    std::string port = "COM1";
    int busy = 0;
    int delayMs = 0;
    std::map<std::string, int> operationDelayMs;  // delay.<operation>=<ms>, keys lower-cased
    bool messageBox = true;
    // progress=<done>/<total>: what every progress step reports (total 0: the counted values).
    DWORD reportedDone = 0, reportedTotal = 0;
};
Faults LoadFaults();
// The pause after each progress step of `operation`: its own delay.<operation>, else delay=.
int StepDelayMs(const Faults &faults, const std::string &operation);
// The operation's own delay.<operation>, else 0.
int OwnDelayMs(const Faults &faults, const std::string &operation);
void WriteFaults(const std::string &text);  // replaces sim.ini (tests), clears sim.fired
// When a forced failure is set for `operation` (and a "once" one has not fired yet),
// returns true with its code and detail, and marks a "once" fault as fired.
bool ForcedFailure(const char *operation, int *code, DWORD *detail);
// Counts busy answers across calls (kept in sim.fired); true while the machine is busy.
bool TakeBusyAnswer();

// ---- call log ----
// One call is one block of lines, written at once when the call returns (so calls of
// two threads never interleave; blocks stand in the order the calls returned):
//   <Operation> key=value ...                   every argument; text values quoted
//     entry name="..." location=N number=N      one per list entry up to the count
//     progress <index>/<count> <done>/<total>   one per progress callback call
//     busy -> <answer>                          one per busy callback call
//     forced                                    a fault of sim.ini answered
//     cancelled                                 the cancel event stopped the call
//     overlapped                                another call of this USB_Initialize,
//                                               USB_EventProc or USB_Terminate was under way
//     detail <n>                                a non-zero error detail was written
//     -> <code>                                 the result, always last
// Text values are quoted with \" and \\ escaped; control characters are written '?'.
// Argument keys: port speed cancel location count path name size progress busy number
// wparam lparam caption code detail (flags are yes|no). The Wine harness parses this
// (vt::ReadSimCalls): keep the two in step.
void LogLines(const std::vector<std::string> &lines);  // appended as one block
std::string Quote(const std::string &text);
std::vector<std::string> ReadCallLog();

}  // namespace linksim
