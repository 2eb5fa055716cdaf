#pragma once
// Records every MessageBoxA call of the module (and of the simulator) with its exact
// style, by patching the module's import of MessageBoxA. The box is still shown: the
// record only adds what the screen cannot tell (MB_TOPMOST, the owner asked for).
#include <windows.h>

#include <string>
#include <vector>

namespace uidrive {

struct MessageBoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

// Points `module`'s import of `dll`!`function` at `replacement`; false when the module does
// not import it. The caller keeps the original (GetProcAddress) to call on.
bool PatchImport(HMODULE module, const char *dll, const char *function, void *replacement);

// Patches `module`'s import of user32!MessageBoxA. Safe to call again for the same module.
bool RecordMessageBoxes(HMODULE module);
// Every recorded call since the last clear, oldest first.
std::vector<MessageBoxCall> RecordedMessageBoxes();
void ClearRecordedMessageBoxes();
// The style of the latest recorded call with this caption and text.
bool RecordedMessageBoxStyle(const std::string &caption, const std::string &text, UINT *style);

}  // namespace uidrive
