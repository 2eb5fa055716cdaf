// Placeholder of the machine model; the simulator replaces it.
#include "machine.h"

namespace linksim {
std::string MachineFolder() { return ""; }
bool IsLocation(int location) { return location == 1 || location == 2 || location == 4 || location == 5 || location == 6; }
std::string LocationFolder(int) { return ""; }
std::vector<StoredDesign> ListDesigns(int) { return {}; }
int StoreDesign(int, const std::string &, const void *, size_t) { return SIM_ERR_FILE; }
int ReadDesign(int, int, std::vector<char> *) { return SIM_ERR_FILE; }
int DeleteDesign(int, int) { return SIM_ERR_FILE; }
void ResetMachine() {}
std::vector<char> DirectoryInformation(int) { return {0, 0}; }
Faults LoadFaults() { return Faults(); }
void WriteFaults(const std::string &) {}
bool ForcedFailure(const char *, int *, DWORD *) { return false; }
bool TakeBusyAnswer() { return false; }
void LogLine(const std::string &) {}
std::string Quote(const std::string &text) { return "\"" + text + "\""; }
std::vector<std::string> ReadCallLog() { return {}; }
}  // namespace linksim
