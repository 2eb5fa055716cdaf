// "Loomstar Link": a small host application with one button per export of VembDlg.dll and
// a status line showing the transfer status. `LoomstarLink.exe --tour <folder>` runs the
// scripted tour instead of waiting for a user.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "VembDlg.h"
#include "designgen/design_writer.h"
#include "host.h"
#include "ui_drive.h"

namespace {

HWND g_main, g_status, g_log;
char g_pickerFolder[MAX_PATH];      // TransferVBDFiles' folder, in and out
std::vector<char> g_memoryDesign;   // the design DirectDownload sends

const struct {
    int command;
    const char *label;
} kButtons[] = {
    {HOST_SEND_PICKER, "Send Designs..."},
    {HOST_SEND_MEMORY, "Send Design in Memory..."},
    {HOST_SEND_LIST, "Send Design List..."},
    {HOST_RECEIVE, "Receive Designs..."},
    {HOST_DELETE, "Delete Designs..."},
    {HOST_SETTINGS, "Communication Settings..."},
    {HOST_VERSION, "Select Machine's Version..."},
};

std::string DesignsFolder()
{
    return uidrive::ExeDir() + "designs";
}

// The host's own send list: every ".vbd" of the designs folder, 260-byte records.
std::string WriteHostSendList()
{
    std::string listPath = uidrive::ExeDir() + "host-list.tp$";
    FILE *list = fopen(listPath.c_str(), "wb");
    if (!list)
        return listPath;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((DesignsFolder() + "\\*.vbd").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            char record[260] = {};
            snprintf(record, sizeof record, "%s\\%s", DesignsFolder().c_str(), fd.cFileName);
            fwrite(record, 1, sizeof record, list);
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    fclose(list);
    return listPath;
}

INT_PTR RunExport(int command)
{
    switch (command) {
    case HOST_SEND_PICKER:
        return TransferVBDFiles(g_main, g_pickerFolder);
    case HOST_SEND_MEMORY:
        if (g_memoryDesign.empty()) {
            // The design "the application has open": made in memory, never saved to a file.
            designgen::DesignRecipe recipe;
            recipe.stitchCount = 3000;
            recipe.colours = {32, 5, 37, 59};
            recipe.motif = designgen::Motif::Spiral;
            g_memoryDesign = designgen::MakeDesign(recipe);
        }
        return DirectDownload(g_main, (DWORD)(UINT_PTR)g_memoryDesign.data(), (DWORD)g_memoryDesign.size(), "");
    case HOST_SEND_LIST:
        return DirectFilesDownload(g_main, WriteHostSendList().c_str(), 1);
    case HOST_RECEIVE:
        return UploadData(g_main);
    case HOST_DELETE:
        return DeleteData(g_main);
    case HOST_SETTINGS:
        return SetSerialCommParamDlg(g_main);
    case HOST_VERSION:
        return CheckVersionDlg(g_main, 1);
    }
    return -1;
}

const char *LabelOf(int command)
{
    for (const auto &b : kButtons)
        if (b.command == command)
            return b.label;
    return "?";
}

void UpdateStatus()
{
    int version = GetVersionCode();
    char text[160];
    snprintf(text, sizeof text, "Transfer status: %u        Machine's version: %s", GetTransferStatus(),
             version == 2 ? "2.2" : version >= 1 ? "2.1 or earlier" : "not known");
    char old[160] = "";
    GetWindowTextA(g_status, old, sizeof old);
    if (strcmp(old, text) != 0)
        SetWindowTextA(g_status, text);
}

void OnCreate(HWND window)
{
    HFONT font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    int y = 12;
    for (const auto &b : kButtons) {
        HWND button = CreateWindowA("BUTTON", b.label, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 12, y, 200, 26,
                                    window, (HMENU)(INT_PTR)b.command, NULL, NULL);
        SendMessageA(button, WM_SETFONT, (WPARAM)font, 0);
        y += 32;
    }
    g_status = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_SUNKEN, 12, y + 4, 560, 20, window, NULL,
                             NULL, NULL);
    g_log = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                            224, 12, 348, y - 16, window, NULL, NULL, NULL);
    SendMessageA(g_status, WM_SETFONT, (WPARAM)font, 0);
    SendMessageA(g_log, WM_SETFONT, (WPARAM)font, 0);
    UpdateStatus();
    SetTimer(window, 1, 200, NULL);
}

void OnCommand(HWND window, int command)
{
    if (command < HOST_SEND_PICKER || command > HOST_COMMAND_LAST)
        return;
    HostLog(std::string(LabelOf(command)) + " ...");
    INT_PTR result = RunExport(command);
    char line[300];
    snprintf(line, sizeof line, "%s returned %d", LabelOf(command), (int)result);
    HostLog(line);
    if (command == HOST_SEND_PICKER)
        HostLog(std::string("  picker folder: \"") + g_pickerFolder + "\"");
    UpdateStatus();
    TourExportDone(command, result);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        g_main = window;
        OnCreate(window);
        return 0;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return 0;
    case WM_TIMER:
        UpdateStatus();
        return 0;
    case WM_DESTROY:
        KillTimer(window, 1);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void HostLog(const std::string &line)
{
    if (g_log) {
        int index = (int)SendMessageA(g_log, LB_ADDSTRING, 0, (LPARAM)line.c_str());
        SendMessageA(g_log, LB_SETTOPINDEX, index, 0);
    }
    printf("%s\n", line.c_str());
    fflush(stdout);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    snprintf(g_pickerFolder, sizeof g_pickerFolder, "%s", DesignsFolder().c_str());

    WNDCLASSA wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = "LoomstarLinkHost";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("LoomstarLinkHost", "Loomstar Link", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU |
                                WS_MINIMIZEBOX, 20, 20, 600, 320, NULL, NULL, instance, NULL);
    ShowWindow(window, show);
    UpdateWindow(window);

    const char *tour = strstr(commandLine, "--tour");
    if (tour) {
        std::string folder = tour + 6;
        while (!folder.empty() && (folder[0] == ' ' || folder[0] == '"'))
            folder.erase(0, 1);
        while (!folder.empty() && (folder.back() == ' ' || folder.back() == '"'))
            folder.pop_back();
        StartTour(window, folder.empty() ? uidrive::ExeDir() + "tour" : folder);
    }

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return tour ? TourExitCode() : (int)msg.wParam;
}
