#include "message_box_log.h"

#include <string.h>

namespace uidrive {

namespace {

CRITICAL_SECTION *Lock()
{
    static CRITICAL_SECTION lock;
    static bool ready = false;
    if (!ready) {
        InitializeCriticalSection(&lock);
        ready = true;
    }
    return &lock;
}

std::vector<MessageBoxCall> &Calls()
{
    static std::vector<MessageBoxCall> calls;
    return calls;
}

typedef int(WINAPI *MessageBoxA_t)(HWND, LPCSTR, LPCSTR, UINT);
MessageBoxA_t g_realMessageBoxA;

int WINAPI RecordingMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    EnterCriticalSection(Lock());
    Calls().push_back({owner, text ? text : "", caption ? caption : "", style});
    LeaveCriticalSection(Lock());
    return g_realMessageBoxA(owner, text, caption, style);
}

}  // namespace

bool PatchImport(HMODULE module, const char *dll, const char *function, void *replacement)
{
    BYTE *base = (BYTE *)module;
    IMAGE_DOS_HEADER *dos = (IMAGE_DOS_HEADER *)base;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + dos->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return false;
    bool patched = false;
    for (IMAGE_IMPORT_DESCRIPTOR *imp = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress);
         imp->Name; ++imp) {
        if (_stricmp((const char *)(base + imp->Name), dll) != 0)
            continue;
        IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + imp->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slots = (IMAGE_THUNK_DATA *)(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            IMAGE_IMPORT_BY_NAME *byName = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (strcmp((const char *)byName->Name, function) != 0)
                continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            slots->u1.Function = (DWORD_PTR)replacement;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            patched = true;
        }
    }
    return patched;
}

bool RecordMessageBoxes(HMODULE module)
{
    Lock();
    if (!g_realMessageBoxA)
        g_realMessageBoxA = (MessageBoxA_t)GetProcAddress(GetModuleHandleA("user32.dll"), "MessageBoxA");
    return PatchImport(module, "user32.dll", "MessageBoxA", (void *)RecordingMessageBoxA);
}

std::vector<MessageBoxCall> RecordedMessageBoxes()
{
    EnterCriticalSection(Lock());
    std::vector<MessageBoxCall> copy = Calls();
    LeaveCriticalSection(Lock());
    return copy;
}

void ClearRecordedMessageBoxes()
{
    EnterCriticalSection(Lock());
    Calls().clear();
    LeaveCriticalSection(Lock());
}

bool RecordedMessageBoxStyle(const std::string &caption, const std::string &text, UINT *style)
{
    EnterCriticalSection(Lock());
    bool found = false;
    const std::vector<MessageBoxCall> &calls = Calls();
    for (size_t i = calls.size(); i-- > 0;)
        if (calls[i].caption == caption && calls[i].text == text) {
            *style = calls[i].style;
            found = true;
            break;
        }
    LeaveCriticalSection(Lock());
    return found;
}

}  // namespace uidrive
