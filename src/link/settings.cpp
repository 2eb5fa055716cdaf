#include "link/settings.h"

#include <string.h>

const char *const g_comPortNames[] = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", ""};

// Opens the key with full access, creating it when it does not exist.
static HKEY OpenSettingsKey(const char *path)
{
    HKEY key = NULL;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return NULL;
    return key;
}

static bool WriteSettingRaw(const char *path, const char *valueName, DWORD type, const BYTE *data,
                            DWORD size)
{
    HKEY key = OpenSettingsKey(path);
    if (!key)
        return false;
    bool ok = RegSetValueExA(key, valueName, 0, type, data, size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

static bool WriteSettingBoth(const char *valueName, DWORD type, const BYTE *data, DWORD size)
{
    // A failure on the Brodera key is not reported.
    WriteSettingRaw(BRODERA_KEY_PATH, valueName, type, data, size);
    return WriteSettingRaw(TAMBORA_KEY_PATH, valueName, type, data, size);
}

// Reads the value's data straight into the buffer; data longer than `size` fails. The
// number of bytes read goes to `length`.
static bool ReadSettingRaw(const char *valueName, BYTE *buffer, DWORD size, DWORD *length)
{
    HKEY key = OpenSettingsKey(TAMBORA_KEY_PATH);
    if (!key)
        return false;
    *length = size;
    bool ok = RegQueryValueExA(key, valueName, NULL, NULL, buffer, length) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok && *length <= size;
}

// A 4-byte little-endian number; false when the key cannot be opened, the value is missing
// or its data is longer than 4 bytes (type not examined).
static bool ReadSettingNumber(const char *valueName, DWORD *value)
{
    BYTE bytes[4] = {};
    DWORD length;
    if (!ReadSettingRaw(valueName, bytes, sizeof bytes, &length))
        return false;
    *value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (DWORD)bytes[3] << 24;
    return true;
}

static bool WriteSettingNumber(const char *valueName, DWORD value)
{
    return WriteSettingBoth(valueName, REG_DWORD, (const BYTE *)&value, sizeof value);
}

// A text of at most `size` bytes with its terminator.
static bool ReadSettingText(const char *valueName, char *buffer, DWORD size)
{
    // The registry does not promise a terminator: data that fills the buffer without one
    // is longer than the buffer allows.
    DWORD length;
    if (size == 0 || !ReadSettingRaw(valueName, (BYTE *)buffer, size, &length)) {
        if (size)
            buffer[0] = '\0';
        return false;
    }
    if (length < size)
        buffer[length] = '\0';
    else if (buffer[size - 1] != '\0') {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

static bool WriteSettingText(const char *valueName, const char *text)
{
    return WriteSettingBoth(valueName, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
}

const char *ReadComPort()
{
    DWORD port;
    if (!ReadSettingNumber(VALUE_COM_PORT, &port) || port < 1 || port > COM_PORT_COUNT)
        return NULL;
    return g_comPortNames[port - 1];
}

int ReadBaudRateCode()
{
    DWORD code;
    if (!ReadSettingNumber(VALUE_BAUD_RATE, &code) || code < 1 || code > 5)
        return -1;
    return (int)code;
}

BOOL WriteComPort(int portNumber)
{
    return WriteSettingNumber(VALUE_COM_PORT, (DWORD)portNumber);
}

BOOL WriteBaudRateCode(int code)
{
    return WriteSettingNumber(VALUE_BAUD_RATE, (DWORD)code);
}

static int BaudRateFromCode(int code)
{
    switch (code) {
    case 1: return 4800;
    case 2: return 9600;
    case 3: return 19200;
    case 5: return 57600;
    default: return 38400;
    }
}

const char *GetComPortName()
{
    const char *name = ReadComPort();
    return name ? name : g_comPortNames[0];
}

int GetBaudRate()
{
    return BaudRateFromCode(ReadBaudRateCode());
}

BOOL ReadReceiveFolder(char *buffer)
{
    return ReadSettingText(VALUE_RECEIVE_FOLDER, buffer, MAX_PATH);
}

BOOL WriteReceiveFolder(const char *folder)
{
    return WriteSettingText(VALUE_RECEIVE_FOLDER, folder);
}

int ReadMachineVersion()
{
    DWORD value;
    if (!ReadSettingNumber(VALUE_MACHINE_VERSION, &value) || (LONG)value <= 0)
        return -1;
    return (int)value;
}

BOOL WriteMachineVersion(int version)
{
    return WriteSettingNumber(VALUE_MACHINE_VERSION, (DWORD)version);
}
