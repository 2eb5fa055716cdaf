#pragma once
// The fixture every Wine test starts from: a fresh machine folder for the simulator, a
// fresh registry state (both Rs-232c keys deleted), no temporary files of the module
// beside the program, the USB link library absent unless the test asks for it, and a
// visible owner window standing in for the host's main window.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "machine.h"
#include "message_box_log.h"
#include "ui_driver.h"

namespace vt {

using uidrive::ClearRecordedMessageBoxes;
using uidrive::MessageBoxCall;
using uidrive::RecordedMessageBoxes;
using uidrive::RecordedMessageBoxStyle;
using uidrive::RecordMessageBoxes;
using Names = std::vector<std::string>;

// The test program's folder: the DLLs sit beside it.
using uidrive::ExeDir;
bool FileExists(const std::string &path);
std::vector<char> ReadFileBytes(const std::string &path);
bool WriteFileBytes(const std::string &path, const void *data, size_t size);
bool WriteFileText(const std::string &path, const std::string &text);

// The registry keys of the module, for setting up and checking values.
enum class Key { Tambora, Brodera };
void DeleteSettingsKeys();
bool KeyExists(Key key);
bool RegValueExists(Key key, const char *name);
bool ReadRegString(Key key, const char *name, std::string *value);
void SetRegDword(Key key, const char *name, DWORD value);
void SetRegBinary(Key key, const char *name, const void *data, DWORD size, DWORD type);
void SetRegString(Key key, const char *name, const std::string &value);
// A DWORD value in the Brodera and the Tambora key, NO_VALUE where absent.
const DWORD NO_VALUE = 0xDEADBEEF;
std::pair<DWORD, DWORD> RegDwordBoth(const char *name);

// Denies setting values on one of the two keys while it lives, so that the module's open
// with full access, and every read and write through it, fails.
class KeyWriteBlock {
public:
    explicit KeyWriteBlock(Key key);
    ~KeyWriteBlock();
    KeyWriteBlock(const KeyWriteBlock &) = delete;
    KeyWriteBlock &operator=(const KeyWriteBlock &) = delete;

private:
    Key key_;
    bool blocked_ = false;
};

// VembDlg.dll, loaded from beside the test program, with its nine exports bound.
struct VembDll {
    HMODULE module = NULL;
    int(WINAPI *GetVersionCode)(void) = nullptr;
    int(WINAPI *CheckVersionDlg)(HWND, int) = nullptr;
    UINT(WINAPI *GetTransferStatus)(void) = nullptr;
    BOOL(WINAPI *TransferVBDFiles)(HWND, char *) = nullptr;
    BOOL(WINAPI *DeleteData)(HWND) = nullptr;
    BOOL(WINAPI *SetSerialCommParamDlg)(HWND) = nullptr;
    BOOL(WINAPI *DirectDownload)(HWND, DWORD, DWORD, const char *) = nullptr;
    int(WINAPI *DirectFilesDownload)(HWND, const char *, int) = nullptr;
    BOOL(WINAPI *UploadData)(HWND) = nullptr;
};
// Loads the DLL when first asked in a test (and records its message boxes); the fixture
// unloads it after each test, so module state never carries from one test to the next.
const VembDll &Dll();

// Which USB link library lies beside the program while the test runs.
enum class Usb { Absent, Present, NoOpening };

// One line of the simulator's call log with what belongs to it.
struct SimEntry {
    std::string name;
    int location = 0;
    int number = 0;
};
struct SimCall {
    std::string op;
    std::map<std::string, std::string> args;
    std::vector<SimEntry> entries;
    std::vector<std::string> events;  // "busy -> 1", "progress 1/3", "cancelled", ...
    bool hasResult = false;
    int result = 0;
    std::string Arg(const std::string &key) const;
};
std::vector<SimCall> ReadSimCalls();
// Only the operation names, in order: handy for EXPECT_EQ on a sequence.
Names SimOps();
// The calls of any of these operations, in order.
std::vector<SimCall> CallsOf(const Names &ops);
inline std::vector<SimCall> CallsOf(const char *op) { return CallsOf(Names{op}); }
// The link libraries' explanations (with "message=log"): "<caption> <code>/<detail>" each.
Names LinkMessages();
// Where the link was closed (SIO_TerminateIO, USB_Terminate) beside the libraries' first
// explanation: "closed, then told" (a failed sequence, the close, the message), "told, then
// closed", "not closed beside it" or "no message".
std::string LinkCloseBesideMessage();
// What a failure is expected to show there: a link that did not open is explained, then
// closed; a sequence that failed is closed, then explained.
inline std::string CloseBesideMessage(bool told, bool linkOpened)
{
    return !told ? "no message" : linkOpened ? "closed, then told" : "told, then closed";
}

class VembTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the chosen USB link library beside the program (or removes it).
    void UseUsb(Usb variant);
    // Replaces the simulator's fault file.
    void SetFaults(const std::string &text) { linksim::WriteFaults(text); }
    void SeedDesign(int location, const std::string &name, const std::vector<char> &bytes);
    // Names stored at a location, in order.
    Names StoredNames(int location);
    // A folder of the test's own, empty at the start (for design files, receive folders).
    std::string WorkDir() const { return workDir_; }
    std::string In(const std::string &name) const { return workDir_ + "\\" + name; }
    // The visible window standing in for the host's main window.
    HWND Owner() const { return owner_; }
    // Full path of a module temporary file beside the program.
    static std::string TempFile(const char *name) { return ExeDir() + name; }

private:
    HWND owner_ = NULL;
    std::string workDir_;
};

// Bounds the running test: past `seconds` the process prints what was open and ends, so
// that a hung modal loop fails the test instead of the whole run.
void ArmWatchdog(const std::string &testName, DWORD seconds);

}  // namespace vt
