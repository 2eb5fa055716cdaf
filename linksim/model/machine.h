#pragma once
// The Loomstar machine model shared by the simulator's two link libraries and by the
// tests that seed and inspect it. All state lives on disk, in the machine folder:
//
//   <machine>/sim.ini        fault file (optional; see Faults)
//   <machine>/sim.fired      "once" faults that have fired
//   <machine>/calls.log      call log, one call per line (see CallLog)
//   <machine>/loc<N>/        one folder per location code 1, 2, 4, 5, 6
//   <machine>/loc<N>/index.txt   the stored designs in order, one "<file>\t<name>" per line
//   <machine>/loc<N>/<file>  a design's bytes, under a file name of the model's making,
//                            so that any machine name can be stored
//
// The machine folder is %LOOMSTAR_MACHINE% when that is set, else "loomstar-machine"
// beside the executable of the process. Design numbers are 1-based positions in a
// location's index: deleting design 3 renumbers the designs behind it.
#include <windows.h>

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
// replaced in place (keeps its number). SIM_ERR_FULL when 100 designs are stored.
int StoreDesign(int location, const std::string &name, const void *data, size_t size);
int ReadDesign(int location, int number, std::vector<char> *bytes);
int DeleteDesign(int location, int number);
// Removes everything: designs, log, faults. For tests.
void ResetMachine();

// The directory information file: 2-byte big-endian count, then per design one length
// byte and the name (names longer than 255 bytes are cut to 255).
std::vector<char> DirectoryInformation(int location);

// ---- faults (sim.ini, "key=value" lines, '#' comments) ----
//   usb=connected | disconnected        USB_Initialize answers 0 or SIM_ERR_NOT_CONNECTED
//                                       (default connected); USB_EventProc 0 or -1
//   port=COM3                           the port the machine is on (default COM1)
//   fail.<Operation>=<code>[,<detail>][,once]
//                                       that operation answers <code> with <detail>
//                                       (always, or only the first time)
//   busy=<n>                            the first n delete attempts find the machine busy
//   delay=<ms>                          pause per progress step (for cancel tests)
//   message=box | log                   message operations show a box (default) or only log
struct Faults {
    bool usbConnected = true;
    std::string port = "COM1";
    int busy = 0;
    int delayMs = 0;
    bool messageBox = true;
};
Faults LoadFaults();
void WriteFaults(const std::string &text);  // replaces sim.ini (tests)
// When a forced failure is set for `operation` (and a "once" one has not fired yet),
// returns true with its code and detail, and marks a "once" fault as fired.
bool ForcedFailure(const char *operation, int *code, DWORD *detail);
// Counts busy answers across calls (kept in sim.fired); true while the machine is busy.
bool TakeBusyAnswer();

// ---- call log ----
// Appends one line. Lines of one call: the call line "<Operation> key=value ...", then
// lines indented by two blanks for its entries ("  entry name=\"...\" location=N
// number=N"), its events ("  busy -> 1", "  progress 0/3", "  cancelled") and last its
// result ("  -> <code>"). Text values are quoted with \" and \\ escaped.
void LogLine(const std::string &line);
std::string Quote(const std::string &text);
std::vector<std::string> ReadCallLog();

}  // namespace linksim
