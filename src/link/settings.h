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

// ---- the storage rules, the only code that touches the keys ----
// Reads a 4-byte little-endian number from the Tambora key; false when the key cannot be
// opened, the value is missing or its data is longer than 4 bytes (type not examined).
bool ReadSettingNumber(const char *valueName, DWORD *value);
// Writes a REG_DWORD to the Brodera key, then the Tambora key; true when the Tambora
// write succeeded.
bool WriteSettingNumber(const char *valueName, DWORD value);
// Reads a text of at most `size` bytes with its terminator from the Tambora key.
bool ReadSettingText(const char *valueName, char *buffer, DWORD size);
// Writes a REG_SZ (length + terminator) to the Brodera key, then the Tambora key.
bool WriteSettingText(const char *valueName, const char *text);

// ---- COM port and speed ----
// The six port names "COM1".."COM6", closed by an empty entry; never freed.
extern const char *const g_comPortNames[];
enum { COM_PORT_COUNT = 6 };

const char *ReadComPort();              // "COM1".."COM6" for a stored 1..6, else null
int ReadBaudRateCode();                 // stored 1..5, else -1
BOOL WriteComPort(int portNumber);
BOOL WriteBaudRateCode(int code);
int BaudRateFromCode(int code);         // 1 4800, 2 9600, 3 19200, 5 57600, else 38400
const char *GetComPortName();           // ReadComPort or "COM1"; never empty
int GetBaudRate();                      // speed of the stored code, 38400 when none

// ---- receive folder ----
BOOL ReadReceiveFolder(char *buffer);   // buffer of MAX_PATH bytes
BOOL WriteReceiveFolder(const char *folder);

// ---- machine version ----
int ReadMachineVersion();               // stored number when 1 or more, else -1
BOOL WriteMachineVersion(int version);
