// The scripted tour of the demo host: without a user (under Xvfb), it opens every dialog
// of VembDlg.dll in turn by pressing the host's buttons, drives each as a user would,
// saves a PNG of each dialog and writes a summary. Each step waits with a timeout; a
// step whose dialog does not come is reported and the tour goes on.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>

#include <functional>
#include <string>
#include <vector>

#include "host.h"
#include "ui_drive.h"

namespace {

struct TourState {
    HWND main = NULL;
    std::string folder;
    HANDLE exportDone = NULL;
    INT_PTR lastResult = 0;
    int shots = 0;
    int failures = 0;
    std::vector<std::string> summary;
};

TourState g_tour;

void Say(const std::string &line)
{
    g_tour.summary.push_back(line);
    printf("tour: %s\n", line.c_str());
    fflush(stdout);
}

// `children`: repaint the controls too (not for the picker, whose preview box would then
// paint over the preview drawn into it).
void Shot(HWND window, const std::string &name, bool children = false)
{
    char file[64];
    snprintf(file, sizeof file, "%02d-%s.png", ++g_tour.shots, name.c_str());
    std::string path = g_tour.folder + "\\" + file;
    // Let the dialog finish painting before the picture is taken.
    RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | (children ? RDW_ALLCHILDREN : 0));
    Sleep(300);
    if (uidrive::SaveWindowPng(window, path))
        Say(std::string("saved ") + file + " (\"" + uidrive::WindowText(window) + "\")");
    else
        Say(std::string("could not save ") + file);
}

void Press(int command)
{
    ResetEvent(g_tour.exportDone);
    PostMessageA(g_tour.main, WM_COMMAND, command, 0);
}

bool WaitExport(DWORD ms = 60000)
{
    return WaitForSingleObject(g_tour.exportDone, ms) == WAIT_OBJECT_0;
}

// One step: press the button, wait for the dialog titled `caption`, run `drive` on it,
// wait for the export to return.
void Step(const char *name, int command, const std::string &caption,
          const std::function<void(uidrive::Ui &, HWND)> &drive)
{
    Say(std::string("-- ") + name);
    uidrive::Ui ui;
    Press(command);
    try {
        HWND dialog = NULL;
        ui.WaitUntil(
            [&] {
                for (HWND w : uidrive::TopLevelWindows())
                    if (uidrive::WindowText(w).rfind(caption, 0) == 0 && !uidrive::LooksLikeMessageBox(w)) {
                        dialog = w;
                        return true;
                    }
                return WaitForSingleObject(g_tour.exportDone, 0) == WAIT_OBJECT_0;
            },
            "dialog \"" + caption + "\"", 20000);
        if (!dialog) {
            Say(std::string(name) + ": the export returned without a dialog (not available in this build)");
            return;
        }
        drive(ui, dialog);
        if (!WaitExport())
            throw uidrive::UiTimeout{"the export did not return"};
        char line[200];
        snprintf(line, sizeof line, "%s: export returned %d", name, (int)g_tour.lastResult);
        Say(line);
    } catch (const uidrive::UiTimeout &t) {
        ++g_tour.failures;
        Say(std::string(name) + " FAILED: " + t.what + "\n" + uidrive::DescribeWindows());
        uidrive::Rescue();
        WaitExport(20000);
    }
}

void SettingsStep()
{
    Step("communication settings", HOST_SETTINGS, "Communication Settings", [](uidrive::Ui &ui, HWND dialog) {
        Shot(dialog, "communication-settings");
        ui.Click(dialog, IDOK);
        ui.WaitGone(dialog);
    });
}

void VersionStep()
{
    Step("machine version", HOST_VERSION, "Select Machine's Version", [](uidrive::Ui &ui, HWND dialog) {
        ui.Click(dialog, 1031);  // "Version 2.2"
        Sleep(200);
        Shot(dialog, "machine-version");
        ui.Click(dialog, IDOK);
        ui.WaitGone(dialog);
    });
}

// Waits until a machine design list (control 1000) has been filled and its directory
// upload dialog has gone.
void WaitListLoaded(uidrive::Ui &ui, HWND dialog, int minimumItems)
{
    HWND list = GetDlgItem(dialog, 1000);
    ui.WaitUntil(
        [&] {
            DWORD_PTR count = 0;
            SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
            if ((int)count < minimumItems)
                return false;
            for (HWND w : uidrive::TopLevelWindows())
                if (uidrive::WindowText(w) == "Receive Design List")
                    return false;
            return IsWindowEnabled(dialog) != FALSE;
        },
        "the machine design list", 20000);
}

// Presses Show Preview and waits until the preview fetch has come and gone.
void ShowPreview(uidrive::Ui &ui, HWND dialog)
{
    ui.Click(dialog, 1002);
    ui.Sleep(300);
    ui.WaitUntil(
        [&] {
            for (HWND w : uidrive::TopLevelWindows())
                if (uidrive::WindowText(w) == "Receive Preview Data")
                    return false;
            return IsWindowEnabled(dialog) != FALSE;
        },
        "the preview fetch", 20000);
}

// The receive and delete steps alike: once the machine's list is there, tick the first
// design and one more, show the preview and take the picture.
void ChooseTwoAndPreview(uidrive::Ui &ui, HWND dialog, int second, const std::string &shotName)
{
    WaitListLoaded(ui, dialog, 2);
    uidrive::TickListItem(GetDlgItem(dialog, 1000), 0);
    uidrive::TickListItem(GetDlgItem(dialog, 1000), second);
    ShowPreview(ui, dialog);
    Shot(dialog, shotName);
}

void ReceiveStep()
{
    Step("receive designs", HOST_RECEIVE, "Receive Designs - ", [](uidrive::Ui &ui, HWND dialog) {
        ChooseTwoAndPreview(ui, dialog, 1, "receive-designs");
        Say("receiving \"" + uidrive::ControlText(dialog, 1007) + "\" into " + uidrive::ControlText(dialog, 1021));
        ui.Click(dialog, IDOK);
        ui.WaitGone(dialog);
        HWND progress = ui.WaitDialogPrefix("Receive Designs - ");
        ui.Sleep(700);
        Shot(progress, "receive-progress");
        ui.Click(progress, IDOK);
        ui.Sleep(400);
        Shot(progress, "receive-progress-running");
        ui.WaitGone(progress, 60000);
    });
}

// Until the export returns: answers every message box with its first button (OK or Yes)
// and tells what it said; takes one picture of each dialog titled `watch` that shows up.
void FinishExport(uidrive::Ui &ui, const char *watch = NULL, const char *shotName = NULL)
{
    bool shotTaken = false;
    ui.WaitUntil(
        [&] {
            for (HWND w : uidrive::TopLevelWindows()) {
                if (uidrive::LooksLikeMessageBox(w)) {
                    uidrive::MessageBoxInfo box = uidrive::ReadMessageBox(w);
                    std::string text = box.text;
                    for (char &c : text)
                        if (c == '\n')
                            c = ' ';
                    Say("message \"" + box.caption + "\": " + text);
                    ui.Answer(box, GetDlgItem(w, IDOK) ? IDOK : GetDlgItem(w, IDYES) ? IDYES : IDRETRY);
                } else if (watch && !shotTaken && uidrive::WindowText(w) == watch) {
                    Shot(w, shotName);
                    shotTaken = true;
                }
            }
            return WaitForSingleObject(g_tour.exportDone, 0) == WAIT_OBJECT_0;
        },
        "the export to return", 120000);
}

// The design picker: the common file dialog with the module's child dialog (the one
// holding the chosen-designs list 1001) and the shell's file list.
void PickerStep()
{
    Step("choose and send designs in the picker", HOST_SEND_PICKER, "Select Designs", [](uidrive::Ui &ui, HWND common) {
        uidrive::PickerWindows picker;
        ui.WaitUntil(
            [&] {
                picker = uidrive::FindPickerWindows(common);
                return picker.child && picker.files && SendMessageA(picker.files, LVM_GETITEMCOUNT, 0, 0) > 0;
            },
            "the picker's file list", 20000);
        HWND child = picker.child;
        uidrive::SelectListItemsByText(picker.files, {"Normal Spiral.vbd", "Small Rosette.vbd", "Large Spiral.vbd"});
        ui.Click(child, 1005);  // ">>"
        ui.WaitUntil([&] { return SendMessageA(GetDlgItem(child, 1001), LVM_GETITEMCOUNT, 0, 0) == 3; },
                     "three chosen designs");
        ui.Click(child, 1010);  // "ATA PC Card"
        ui.Sleep(300);
        Shot(common, "design-picker");
        Say("picker: " + uidrive::ControlText(child, 1009) + ", to the ATA PC card");
        ui.Click(child, 1002);  // "Send"
        HWND send = ui.WaitDialogPrefix("Send Designs - ");
        ui.Click(send, IDOK);
        ui.Sleep(1200);
        Shot(send, "send-designs-from-picker");
        FinishExport(ui);
    });
}

void SendListStep()
{
    Step("send the host's design list", HOST_SEND_LIST, "Send Designs - ", [](uidrive::Ui &ui, HWND dialog) {
        ui.Click(dialog, 1008);  // "Built-in"
        ui.Sleep(200);
        Shot(dialog, "send-designs");
        ui.Click(dialog, IDOK);
        FinishExport(ui, "Check Files", "check-files");
    });
}

void SendMemoryStep()
{
    Step("send a design held in memory", HOST_SEND_MEMORY, "Send Designs - ", [](uidrive::Ui &ui, HWND dialog) {
        ui.Click(dialog, 1028);  // "Name"
        HWND name = ui.WaitDialog("Vbd Name");
        ui.SetText(name, 1020, "Rose from memory");
        Shot(name, "design-name");
        ui.Click(name, IDOK);
        ui.WaitGone(name);
        ui.Click(dialog, 1029);  // "Select Open/Save folder."
        ui.Sleep(200);
        ui.Click(dialog, IDOK);
        ui.Sleep(900);
        Shot(dialog, "send-designs-running");
        FinishExport(ui);
    });
}

// Adds lines to the simulated machine's fault file (the machine folder is the one the
// link libraries use: %LOOMSTAR_MACHINE%).
void AddMachineFaults(const char *lines)
{
    char folder[MAX_PATH];
    if (!GetEnvironmentVariableA("LOOMSTAR_MACHINE", folder, sizeof folder))
        return;
    std::string path = std::string(folder) + "\\sim.ini";
    if (FILE *f = fopen(path.c_str(), "a")) {
        fputs(lines, f);
        fclose(f);
    }
}

void DeleteStep()
{
    // The machine is busy once, so that the wait dialog and the busy question can be seen.
    AddMachineFaults("busy=1\n");
    Step("delete designs", HOST_DELETE, "Delete Designs - ", [](uidrive::Ui &ui, HWND dialog) {
        ChooseTwoAndPreview(ui, dialog, 2, "delete-designs");
        ui.Click(dialog, IDOK);
        uidrive::MessageBoxInfo sure = ui.WaitMessageBox("Delete");
        Shot(sure.hwnd, "delete-are-you-sure");
        ui.Answer(sure, IDYES);
        HWND wait = ui.WaitDialog("Delete Designs");
        uidrive::MessageBoxInfo busy = ui.WaitMessageBox("Delete");
        // The busy question stands over the wait dialog: move it aside, as a user would.
        RECT r;
        GetWindowRect(busy.hwnd, &r);
        SetWindowPos(busy.hwnd, NULL, r.left, r.top + 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ui.Sleep(200);
        Shot(wait, "delete-wait", true);
        Shot(busy.hwnd, "delete-busy");
        Say("message \"Delete\": Now busy, try again later. (answered Retry)");
        ui.Answer(busy, IDRETRY);
        FinishExport(ui);
    });
}

DWORD WINAPI TourThread(LPVOID)
{
    CreateDirectoryA(g_tour.folder.c_str(), NULL);
    Say("output folder " + g_tour.folder);
    SettingsStep();
    VersionStep();
    PickerStep();
    SendListStep();
    SendMemoryStep();
    ReceiveStep();
    DeleteStep();

    std::string summaryPath = g_tour.folder + "\\summary.txt";
    if (FILE *f = fopen(summaryPath.c_str(), "w")) {
        for (const std::string &line : g_tour.summary)
            fprintf(f, "%s\n", line.c_str());
        fprintf(f, "steps failed: %d\n", g_tour.failures);
        fclose(f);
    }
    Say(g_tour.failures ? "tour finished with failures" : "tour finished");
    PostMessageA(g_tour.main, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

void StartTour(HWND mainWindow, const std::string &outputFolder)
{
    g_tour.main = mainWindow;
    g_tour.folder = outputFolder;
    g_tour.exportDone = CreateEventA(NULL, TRUE, FALSE, NULL);
    CloseHandle(CreateThread(NULL, 0, TourThread, NULL, 0, NULL));
}

int TourExitCode()
{
    return g_tour.failures ? 1 : 0;
}

void TourExportDone(int, INT_PTR result)
{
    if (!g_tour.exportDone)
        return;
    g_tour.lastResult = result;
    SetEvent(g_tour.exportDone);
}
