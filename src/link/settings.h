#pragma once
// The module's persistent settings in the current user's registry. Two keys shared with
// the host applications: the Tambora key is the only one read; every write goes to the
// Brodera key first and then to the Tambora key, and reports the Tambora write. Every
// access opens (or creates) its key anew with full access; nothing is cached.
#include <windows.h>

#define TAMBORA_KEY_PATH "Software\\Norvel\\Tambora\\Rs-232c"
#define BRODERA_KEY_PATH "Software\\Norvel\\Brodera\\Rs-232c"

// Value names. "Show Hide" belongs to the host applications; nothing here uses it.
#define VALUE_COM_PORT "COM Port"
#define VALUE_BAUD_RATE "Baud Rate"
#define VALUE_RECEIVE_FOLDER "RcvPath"
#define VALUE_MACHINE_VERSION "Protocol Ver"

// ---- COM port and speed ----
// The six port names "COM1".."COM6", closed by an empty entry; never freed.
extern const char *const g_comPortNames[];
enum { COM_PORT_COUNT = 6 };

const char *ReadComPort();              // "COM1".."COM6" for a stored 1..6, else null
int ReadBaudRateCode();                 // stored 1..5, else -1
BOOL WriteComPort(int portNumber);
BOOL WriteBaudRateCode(int code);
const char *GetComPortName();           // ReadComPort or "COM1"; never empty
int GetBaudRate();                      // stored code 1 4800, 2 9600, 3 19200, 5 57600, else 38400

// ---- receive folder ----
BOOL ReadReceiveFolder(char *buffer);   // buffer of MAX_PATH bytes
BOOL WriteReceiveFolder(const char *folder);

// ---- machine version ----
int ReadMachineVersion();               // stored number when 1 or more, else -1
BOOL WriteMachineVersion(int version);
